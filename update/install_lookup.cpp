#include "update/install_lookup.h"

#include "system/run_log.h"
#include "base/text_932.h"
#include "paths/wide_paths.h"
#include "system/registry_key.h"

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
    const std::string where =
        "registry HKLM\\" + LogText932(subKey.text) + " (32-bit view), value execute";
    if (!key.Open(HKEY_LOCAL_MACHINE, WideFrom932(subKey))) {
        LogEvent(where + ": the key cannot be opened");
    } else if (!key.QueryString(L"execute", execute, kExecuteRoom)) {
        LogEvent(where + ": missing, not text, empty or too long");
    } else {
        FilePath program;
        program.SetPath(execute);
        program.DirectoryPart(destination);
        LogEvent(where + ": \"" + LogText(execute) + "\", install folder \"" +
                 LogText(destination) + "\"");
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
    LogEvent("no install folder recorded: proposing the program-files folder \"" +
             LogText(destination) + "\"");
}
