#pragma once
// Path services for backslash-separated paths held as ANSI code page bytes.
// The separator is the single-byte backslash only; a colon as the second
// character is a drive designator. All scans step by characters, so a trail
// byte 0x5C inside a double-byte character is never a separator.

#include "base/string.h"

// The last single-byte backslash of text, or null when it holds none (or is
// null). A trail byte 0x5C is never taken for one.
const char* LastSeparator(const char* text);
char* LastSeparator(char* text);

// False for null. True when the last character is a single-byte backslash.
bool EndsWithSeparator(const char* text);

// False for null or "". True when the first character is a backslash or the
// second character is a colon (C:, C:file, \x).
bool IsAbsolutePath(const char* text);

// Creates every directory along path, component by component; a run of
// backslashes is one separator, drive designators are not created. Nothing
// is reported: a directory that exists or cannot be made does not stop it.
// A path beginning with a backslash (root-relative or \\server\share) keeps
// its leading backslashes, so its directories are made where the path says.
void CreateDirectories(const char* path);

class FilePath {
public:
    String path;

    FilePath();
    virtual ~FilePath();

    void SetPath(const char* text);

    // The whole path when it ends with a backslash; else the text before the
    // last backslash; a path without backslash is copied whole.
    void DirectoryPart(String& result) const;
};
