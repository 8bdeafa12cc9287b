#pragma once
// A unique folder under the Windows temp folder, removed with its contents
// (read-only files included) on destruction, plus small file helpers.

#include <windows.h>
#include <cstdint>
#include <string>

class ScratchDir {
public:
    ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    virtual ~ScratchDir();

    const std::string& Path() const { return path_; }
    // Path + "\" + relative.
    std::string Path(const std::string& relative) const;

private:
    std::string path_;
};

// Makes dir the current directory for the object's life.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& dir);
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;
    virtual ~CurrentDirectory();

private:
    std::wstring previous_;
};

// A path of the tests (code page 932, as the product's names) in UTF-16, as
// the product's wide calls take it.
std::wstring Wide(const std::string& path);

// Writes bytes to path (creating missing folders); fails the test on error.
void WriteFileBytes(const std::string& path, const std::string& bytes);
// The whole file, or "<missing>" when it cannot be opened.
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
// A new file of size bytes that takes no room (Wine makes it sparse).
bool WriteSparseFile(const std::string& path, int64_t size);
void RemoveTree(const std::string& path);
// The files in folder and below it that only an update leaves behind (its
// upd*.tmp, upd*.bak and upd*.jnl, and folders upd*.d), each followed by a
// space; "" when clean.
std::string UpdateLeftovers(const std::string& folder);
// Names in a folder (files and folders, without . and ..), sorted.
std::string ListFolder(const std::string& dir);
// The program-files folder as the registry records it (32-bit view for a
// 32-bit program), read directly as tests expect it.
std::string ProgramFilesDir();
