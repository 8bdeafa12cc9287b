#pragma once
#include "base/string.h"

// result := the FileVersion text of the file's version resource, read for
// the first translation pair only. Left as it was when the file, the
// resource, the translation table or the value is missing. Raises
// OCErrorException when the system's version.dll cannot be loaded.
void GetFileVersionText(const char* path, String& result);
