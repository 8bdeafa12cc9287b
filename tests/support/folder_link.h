#pragma once
// Folder links as a user of the machine would make them. Wine's
// CreateSymbolicLinkW makes nothing, so under Wine the link is a symbolic
// link of the Unix side (made by ln), which Wine reports as a reparse point,
// as Windows does a symbolic link or junction.

#include <string>

// link -> to (both Windows paths). False when it could not be made.
bool MakeFolderLink(const std::string& link, const std::string& to);
// The same for a link to a file.
bool MakeFileLink(const std::string& link, const std::string& to);
// Under Wine only: starts copying the file from to name (exactly as
// written, beside a name that differs in case alone) in folder. The caller
// waits for it to show. False when it cannot be started (on Windows).
bool StartCaseCopy(const std::string& folder, const std::string& name, const std::string& from);
