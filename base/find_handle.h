#pragma once
// One FindFirstFileA enumeration, closed however the loop over it ends.

#include <windows.h>
#include "base/owned.h"

class FindHandle {
public:
    WIN32_FIND_DATAA found;

    // Starts enumerating pattern; found holds the first match when Valid().
    explicit FindHandle(const char* pattern) : found(), handle_(FindFirstFileA(pattern, &found)) {}
    virtual ~FindHandle() {}

    bool Valid() const { return handle_.Valid(); }
    // The next match into found; false at the end.
    bool Next() { return FindNextFileA(handle_.Get(), &found) != 0; }

private:
    FindOwner handle_;
};
