#pragma once
// A file written under a temporary name beside its final one and renamed
// over it only once complete and on disk, so nothing half-written ever
// carries the final name. Until committed, destruction deletes the
// temporary file, also while an exception passes.

#include <string>
#include "updtool/file_handle.h"

class PendingFile {
public:
    FileHandle file;  // open for writing on the temporary name after Create
    std::wstring target;
    std::wstring temporary;

    PendingFile(const std::wstring& target, const std::wstring& temporary);
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    virtual ~PendingFile();

    // Creates the temporary file, replacing a stale one; shared with nobody,
    // so a second writer of the same target fails here. Throws ToolError
    // naming what.
    void Create(const std::string& what);

    // Flushes the file to disk, closes it and renames it to the target
    // (MoveFileExW, write-through). replace: an existing target is replaced;
    // otherwise an existing target is kept and Commit returns false (the
    // temporary file is then deleted). Other failures throw ToolError.
    bool Commit(bool replace, const std::string& what);

private:
    bool committed_;
};
