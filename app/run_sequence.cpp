#include "app/run_sequence.h"

#include <new>
#include <objbase.h>

#include "app/destination_dialog.h"
#include "app/progress_window.h"
#include "app/record_start.h"
#include "app/run_arguments.h"
#include "app/resource_ids.h"
#include "app/run_state.h"
#include "base/exceptions.h"
#include "base/messages.h"
#include "base/owned.h"
#include "base/text_932.h"
#include "pak/archive_check.h"
#include "paths/item_source.h"
#include "paths/open_failure.h"
#include "paths/wide_paths.h"
#include "system/message_box.h"
#include "system/run_log.h"
#include "update/item_step.h"
#include "update/held_targets.h"
#include "update/item_words.h"
#include "update/room_check.h"
#include "update/replacement_run.h"
#include "update/run_walk.h"

namespace {
const uint32_t kStatusNoMemory = 0xC0000017u;

void LeaveComApartment(bool)
{
    CoUninitialize();
}

// The shell's folder browser wants COM on this thread; left at the end of
// the run when entered.
typedef Owned<bool, LeaveComApartment> ComApartment;

// message: UTF-16, as it may name a path with any character.
void ReportError(uint32_t code, const std::wstring& message)
{
    LogEvent("the run ends in its error box: " + LogError(code));
    try {
        String head;
        head.Format("エラーが発生しました。\nCode 0x%x :", code);
        ShowMessageBox(WideFrom932(head) + message, nullptr, MB_OK);
    } catch (...) {
        // Not even the text could be composed: show the message alone.
        if (!boxesUnattended)
            MessageBoxW(nullptr, message.c_str(), nullptr, MB_OK | MB_TOPMOST);
    }
}

void ReportError(uint32_t code, const char* message)
{
    ReportError(code, WideFrom932(message));
}

// Where an item's source lies, for the record: the update folder is the
// current one.
std::wstring ItemSource(const std::wstring& relative)
{
    const std::wstring full = FullPathOf(relative);
    return full.empty() ? relative : full;
}

// How the run ended, for its record, and the exit code an unattended run
// ends with.
const char* outcome = "";
int outcomeCode = 0;

void EndAs(const char* how, int code)
{
    outcome = how;
    outcomeCode = code;
}

void RunSteps(RunWalk& walk, const RunArguments& arguments, DWORD delayMs)
{
    EndAs("ended by its error box", kExitFailed);
    if (!walk.BeforeDialog()) {
        if (walk.eventError == ERROR_ALREADY_EXISTS)
            EndAs("another updater runs: ended without a window", kExitBusy);
        else
            EndAs("the single-instance event cannot be made: ended without a window", kExitFailed);
        return;
    }
    destination = walk.installFolder;
    // Without a person to confirm it, the program-files folder is no
    // destination.
    if (arguments.silent && !walk.notice.IsEmpty()) {
        EndAs("no install folder: the registry records none and /dir= was not given; nothing done", kExitFailed);
        return;
    }
    if (!arguments.silent) {
        ModalDialog dialog(IDD_DESTINATION, DestinationDialogProc);
        if (dialog.ShowModal() != 1) {
            EndAs("cancelled in the dialog", kExitFailed);
            return;
        }
    }
    if (destination.empty()) {
        EndAs("no install folder given: nothing done", kExitFailed);
        return;
    }
    walk.AfterDialog(destination);

    String caption;
    FormatCaption(caption);
    // Unattended, the progress window never shows.
    if (!UpdateFiles(walk, caption.text, arguments.silent ? INFINITE : delayMs))
        return;
    // Right after the last replacement: a run killed at its completion box
    // must not leave the previous signed update acceptable again.
    walk.signedUpdate.Record(updateSettings, destination);

    String done;
    done.Assign("アップデートが終了しました。");
    done.ShowMessage(nullptr, caption.text, MB_OK);
    EndAs("finished", kExitFinished);
}

// Megabytes, rounded up: the room a box asks for.
std::wstring Megabytes(uint64_t bytes)
{
    return std::to_wstring((bytes + (1u << 20) - 1) >> 20);
}

// Before the first write: nothing starts while a running program holds a
// target, or a volume lacks the room the copies need. Each is a box (Retry
// looks again, Cancel ends the run with nothing written); false at Cancel,
// with how the run ends.
bool ReadyToWrite(RunWalk& walk, const char* caption)
{
    for (;;) {
        const HeldTargets held = FindHeldTargets(walk.items, walk.installFolder);
        if (held.files.empty())
            break;
        std::wstring names;
        for (const std::wstring& name : held.programs.empty() ? held.files : held.programs)
            names += (names.empty() ? L"" : L"\n") + name;
        LogEvent("held by a running program: " + std::to_string(held.files.size()) + " target(s), first " +
                 LogText(held.files.front()));
        if (ShowMessageBox(WideFrom932(kHeldTargetsText) + names, caption, MB_RETRYCANCEL | MB_ICONWARNING) !=
            IDRETRY) {
            EndAs("a running program holds a target: ended, nothing written", kExitBusy);
            return false;
        }
    }
    for (;;) {
        const std::vector<VolumeRoom> lacking = ShortVolumes(walk.items, walk.settings.allOrNothing);
        if (lacking.empty())
            return true;
        const VolumeRoom& room = lacking.front();
        String sentence;
        sentence.Assign(kNoRoomText);
        std::wstring text = WideFrom932(sentence);
        for (const std::wstring& value : {room.volume, Megabytes(room.needed), Megabytes(room.free)})
            text.replace(text.find(L"%s"), 2, value);
        if (ShowMessageBox(text, caption, MB_RETRYCANCEL | MB_ICONWARNING) != IDRETRY) {
            EndAs("not enough room for the copies: ended, nothing written", kExitFailed);
            return false;
        }
    }
}

void BeginCheck(const char* item, uint64_t size, void* user)
{
    static_cast<ProgressWindow*>(user)->BeginItem(item, size, true);
}
}

