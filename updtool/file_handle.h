#pragma once
// One open file whose reads and writes, when they fail, throw ToolError
// naming `what`.

#include <windows.h>
#include <cstdint>
#include <string>
#include "base/owned.h"

class FileHandle {
public:
    Handle handle;

    FileHandle() {}
    explicit FileHandle(HANDLE opened) : handle(opened) {}
    virtual ~FileHandle() {}

    bool Valid() const { return handle.Valid(); }
    // Takes opened, closing the one held.
    void Reset(HANDLE opened) { handle.Reset(opened); }
    void Close() { handle.Reset(); }

    // Up to n bytes; fewer only at the end of the file.
    uint32_t Read(void* buffer, uint32_t n, const std::string& what);
    void Write(const void* data, uint32_t n, const std::string& what);
    void SeekTo(uint64_t offset, const std::string& what);
};
