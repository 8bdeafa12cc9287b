#include "updtool/folders/update_folder.h"

#include <windows.h>
#include "base/exceptions.h"
#include "base/shown_text.h"
#include "base/text_932.h"
#include "pak/archive_file.h"
#include "settings/settings_reader.h"
#include "updtool/folders/working_folder.h"

const char* const kNamingKeys[4] = {"Brand", "Name", "Title", "Version"};

void UpdateFolder::Read()
{
    if (IsFolder(WideFrom932(settingsFileName)))
        settingsAt.found = FoundFolder;
    try {
        // Through the file object the reader uses: plain, or an archive
        // entry when no plain file has the name.
        if (ArchiveFile file; file.Open(settingsFileName, ModeRead)) {
            LocateOpened(file, settingsFileName, settingsAt);
            const uint32_t size = file.Size();
            bytes.assign(size, '\0');
            const uint32_t got = size ? file.Read(&bytes[0], size) : 0;
            bytes.resize(got < size ? got : size);
        }
        // Read over empty texts: what stays empty was not found, and the
        // updater keeps its initial value there.
        for (int i = 0; i < 4; ++i)
            ReadSetting(settingsSection, kNamingKeys[i], naming[i], settingsFileName);
        ReadSetting(settingsSection, "file", fileList, settingsFileName);
        ReadSetting(settingsSection, "AllOrNothing", allOrNothing, settingsFileName);
    } catch (const OCErrorException&) {
        // The walk meets the same failure and reports it.
    } catch (const DWORD&) {
    }
}

std::vector<SettingView> UpdateFolder::Views(const UpdateSettings& run) const
{
    const String* const values[4] = {&run.brand, &run.name, &run.title, &run.version};
    std::vector<SettingView> views;
    for (int i = 0; i < 4; ++i)
        views.emplace_back(kNamingKeys[i], naming[i].IsEmpty() ? *values[i] : naming[i], naming[i].IsEmpty());
    views.emplace_back("file", fileList, fileList.IsEmpty());
    views.emplace_back("AllOrNothing", allOrNothing, allOrNothing.IsEmpty());
    return views;
}

std::string SettingsFailure(const RunWalk& walk)
{
    const RunEnd& end = walk.end;
    const bool reading = end.stage == StageSettings || (end.stage == StageItemList && !FirstRefused(walk.items));
    return end.kind == EndErrorBox && reading ? Utf8(end.message) : std::string();
}
