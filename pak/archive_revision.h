#pragma once
#include <cstdint>
#include <string>
#include "base/string.h"

// A revision as the updater reads it: its signed decimal text.
std::string RevisionText(int32_t revision);

// Appends the revision of the archive at path as signed decimal text ("0" for
// version 0, 1 and unknown versions). Opens quietly: a path that cannot be
// opened appends nothing. quietOpen is as it was afterwards.
void GetArchiveRevisionText(const std::wstring& path, String& out);
// path: a name of the product's, in code page 932.
void GetArchiveRevisionText(const char* path, String& out);
