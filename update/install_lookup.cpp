#include "update/install_lookup.h"

#include "paths/paths.h"
#include "update/registry_key.h"

void LocateInstallDirectory(const UpdateSettings& settings, String& destination, String& notice)
{
    notice.Clear();
    String subKey;
    subKey.Format("SOFTWARE\\%s\\%s", TextOf(settings.brand), TextOf(settings.name));

    RegistryKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, subKey.text)) {
        String execute(512);
        key.QueryString("execute", execute);
        FilePath program;
        program.SetPath(TextOf(execute));
        program.DirectoryPart(destination);
    }
    key.Close();

    if (!destination.IsEmpty())
        return;

    notice.Format("%s のインストール先が見つかりませんでした。\n"
                  "インストール済みの場合、お手数ですがインストール先を指定してください。",
                  TextOf(settings.title));

    // Only a starting point for the dialog, which asks the user anyway.
    destination.Assign(nullptr, 260);
    key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
    key.QueryString("ProgramFilesDir", destination);
    key.Close();
}
