#include "paths/error_words.h"

#include "base/shown_text.h"
#include "paths/wide_paths.h"

std::string SystemErrorText(const std::string& what, DWORD code, const std::wstring& path)
{
    // The errors a publisher meets, in words; the number says the rest.
    std::string why;
    switch (code) {
    case ERROR_FILE_NOT_FOUND: why = "it does not exist"; break;
    case ERROR_PATH_NOT_FOUND:
        // On Linux a backslash may be part of a name; here it separates folders.
        why = path.empty() ? "its folder does not exist"
                           : "the folder \"" + Utf8(ContainingFolder(path)) + "\" does not exist";
        break;
    case ERROR_ACCESS_DENIED: why = "access is denied"; break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: why = "another program has it open"; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: why = "the disk is full"; break;
    case ERROR_FILENAME_EXCED_RANGE: why = "the path is too long"; break;
    case ERROR_INVALID_NAME: why = "it is not a valid name on Windows"; break;
    case ERROR_INVALID_FUNCTION:
    case ERROR_INVALID_PARAMETER: why = "it is no ordinary file (a pipe or a device?)"; break;
    case ERROR_DIRECTORY: why = "it is not a folder"; break;
    case ERROR_NOT_READY: why = "the drive is not ready"; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: why = "it exists already"; break;
    default: why = "the system refused"; break;
    }
    return what + ": " + why + " (error " + std::to_string(code) + ")";
}
