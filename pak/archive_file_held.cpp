// ArchiveFile over a file the caller holds: apart from the rest of the
// object, as only the program's own copy needs it (the readers' fuzz build
// has no runtime handles).

#include "pak/archive_file.h"

#include <fcntl.h>
#include <io.h>

bool ArchiveFile::OpenHeld(HANDLE held, const std::wstring& heldPath)
{
    Close();
    // The very file object held: opened again, even by its handle, the
    // system may look its name up anew (Wine does).
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), held, GetCurrentProcess(), &duplicate, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return false;
    const int descriptor = _open_osfhandle(intptr_t(duplicate), _O_RDONLY | _O_BINARY);
    if (descriptor == -1) {
        CloseHandle(duplicate);
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return false;
    }
    file = _fdopen(descriptor, "rb");
    if (!file) {
        _close(descriptor);
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return false;
    }
    // Unbuffered: what another stream of the file moved cannot be in a
    // buffer of this one.
    setvbuf(file, nullptr, _IONBF, 0);
    sharesPosition = true;
    _fseeki64(file, 0, SEEK_SET);
    path = heldPath;
    inMemory = false;
    inArchive = false;
    baseOffset = 0;
    compressed = 0;
    position = 0;
    return true;
}
