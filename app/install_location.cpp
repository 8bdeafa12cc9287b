#include "app/install_location.h"

#include "app/registry_key.h"
#include "update/paths.h"

namespace {
const char* TextOf(const String& value)
{
    return value.text ? value.text : "";
}
}

void FindInstallDirectory(const UpdateSettings& settings, String& destination)
{
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

    String notice;
    notice.Format("%s のインストール先が見つかりませんでした。\n"
                  "インストール済みの場合、お手数ですがインストール先を指定してください。",
                  TextOf(settings.title));
    notice.ShowMessage(nullptr, "エラー", MB_OK);

    // Only a starting point for the dialog, which asks the user anyway.
    destination.Assign(nullptr, 260);
    key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
    key.QueryString("ProgramFilesDir", destination);
    key.Close();
}
