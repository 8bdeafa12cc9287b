#pragma once
// What lies where an update file goes, as the updater judges it before it
// copies: the publisher's tool predicts the updater's prompts from the same
// answers.

#include <windows.h>
#include <string>

// What lies at target, and whether it could be replaced now: attributes
// (INVALID_FILE_ATTRIBUTES when nothing is there) and 0, or the error Windows
// would give (ERROR_ACCESS_DENIED for a read-only file or a folder, the
// sharing error for a file another program holds).
DWORD ProbeTarget(const std::wstring& target, DWORD& attributes);

// Whether two paths name the same file, by their full paths (no file system
// access: asking Wine for file identities costs about a millisecond a file).
// Another name for the same file, such as a link, is not recognised.
bool NamesSameFile(const std::wstring& a, const std::wstring& b);
