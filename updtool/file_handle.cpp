#include "updtool/file_handle.h"

#include "updtool/tool_error.h"

uint32_t FileHandle::Read(void* buffer, uint32_t n, const std::string& what)
{
    uint32_t total = 0;
    while (total < n) {
        DWORD got = 0;
        if (!ReadFile(handle.Get(), static_cast<char*>(buffer) + total, n - total, &got, nullptr))
            ThrowSystemError("cannot read " + what);
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

void FileHandle::Write(const void* data, uint32_t n, const std::string& what)
{
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        DWORD written = 0;
        if (!WriteFile(handle.Get(), p, n, &written, nullptr) || written == 0)
            ThrowSystemError("cannot write " + what);
        p += written;
        n -= written;
    }
}

void FileHandle::SeekTo(uint64_t offset, const std::string& what)
{
    LARGE_INTEGER to;
    to.QuadPart = LONGLONG(offset);
    if (!SetFilePointerEx(handle.Get(), to, nullptr, FILE_BEGIN))
        ThrowSystemError("cannot seek in " + what);
}
