#pragma once
// What a publisher is shown of an update folder's update.ini beside the
// run's walk (update/run_walk.h), which reads the settings for the run:
// where the file comes from, its bytes, and each key's text as written, so
// that a key left to its default shows as such. Read from inside the folder
// before the walk; nothing is prompted, and a read that fails is the walk's
// to report.

#include <string>
#include <vector>
#include "settings/update_settings.h"
#include "update/run_walk.h"
#include "updtool/folders/item_location.h"

// One of the six settings as the updater sees it.
class SettingView {
public:
    const char* key;    // "Brand", "Name", "Title", "Version", "file", "AllOrNothing"
    String value;       // what the updater uses
    bool isDefault;     // nothing was read: the initial value is used

    SettingView(const char* key, const String& value, bool isDefault)
        : key(key), value(value), isDefault(isDefault)
    {
    }
    virtual ~SettingView() {}
};

class UpdateFolder {
public:
    // Where update.ini was read from: a file, or an entry of the folder's
    // archives; else FoundMissing, or FoundFolder when a folder has its name.
    ItemLocation settingsAt;
    std::string bytes;      // the file's bytes (all of them, NULs included)
    String fileList;        // the text of the key "file"
    String allOrNothing;    // the text of the key "AllOrNothing"
    String naming[4];       // Brand, Name, Title, Version as written

    virtual ~UpdateFolder() {}

    // Whether update.ini was found to read.
    bool Found() const { return settingsAt.found == FoundFile || settingsAt.found == FoundArchive; }

    // Reads update.ini of the current folder; call once.
    void Read();

    // Brand, Name, Title, Version, file, AllOrNothing: as written, or the
    // value run (the settings the walk read) has where none was.
    std::vector<SettingView> Views(const UpdateSettings& run) const;
};

// The box's message (UTF-8) when the run ends in its error box while
// reading the settings or the list (an archive that holds update.ini is
// damaged, the file is too large to hold), else "". A refused item ends the
// run there too, but is no failure to read.
std::string SettingsFailure(const RunWalk& walk);
