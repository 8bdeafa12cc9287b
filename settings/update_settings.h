#pragma once
// The values an update is run with: update.ini's section "update", over
// fixed defaults.

#include <vector>
#include "base/string.h"

class UpdateSettings {
public:
    String brand;
    String name;
    String title;
    String version;
    std::vector<String> files;
    // AllOrNothing=1: every item is put in place, or none (file_update.h).
    bool allOrNothing;

    UpdateSettings();
    virtual ~UpdateSettings();

    // The initial values: "Quillmark", "Installer", "アップデート", "1.01", no files.
    void SetDefaults();
};

// The settings file and its section, relative to the current folder.
extern const char* const settingsFileName;  // "update.ini"
extern const char* const settingsSection;   // "update"

// Brand, Name, Title and Version, in this order, each read by its own load of
// the settings file; a key that is missing or empty keeps its value. Raises
// OCErrorException when the user aborts the open prompt.
void ReadNamingSettings(UpdateSettings& settings);

// files := the items of the key "file", split on ";"; allOrNothing := whether
// the key "AllOrNothing" is "1". That key is read without the open prompt:
// a settings file that cannot be opened was asked about five times already.
void ReadFileList(UpdateSettings& settings);

// The items of a ";"-separated list, in order, empty items left out, nothing
// trimmed.
void SplitFileList(String& list, std::vector<String>& files);