bool UpdateFiles(RunWalk& walk, const char* caption, DWORD delayMs)
{
    const DWORD started = GetTickCount();
    ProgressWindow progress(caption, walk.signedUpdate.CheckedBytes(walk.items) + walk.AppliedBytes(),
                            started, delayMs);
    walk.signedUpdate.CheckSources(walk.items, BeginCheck, ProgressWindow::OnChunk, &progress);
    if (!ReadyToWrite(walk, caption))
        return false;
    // Declared after the window: a failure puts the targets back before the
    // window goes, and both before the error box.
    ReplacementRun update(walk.installFolder, walk.items, walk.settings.allOrNothing, walk.tally);
    const SourceFolder sources;
    // Strictly item by item: a failure ends the run after every item before
    // it was applied.
    for (size_t i = 0; i < walk.items.size(); ++i) {
        const ItemRecord& record = walk.items[i];
        ItemRecord& decided = walk.items[i];
        LogEvent(ItemTurnLine(i + 1, decided, ItemSource(decided.name)));
        // An installed copy that cannot be read is asked about as an open
        // is: Retry reads and decides again, Ignore skips the item.
        while (decided.verdict == VerdictPrompt && decided.prompt == PromptTargetUnreadable) {
            SetLastError(decided.error);
            if (!HandleOpenFailure(decided.target))
                break;
            DecideItemKeepingFailure(decided, false);
            LogEvent(ItemTurnLine(i + 1, decided, ItemSource(decided.name)));
        }
        if (record.verdict == VerdictStop)
            RaiseKeptFailure(record);
        if (record.verdict != VerdictApply) {
            walk.tally.skipped += record.verdict != VerdictRefused;
            continue;
        }
        // Read from the one file checked: a signed update's held source, or
        // the source opened now (one that cannot be is opened by name, and
        // asked about, by the copy).
        Handle opened;
        HANDLE source = walk.signedUpdate.HeldSource(record);
        if (!source && sources.Open(record, opened))
            source = opened.Get();
        // A damaged archive never takes the place of the installed one:
        // every entry's data is inflated and checked before the first byte
        // is copied.
        if (record.decision.kind == ItemArchive && source)
            CheckArchiveIsSound(source, record.name, CheckFull);
        else if (record.decision.kind == ItemArchive)
            CheckArchiveIsSound(record.name, CheckFull);
        progress.BeginItem(record.Text(), record.size);
        update.Apply(record, ProgressWindow::OnChunk, &progress, source, walk.signedUpdate.CopyMustMatch(record));
        progress.EndItem();
    }
    update.Commit();
    return true;
}

void RunAndReport(const std::function<void()>& steps)
{
    try {
        steps();
    } catch (const OCErrorException& failure) {
        ReportError(failure.code, failure.wideMessage);
    } catch (const OCException& failure) {
        ReportError(failure.code, "処理を続行できませんでした。");
    } catch (const DWORD& code) {
        ReportError(code, code == kStatusNoMemory ? kOutOfMemoryText
                                                  : "処理を続行できませんでした。");
    } catch (const std::bad_alloc&) {
        ReportError(kStatusNoMemory, kOutOfMemoryText);
    } catch (...) {
        ReportError(0, "予期しないエラーが発生しました。");
    }
}

int RunUpdate(DWORD delayMs)
{
    const RunArguments arguments = ParseRunArguments(GetCommandLineW());
    // An unattended run shows nothing: every box is recorded and answered
    // as its safe choice.
    boxesUnattended = arguments.silent;
    // Asked for by an administrator: without it the run does not start.
    if (!StartRunRecord(arguments)) {
        const DWORD error = GetLastError();
        ReportError(error, WideSentence(kLogNotCreatedText, RequestedLogPath(arguments)));
        return arguments.silent ? kExitFailed : 0;
    }
    destination.clear();
    // The file layer asks the user when a file cannot be opened.
    openFailurePrompt.asks = true;

    const ComApartment com(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    // Holds the instance event until after the error box.
    RunWalk walk(RunWrites, updateSettings);
    walk.givenFolder = arguments.dir;
    RunAndReport([&] { RunSteps(walk, arguments, delayMs); });
    // Callers rely on 0 from a run started without /silent.
    const int code = arguments.silent ? outcomeCode : 0;
    LogEvent("exit code " + std::to_string(code) + ": " + outcome + "; " + walk.tally.Summary());
    EndRunLog();
    return code;
}
