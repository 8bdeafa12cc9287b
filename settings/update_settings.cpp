#include "settings/update_settings.h"

#include "pak/archive_file.h"
#include "settings/settings_reader.h"

const char* const settingsFileName = "update.ini";
const char* const settingsSection = "update";

UpdateSettings::UpdateSettings() : allOrNothing(false) {}

UpdateSettings::~UpdateSettings() = default;

void UpdateSettings::SetDefaults()
{
    brand.Assign("Quillmark");
    name.Assign("Installer");
    title.Assign("アップデート");
    version.Assign("1.01");
    files.clear();
    allOrNothing = false;
}

void ReadNamingSettings(UpdateSettings& settings)
{
    ReadSetting(settingsSection, "Brand", settings.brand, settingsFileName);
    ReadSetting(settingsSection, "Name", settings.name, settingsFileName);
    ReadSetting(settingsSection, "Title", settings.title, settingsFileName);
    ReadSetting(settingsSection, "Version", settings.version, settingsFileName);
}

void ReadFileList(UpdateSettings& settings)
{
    String list;
    ReadSetting(settingsSection, "file", list, settingsFileName);
    SplitFileList(list, settings.files);
    const QuietOpen quiet;
    String allOrNothing;
    ReadSetting(settingsSection, "AllOrNothing", allOrNothing, settingsFileName);
    settings.allOrNothing = !allOrNothing.IsEmpty() && lstrcmpA(allOrNothing.text, "1") == 0;
}

void SplitFileList(String& list, std::vector<String>& files)
{
    files.clear();
    String item;
    while (list.NextToken(item, ";"))
        files.push_back(item);
}
