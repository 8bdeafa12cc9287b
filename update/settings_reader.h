#pragma once
// The settings file reader (update.ini): its own syntax, not the platform's
// profile functions. See settings_reader.cpp for the format.

#include "base/string.h"

// Loads fileName through ArchiveFile (a plain file or an archive entry) and
// looks key up in section. value is replaced only when the key is found with
// a non-empty value. Raises OCErrorException when the user aborts the open,
// and STATUS_NO_MEMORY when the file is too large to hold.
void ReadSetting(const char* section, const char* key, String& value, const char* fileName);

// The search over a loaded text, from its cursor. Leaves the cursor on the
// header of the matching section when one was met.
void FindSettingValue(const char* section, const char* key, String& value, String& settingsText);
