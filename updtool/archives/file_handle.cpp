#include "updtool/archives/file_handle.h"

#include "updtool/console/tool_error.h"

uint32_t ReadFully(HANDLE file, void* buffer, uint32_t n, const std::string& what)
{
    uint32_t total = 0;
    while (total < n) {
        DWORD got = 0;
        if (!ReadFile(file, static_cast<char*>(buffer) + total, n - total, &got, nullptr))
            ThrowSystemError("cannot read " + what);
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

void WriteFully(HANDLE file, const void* data, uint32_t n, const std::string& what)
{
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        DWORD written = 0;
        if (!WriteFile(file, p, n, &written, nullptr) || written == 0) {
            // A write that stops short without an error of its own: a full disk.
            if (GetLastError() == 0)
                SetLastError(ERROR_DISK_FULL);
            ThrowSystemError("cannot write " + what);
        }
        p += written;
        n -= written;
    }
}

void SeekTo(HANDLE file, uint64_t offset, const std::string& what)
{
    LARGE_INTEGER to;
    to.QuadPart = LONGLONG(offset);
    if (!SetFilePointerEx(file, to, nullptr, FILE_BEGIN))
        ThrowSystemError("cannot seek in " + what);
}
