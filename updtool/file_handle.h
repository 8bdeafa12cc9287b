#pragma once
// Owns one file handle, closed on destruction; INVALID_HANDLE_VALUE when
// empty. Reads and writes that fail throw ToolError naming `what`.

#include <windows.h>
#include <cstdint>
#include <string>

class FileHandle {
public:
    HANDLE handle;

    FileHandle() : handle(INVALID_HANDLE_VALUE) {}
    explicit FileHandle(HANDLE handle) : handle(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    virtual ~FileHandle() { Close(); }

    bool Valid() const { return handle != INVALID_HANDLE_VALUE; }
    // Takes handle, closing the one held.
    void Reset(HANDLE handle);
    void Close();

    // Up to n bytes; fewer only at the end of the file.
    uint32_t Read(void* buffer, uint32_t n, const std::string& what);
    void Write(const void* data, uint32_t n, const std::string& what);
    void SeekTo(uint64_t offset, const std::string& what);
};
