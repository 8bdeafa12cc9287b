#include "updtool/tool_error.h"

std::string SystemErrorText(const std::string& what, DWORD code)
{
    // The few errors a publisher meets, in words; the number says the rest.
    const char* meaning = "";
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: meaning = ": not found"; break;
    case ERROR_ACCESS_DENIED: meaning = ": access denied"; break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: meaning = ": in use by another program"; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: meaning = ": the disk is full"; break;
    case ERROR_FILENAME_EXCED_RANGE: meaning = ": the path is too long"; break;
    case ERROR_INVALID_NAME: meaning = ": not a valid name"; break;
    default: break;
    }
    return what + " (error " + std::to_string(code) + meaning + ")";
}

void ThrowSystemError(const std::string& what)
{
    throw ToolError(SystemErrorText(what, GetLastError()));
}
