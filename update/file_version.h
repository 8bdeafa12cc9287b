#pragma once
#include <string>
#include "base/string.h"

// result := the FileVersion text of the file's version resource, read for
// the first translation pair only, in code page 932 as a Japanese system's
// -A call gives it. Left as it was when the file, the resource, the
// translation table or the value is missing. Raises OCErrorException when
// the system's version.dll cannot be loaded.
void GetFileVersionText(const std::wstring& path, String& result);
// path: a name of the product's, in code page 932.
void GetFileVersionText(const char* path, String& result);
