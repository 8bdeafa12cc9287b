#pragma once
// The archive a command reads, named on its command line. It must be an
// existing file: a name that is missing is never looked up in the archives
// of the current folder, as ArchiveFile would for the updater.

#include <string>
#include <vector>
#include "pak/archive_file.h"

// Opens path (already a PathArgument) for reading on archive. Prints the
// one-line message and returns ExitTrouble when it is missing, a folder or
// unreadable; ExitOk when open.
int OpenArchiveArgument(const char* command, const std::string& path, ArchiveFile& archive);

// Reports a missing or surplus archive argument as a usage error; returns
// ExitOk when exactly one was given (or more when allowMore).
int CheckArchiveArguments(const char* command, const std::vector<std::string>& positional,
                          bool allowMore);
