#pragma once
// Looking names up in the .pak archives of a directory.

#include <vector>
#include "pak/archive_file.h"

// The *.pak files of directory (folders left out) in the order every lookup
// tries them, lstrcmpiA order: "directory\name" each, or the bare names
// when directory is null or empty (the current folder).
std::vector<String> ListArchives(const char* directory);

// Searches directory's *.pak archives, in lstrcmpiA order of their paths,
// for the first entry whose name begins with soughtName (case-insensitive,
// a doubled backslash in soughtName read as one). True: file is open on the
// entry. False: file is closed. Raises what Open and inflating raise.
bool FindInArchives(ArchiveFile& file, const char* directory, const char* soughtName);

// True when path names an existing file or directory. For a path with a drive
// letter the drive's volume must answer first.
bool PathExists(const char* path);
