#pragma once
// An update folder read as the updater reads it, from inside it: where
// update.ini comes from, its bytes, and the settings through the updater's
// own reader. Nothing is prompted: a settings file that cannot be opened
// reads as nothing, as when the user ignores the updater's prompt.

#include <string>
#include <vector>
#include "update/update_settings.h"

enum SettingsSource {
    SettingsMissing,    // neither a file nor an archive entry
    SettingsPlain,      // a file in the folder
    SettingsInArchive,  // an entry of one of the folder's archives
};

// One of the five settings as the updater sees it.
class SettingView {
public:
    const char* key;    // "Brand", "Name", "Title", "Version", "file", "AllOrNothing"
    String value;       // what the updater uses
    bool isDefault;     // nothing was read: the initial value is used

    SettingView(const char* key, const String& value, bool isDefault);
    virtual ~SettingView();
};

class UpdateFolder {
public:
    SettingsSource source;
    std::string archive;      // SettingsInArchive: the archive's file name (UTF-8)
    std::string entry;        // SettingsInArchive: the entry's name (code page 932)
    bool entryLonger;         // that entry's name only begins with "update.ini"
    bool settingsIsFolder;    // update.ini names a folder (which cannot be opened)
    std::string bytes;        // the file's bytes (all of them, NULs included)
    // The read raised, ending the updater's run in its error box (a damaged
    // archive, a file too large to hold): the box's message (UTF-8).
    std::string readFailure;
    uint32_t readFailureCode;  // and the code the box shows

    UpdateSettings settings;           // as the updater runs with them
    String fileList;                   // the text of the key "file"
    String allOrNothing;               // the text of the key "AllOrNothing"
    std::vector<SettingView> views;    // Brand, Name, Title, Version, file, AllOrNothing

    UpdateFolder();
    virtual ~UpdateFolder();

    // Reads update.ini of the current folder; call once. When the read raises,
    // readFailure says what, and settings hold what was read before.
    void Read();
};
