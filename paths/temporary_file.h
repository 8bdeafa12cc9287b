#pragma once
// A file written beside its final place under a name of its own, which takes
// that place in one rename only when complete and on disk; until then, and
// if the rename never comes, it is removed, also while an exception passes.
// So nothing half-written ever carries the final name.
//
// The name is new: the file is created (CREATE_NEW) under a name nobody holds,
// <prefix><four hex digits>.tmp, never truncating, replacing or following a
// file that was there.

#include <windows.h>
#include <cstdint>
#include <string>
#include "base/owned.h"
#include "system/native_file.h"

// How every name the updater makes in an install folder begins: its copies
// (upd<four hex digits>.tmp), its journals and their run's files. Recovery
// looks for nothing else.
const wchar_t kUpdaterPrefix[] = L"upd";
// How the publisher's tool names what it writes beside its targets.
const wchar_t kToolPrefix[] = L"updtool";

class TemporaryFile {
public:
    TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    // Discard().
    virtual ~TemporaryFile();

    // Creates the file in folder (at any length). Opened for writing and
    // deleting, shared for reading and deleting. False with the system's
    // error.
    bool Create(const std::wstring& folder, const wchar_t* prefix);
    // The same in a folder held open (held: its handle; folder: its path),
    // through its handle (system/native_file.h); held must outlive the file.
    bool Create(const std::wstring& folder, const wchar_t* prefix, HANDLE held);

    HANDLE Get() const { return handle_.Get(); }
    // As created: in the \\?\ form when the plain one would be too long.
    const std::wstring& Path() const { return path_; }

    // Raises OCErrorException "ファイル書込に失敗しました。" when the file takes
    // fewer bytes (the code ERROR_DISK_FULL when the system gives none).
    void Write(const void* bytes, uint32_t n);
    bool Flush();

    // Takes target's place (any length). replace false: an existing target
    // stays and the rename fails (ERROR_ALREADY_EXISTS). The handle stays
    // open: it shares deleting, so the file may move under it, and times and
    // attributes can still be set through it.
    bool RenameOver(const std::wstring& target, bool replace);
    bool RenameOver(const FilePlace& target, bool replace);
    // Where it lies, through its folder's handle when that is held.
    FilePlace Place() const;

    // Closes the handle; the file stays where it is.
    void Close() { handle_.Reset(); }

    // Removes the file unless it was renamed: through the handle; failing
    // that by name; failing that (another program holds it), at the next
    // restart, so that no copy is left behind for good.
    void Discard();

private:
    Handle handle_;
    std::wstring path_;
    HANDLE held_ = nullptr;  // the folder's, when made in a held one
    std::wstring leaf_;
    bool committed_;
};
