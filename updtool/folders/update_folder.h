#pragma once
// An update folder read as the updater reads it, from inside it: where
// update.ini comes from, its bytes, and the settings through the updater's
// own reader. Nothing is prompted: a settings file that cannot be opened
// reads as nothing, as when the user ignores the updater's prompt.

#include <string>
#include <vector>
#include "settings/update_settings.h"
#include "updtool/folders/item_location.h"

// One of the five settings as the updater sees it.
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
    std::string bytes;        // the file's bytes (all of them, NULs included)
    // The read raised, ending the updater's run in its error box (a damaged
    // archive, a file too large to hold): the box's message (UTF-8).
    std::string readFailure;
    uint32_t readFailureCode = 0;  // and the code the box shows

    UpdateSettings settings;           // as the updater runs with them
    String fileList;                   // the text of the key "file"
    String allOrNothing;               // the text of the key "AllOrNothing"
    std::vector<SettingView> views;    // Brand, Name, Title, Version, file, AllOrNothing

    virtual ~UpdateFolder() {}

    // Whether update.ini was found to read.
    bool Found() const { return settingsAt.found == FoundFile || settingsAt.found == FoundArchive; }

    // Reads update.ini of the current folder; call once. When the read raises,
    // readFailure says what, and settings hold what was read before.
    void Read();
};
