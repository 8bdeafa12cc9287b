#pragma once
// Owns one FindFirstFileA enumeration, closed however the loop over it ends.

#include <windows.h>

class FindHandle {
public:
    HANDLE handle;  // INVALID_HANDLE_VALUE when nothing is enumerated
    WIN32_FIND_DATAA found;

    // Starts enumerating pattern; found holds the first match when Valid().
    explicit FindHandle(const char* pattern) : handle(FindFirstFileA(pattern, &found)) {}
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    // Keeps the last error: a failure met during the enumeration is what
    // the caller reports.
    virtual ~FindHandle()
    {
        if (handle == INVALID_HANDLE_VALUE)
            return;
        const DWORD error = GetLastError();
        FindClose(handle);
        SetLastError(error);
    }

    bool Valid() const { return handle != INVALID_HANDLE_VALUE; }
    // The next match into found; false at the end.
    bool Next() { return FindNextFileA(handle, &found) != 0; }
};
