#pragma once
// Path services for names held as code page 932 bytes: the items update.ini
// lists and the names inside archives. The separator is the single-byte
// backslash only; a colon as the second character is a drive designator. All
// scans step by characters, so a trail byte 0x5C inside a double-byte
// character is never a separator. Paths from the system are UTF-16 and have
// their own services (wide_paths.h).

#include "base/string.h"

// False for null. True when the last character is a single-byte backslash.
bool EndsWithSeparator(const char* text);

// False for null or "". True when the first character is a backslash or the
// second character is a colon (C:, C:file, \x).
bool IsAbsolutePath(const char* text);

// CreateDirectories of wide_paths.h for a name in code page 932.
void CreateDirectories(const char* path);
