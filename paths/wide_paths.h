#pragma once
// Path services for UTF-16 paths: those the system hands out (the registry,
// the dialog, the folder browser, the current folder) and those built from
// them. Kept in UTF-16 end to end, since no code page holds every character
// a path may have. The separator is the backslash.

#include <string>

// The process's current folder; "" when it cannot be had.
std::wstring CurrentFolder();

// True when the last character is a backslash.
bool EndsWithSeparator(const std::wstring& path);

// The two parts of a path. FolderOf: the text before its last backslash,
// "" when it has none. LeafOf: the text after it, or after a drive's colon
// ("C:name" gives "name"); the whole path when it has neither.
std::wstring FolderOf(const std::wstring& path);
std::wstring LeafOf(const std::wstring& path);

// The folder that holds the file at path, as one can open it: the text before its last
// backslash, keeping the backslash of a root ("\name" gives "\", "C:\name"
// "C:\"); "X:" for a drive-relative name, "." for a bare name.
std::wstring ContainingFolder(const std::wstring& path);

// path made full against the current folder, without . or .. parts, as the
// system makes it (a trailing backslash kept); empty when it cannot be.
std::wstring FullPathOf(const std::wstring& path);

// path as the wide calls take it at any length: unchanged while it and
// `room` more characters stay below MAX_PATH; else its full form with the
// \\?\ prefix (\\server\share becomes \\?\UNC\server\share), without . or ..
// parts. Empty when the full form cannot be had.
std::wstring LongPathForm(const std::wstring& path, size_t room = 0);

class FilePath {
public:
    std::wstring path;

    FilePath();
    virtual ~FilePath();

    void SetPath(const std::wstring& text);

    // The whole path when it ends with a backslash; else the text before the
    // last backslash; a path without backslash is copied whole.
    void DirectoryPart(std::wstring& result) const;
};

// Creates every directory along path, component by component; a run of
// backslashes is one separator, drive designators are not created, leading
// backslashes (root-relative, \\server\share) are kept. Nothing is reported.
void CreateDirectories(const std::wstring& path);
