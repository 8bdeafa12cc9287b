#pragma once
// The files pack puts in an archive: every file below a folder, found with
// the wide-character API so that every name is seen as it is, and named by
// its path below the folder with backslashes, in code page 932. A name with
// a character that code page 932 cannot hold exactly is refused rather
// than stored with a stand-in. Folders that are links (junctions, symbolic
// links) are not followed: they could lead out of the folder or round in a
// circle.

#include <cstdint>
#include <string>
#include <vector>
#include "updtool/archives/entry_names.h"

class SourceFile {
public:
    std::string name;   // the entry name, code page 932
    std::wstring path;  // where to read it
    uint64_t size = 0;  // as listed; the data read is what counts

    virtual ~SourceFile() {}
};

class FolderWalk {
public:
    std::wstring root;  // the folder, without a trailing backslash (but a drive's "C:")
    std::vector<SourceFile> files;
    std::vector<std::string> refusals;  // names that cannot be stored, and why
    std::vector<SourceFile> unnamed;    // those files, name left empty
    std::vector<std::string> warnings;  // links not followed

    // folder: its full path, not empty. excluded: full path of a
    // file never taken (the archive being written; "" for none), case
    // ignored. leftOut: files and folders whose names below it match are
    // not taken (none when null); a name beyond code page 932 is matched
    // with '?' for each such character.
    FolderWalk(const std::wstring& folder, const std::wstring& excluded,
               const NamePatterns* leftOut = nullptr);
    virtual ~FolderWalk() {}

    // Lists everything; throws ToolError when a folder cannot be listed.
    void Run();

private:
    std::wstring excluded_;
    const NamePatterns* leftOut_;
};
