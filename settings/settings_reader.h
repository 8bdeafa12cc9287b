#pragma once
// The settings file reader (update.ini): its own syntax, not the platform's
// profile functions. See settings_reader.cpp for the format.

#include <cstdint>
#include <vector>
#include "base/string.h"

// Loads fileName through ArchiveFile (a plain file or an archive entry) and
// looks key up in section. value is replaced only when the key is found with
// a non-empty value. Raises OCErrorException when the user aborts the open,
// and STATUS_NO_MEMORY when the file is too large to hold.
void ReadSetting(const char* section, const char* key, String& value, const char* fileName);

// Called by every ReadSetting with the bytes it loaded (data, got of them)
// and the file's size, before any is looked at; may raise to refuse them.
// Null (the default): the bytes are taken as they are.
typedef void (*SettingsBytesCheck)(const char* data, uint32_t got, uint32_t size);
extern SettingsBytesCheck settingsBytesCheck;

// The search over a loaded text, from its cursor. Leaves the cursor on the
// header of the matching section when one was met.
void FindSettingValue(const char* section, const char* key, String& value, String& settingsText);

// What the reader makes of a text, for a publisher's check of it: every
// stretch it reads or passes over, once, in text order.
enum SettingsPart {
    SettingsHeader,   // a header line; name: the section name read
    SettingsComment,  // a comment line
    SettingsKey,      // any other line; name and value: the key and value read
                      // (empty when the line has none)
    SettingsHidden,   // passed over after a comment, up to the next LF
    SettingsSkipped,  // passed over after another section's header, up to the
                      // character before the next "["
};

class SettingsPartRead {
public:
    SettingsPart part;
    uint32_t offset, length;  // bytes of the text
    String name, value;

    SettingsPartRead(SettingsPart part, uint32_t offset, uint32_t length);
    virtual ~SettingsPartRead();
};

class SettingsRecord {
public:
    std::vector<SettingsPartRead> parts;

    SettingsRecord();
    virtual ~SettingsRecord();
};

// Reads the whole text as a search in section does, finding no key, and
// records what it reads and passes over.
void RecordSettings(const char* section, String& settingsText, SettingsRecord& record);
