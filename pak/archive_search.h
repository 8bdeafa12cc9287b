#pragma once
// Looking names up in the .pak archives of a directory.

#include <string>
#include <vector>
#include "pak/archive_file.h"

// The *.pak files of directory (folders left out) in the order every lookup
// tries them, the order lstrcmpiA gives their paths on a Japanese system:
// "directory\name" each, or the bare names when directory is empty (the
// current folder).
std::vector<std::wstring> ListArchives(const std::wstring& directory);

// Searches directory's *.pak archives, in ListArchives order, for the first
// entry whose name begins with soughtName (code page 932; case-insensitive,
// a doubled backslash read as one). True: file is open on the entry. False:
// file is closed. Raises what Open and inflating raise.
bool FindInArchives(ArchiveFile& file, const std::wstring& directory, const char* soughtName);

// True when path names an existing file or directory. For a path with a drive
// letter the drive's volume must answer first.
bool PathExists(const std::wstring& path);
// path: a name of the product's, in code page 932.
bool PathExists(const char* path);
