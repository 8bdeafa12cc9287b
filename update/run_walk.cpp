#include "update/run_walk.h"

#include "base/exceptions.h"
#include "base/messages.h"
#include "base/shown_text.h"
#include "base/text_932.h"
#include "journal/recovery.h"
#include "pak/archive_search.h"
#include "paths/wide_paths.h"
#include "system/run_log.h"
#include "trust/update_anchor.h"
#include "update/install_lookup.h"
#include "update/instance_event.h"
#include "update/item_step.h"
#include "update/item_words.h"

namespace {

// The free bytes of the disk that holds path, or of the nearest folder above
// it that exists; UINT64_MAX when unknown.
uint64_t FreeBytesFor(std::wstring path)
{
    while (!path.empty() && !PathExists(path) && ContainingFolder(path) != path)
        path = ContainingFolder(path);
    ULARGE_INTEGER free = {};
    return !path.empty() && GetDiskFreeSpaceExW(path.c_str(), &free, nullptr, nullptr)
               ? free.QuadPart
               : UINT64_MAX;
}

}  // namespace

RunWalk::RunWalk(RunMode mode, UpdateSettings& settings) : settings(settings), mode_(mode)
{
    settings.SetDefaults();
}

RunWalk::~RunWalk() {}

void RunWalk::EndInBox(RunStage stage, DWORD code, const std::wstring& message, int item)
{
    if (end.kind != EndGoesOn)
        return;
    end.kind = EndErrorBox;
    end.stage = stage;
    end.code = code;
    end.message = message;
    end.item = item;
}

template <typename Step>
bool RunWalk::Take(RunStage stage, Step step)
{
    try {
        step();
        return true;
    } catch (const OCErrorException& failure) {
        EndInBox(stage, failure.code, failure.wideMessage);
        if (mode_ == RunWrites)
            throw;
        return false;
    } catch (const DWORD& code) {
        // The one code raised bare: a settings file too large to hold.
        EndInBox(stage, code, WideFrom932(kOutOfMemoryText));
        if (mode_ == RunWrites)
            throw;
        return false;
    }
}

bool RunWalk::BeforeDialog(const std::vector<P256PublicKey>* keys)
{
    // The manifest before the first load of the settings, so that every
    // load is held to it.
    const bool read = Take(StageSettings, [this] {
        signedUpdate.LoadManifest();
        ReadNamingSettings(settings);
    });

    // Never waited on: its existence alone tells a second start to end.
    if (read) {
        eventError = CreateInstanceEvent(settings.name, instance_);
        const std::string name = "\"" + LogText932(TextOf(settings.name)) + "\"";
        LogEvent("single instance: event " + name +
                 (eventError == 0                      ? " made, no other updater runs"
                  : eventError == ERROR_ALREADY_EXISTS ? " exists: another updater runs"
                                                       : " cannot be made: " + LogError(eventError)));
        if (mode_ == RunPlans)
            instance_.Reset();
        // The tool runs beside an updater that may hold the event: that
        // ends only a start of the updater now, which the tool reports.
        if (eventError && (mode_ == RunWrites || eventError != ERROR_ALREADY_EXISTS) &&
            end.kind == EndGoesOn) {
            end.kind = EndSilent;
            end.stage = StageInstance;
            end.code = eventError;
            if (mode_ == RunWrites)
                return false;
        }
    }

    const bool listed = read && Take(StageItemList, [this] {
        ReadFileList(settings);
        items = MakeItemRecords(settings.files);
    });
    if (listed) {
        Take(StageItemList, [this] {
            if (const ItemRecord* refused = FirstRefused(items)) {
                LogEvent("item \"" + LogText932(refused->Text()) + "\" is refused: " + RefusalReason(refused->refusal));
                SetLastError(ERROR_INVALID_NAME);
                throw OCErrorException(TextOf(RefusalBox(refused->Text())));
            }
        });
        // The tool goes on past an end, to tell every check's verdict.
        Take(StageSignedChecks, [this, keys] {
            UpdateAnchor anchor;
            ReadUpdateAnchor(settings, anchor);
            if (keys) {
                anchor.present = true;
                anchor.keys = *keys;
                if (anchor.fault == L"UpdateKeys")
                    anchor.fault.clear();
            }
            signedUpdate.CheckBeforeDialog(settings, items, anchor);
        });
    }
    if (read) {
        if (!givenFolder.empty()) {
            const std::wstring full = FullPathOf(givenFolder);
            installFolder = full.empty() ? givenFolder : full;
            notice.Clear();
            LogEvent("install folder given with /dir=: \"" + LogText(installFolder) + "\"");
        } else {
            LocateInstallDirectory(settings, installFolder, notice);
        }
        if (mode_ == RunWrites && !notice.IsEmpty())
            notice.ShowMessage(nullptr, "エラー", MB_OK);
        // What an interrupted run left in the proposed folder is cleaned up
        // before anyone is asked anything.
        if (mode_ == RunWrites)
            Recover(installFolder);
    }
    return end.kind == EndGoesOn;
}

void RunWalk::AfterDialog(const std::wstring& folder)
{
    installFolder = folder;
    const bool plans = mode_ == RunPlans;
    // Before anything is written there: a folder that received a signed
    // update stays its product's.
    if (!installFolder.empty() && (!plans || signedUpdate.Anchor()))
        Take(StageSources, [this] { signedUpdate.CheckFolder(settings, installFolder); });
    if (mode_ == RunWrites)
        Recover(installFolder);
    // After the signed checks, even past another end: the tool tells each.
    if (plans && signedUpdate.Anchor())
        Take(StageSources, [this] { signedUpdate.CheckSources(items, nullptr, nullptr, nullptr); });

    freeBytes_ = plans ? FreeBytesFor(installFolder) : UINT64_MAX;
    for (size_t i = 0; i < items.size(); ++i) {
        ItemRecord& record = items[i];
        record.target = installFolder.empty() ? std::wstring() : ItemTarget(installFolder, record.name);
        if (record.target.empty())
            continue;
        // The updater checks an archive to the full depth at its turn, right
        // before its copy.
        DecideItemKeepingFailure(record, plans);
        if (plans) {
            PredictCopy(record);
            if (record.verdict == VerdictStop)
                EndInBox(StageItems, record.error, record.stopMessage, int(i));
        }
    }
    // The updater's check before its first write, as it will count.
    if (plans)
        shortRooms = ShortVolumes(items, settings.allOrNothing);
}

void RunWalk::Recover(const std::wstring& folder)
{
    // Once per folder: the one confirmed is mostly the one proposed.
    if (!recovered_.empty() && CompareStringOrdinal(recovered_.c_str(), -1, folder.c_str(), -1, TRUE) == CSTR_EQUAL)
        return;
    recovered_ = folder;
    RecoverInterruptedUpdates(folder);
}

uint64_t RunWalk::AppliedBytes() const
{
    uint64_t total = 0;
    for (const ItemRecord& record : items)
        if (record.verdict == VerdictApply)
            total += record.size;
    return total;
}
