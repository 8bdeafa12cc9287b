#include "update/install_lookup.h"

#include "base/text_932.h"
#include "paths/wide_paths.h"
#include "update/registry_key.h"

namespace {

// The buffers the values were read into, in bytes of code page 932 with the
// terminator: a longer value reads as missing.
const uint32_t kExecuteRoom = 576;
const uint32_t kProgramFilesRoom = 320;

}  // namespace

void LocateInstallDirectory(const UpdateSettings& settings, std::wstring& destination,
                            String& notice)
{
    notice.Clear();
    destination.clear();
    String subKey;
    subKey.Format("SOFTWARE\\%s\\%s", TextOf(settings.brand), TextOf(settings.name));

    RegistryKey key;
    std::wstring execute;
    if (key.Open(HKEY_LOCAL_MACHINE, WideFrom932(subKey)) &&
        key.QueryString(L"execute", execute, kExecuteRoom)) {
        FilePath program;
        program.SetPath(execute);
        program.DirectoryPart(destination);
    }
    key.Close();

    if (!destination.empty())
        return;

    notice.Format("%s のインストール先が見つかりませんでした。\n"
                  "インストール済みの場合、お手数ですがインストール先を指定してください。",
                  TextOf(settings.title));

    // Only a starting point for the dialog, which asks the user anyway.
    if (key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion"))
        key.QueryString(L"ProgramFilesDir", destination, kProgramFilesRoom);
    key.Close();
}
