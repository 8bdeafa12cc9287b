#include "pak/archive_file.h"

#include <io.h>
#include <cstring>
#include "base/exceptions.h"
#include "base/messages.h"

namespace {

HANDLE StreamHandle(FILE* stream)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

}  // namespace

void ArchiveFile::Write(const void* buffer, uint32_t n)
{
    if (inMemory) {
        const uint32_t left = memorySize - uint32_t(memoryCursor - memory);
        if (n > left)
            n = left;
        if (n) {
            std::memcpy(memoryCursor, buffer, n);
            memoryCursor += n;
            position += n;
        }
        return;
    }
    if (!file)
        return;
    if (fwrite(buffer, 1, n, file) < n)
        throw OCErrorException(kWriteFailedText);
    position += n;
}

bool ArchiveFile::Flush()
{
    if (!file)
        return true;
    if (fflush(file) != 0)
        return false;
    return FlushFileBuffers(StreamHandle(file)) != 0;
}

bool ArchiveFile::GetTimes(FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite)
{
    if (!file)
        return true;
    FILETIME times[3] = {};
    GetFileTime(StreamHandle(file), &times[0], &times[1], &times[2]);
    if (creation)
        FileTimeToLocalFileTime(&times[0], creation);
    if (lastAccess)
        FileTimeToLocalFileTime(&times[1], lastAccess);
    if (lastWrite)
        FileTimeToLocalFileTime(&times[2], lastWrite);
    return true;
}

bool ArchiveFile::SetTimes(const FILETIME* creation, const FILETIME* lastAccess,
                           const FILETIME* lastWrite)
{
    if (!file)
        return true;
    // Bytes still buffered would be written by the close and move the
    // last-write time off the value set here.
    fflush(file);
    FILETIME times[3] = {};
    if (creation)
        LocalFileTimeToFileTime(creation, &times[0]);
    if (lastAccess)
        LocalFileTimeToFileTime(lastAccess, &times[1]);
    if (lastWrite)
        LocalFileTimeToFileTime(lastWrite, &times[2]);
    return SetFileTime(StreamHandle(file), creation ? &times[0] : nullptr,
                       lastAccess ? &times[1] : nullptr, lastWrite ? &times[2] : nullptr) != 0;
}
