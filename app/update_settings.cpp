#include "app/update_settings.h"

UpdateSettings updateSettings;
String destination;

UpdateSettings::UpdateSettings() = default;

UpdateSettings::~UpdateSettings() = default;

void UpdateSettings::SetDefaults()
{
    brand.Assign("Quillmark");
    name.Assign("Installer");
    title.Assign("アップデート");
    version.Assign("1.01");
    files.clear();
}
