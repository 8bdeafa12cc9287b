#include "updtool/folders/update_folder.h"

#include <windows.h>
#include "base/exceptions.h"
#include "pak/archive_file.h"
#include "base/messages.h"
#include "base/text_932.h"
#include "settings/settings_reader.h"
#include "updtool/console/text_conversion.h"

namespace {

// The settings file through the file object the reader uses: plain, or an
// archive entry when no plain file has the name.
void LoadSettingsFile(UpdateFolder& folder)
{
    const DWORD attributes = GetFileAttributesW(WideFrom932(settingsFileName).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        folder.settingsAt.found = FoundFolder;
    ArchiveFile file;
    if (!file.Open(settingsFileName, ModeRead))
        return;
    LocateOpened(file, settingsFileName, folder.settingsAt);
    const uint32_t size = file.Size();
    folder.bytes.assign(size, '\0');
    const uint32_t got = size ? file.Read(&folder.bytes[0], size) : 0;
    folder.bytes.resize(got < size ? got : size);
}

}  // namespace

void UpdateFolder::Read()
{
    UpdateSettings defaults;
    defaults.SetDefaults();
    // Read over empty texts: what stays empty was not found, and the
    // updater keeps its initial value there.
    try {
        LoadSettingsFile(*this);
        ReadNamingSettings(settings);
        ReadSetting(settingsSection, "file", fileList, settingsFileName);
        ReadSetting(settingsSection, "AllOrNothing", allOrNothing, settingsFileName);
        ReadFileList(settings);
    } catch (const OCErrorException& failure) {
        readFailure = Utf8(failure.wideMessage);
        readFailureCode = failure.code;
    } catch (const DWORD& code) {
        readFailureCode = code;
        // The one code raised bare: the file cannot be held in memory.
        readFailure = Utf8From932(kOutOfMemoryText);
    }

    const auto view = [this](const char* key, String& value, const String& initial) {
        const bool isDefault = value.IsEmpty();
        if (isDefault)
            value.Assign(initial);
        views.emplace_back(key, value, isDefault);
    };
    view("Brand", settings.brand, defaults.brand);
    view("Name", settings.name, defaults.name);
    view("Title", settings.title, defaults.title);
    view("Version", settings.version, defaults.version);
    views.emplace_back("file", fileList, fileList.IsEmpty());
    views.emplace_back("AllOrNothing", allOrNothing, allOrNothing.IsEmpty());
}
