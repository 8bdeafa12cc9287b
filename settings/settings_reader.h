#pragma once
// The settings file reader (update.ini): its own syntax, not the platform's
// profile functions. See settings_reader.cpp for the format.

#include <cstdint>
#include <vector>
#include "base/string.h"
#include "system/sha256.h"

// Loads fileName through ArchiveFile (a plain file or an archive entry) and
// looks key up in section. value is replaced only when the key is found with
// a non-empty value. Raises OCErrorException when the user aborts the open,
// and STATUS_NO_MEMORY when the file is too large to hold.
void ReadSetting(const char* section, const char* key, String& value, const char* fileName);

// The bytes every load of the settings file must be, while held: a signed
// update names them. Another size or digest makes ReadSetting raise
// OCErrorException "ファイル update.ini が壊れているか、書き換えられています。"
// (ERROR_FILE_CORRUPT) before any byte is looked at.
class HeldSettings {
public:
    bool held = false;
    uint64_t size = 0;
    Sha256::Digest digest = {};

    virtual ~HeldSettings() {}
};

// Process-wide, set by the run (as quietOpen is); by default nothing is held.
extern HeldSettings heldSettings;

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
