#include "app/run_sequence.h"

#include <new>
#include <objbase.h>

#include "app/destination_dialog.h"
#include "app/progress_window.h"
#include "app/record_start.h"
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
#include "update/item_words.h"
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

// How the run ended, for its record.
const char* outcome = "";

void RunSteps(RunWalk& walk, DWORD delayMs)
{
    outcome = "ended by its error box";
    if (!walk.BeforeDialog()) {
        outcome = walk.eventError == ERROR_ALREADY_EXISTS
                      ? "another updater runs: ended without a window"
                      : "the single-instance event cannot be made: ended without a window";
        return;
    }
    destination = walk.installFolder;
    {
        ModalDialog dialog(IDD_DESTINATION, DestinationDialogProc);
        if (dialog.ShowModal() != 1) {
            outcome = "cancelled in the dialog";
            return;
        }
    }
    if (destination.empty()) {
        outcome = "no install folder given: nothing done";
        return;
    }
    walk.AfterDialog(destination);

    String caption;
    FormatCaption(caption);
    UpdateFiles(walk, caption.text, delayMs);
    // Right after the last replacement: a run killed at its completion box
    // must not leave the previous signed update acceptable again.
    walk.signedUpdate.Record(updateSettings, destination);

    String done;
    done.Assign("アップデートが終了しました。");
    done.ShowMessage(nullptr, caption.text, MB_OK);
    outcome = "finished";
}

void BeginCheck(const char* item, uint64_t size, void* user)
{
    static_cast<ProgressWindow*>(user)->BeginItem(item, size, true);
}
}

void UpdateFiles(RunWalk& walk, const char* caption, DWORD delayMs)
{
    const DWORD started = GetTickCount();
    ProgressWindow progress(caption, walk.signedUpdate.CheckedBytes(walk.items) + walk.AppliedBytes(),
                            started, delayMs);
    walk.signedUpdate.CheckSources(walk.items, BeginCheck, ProgressWindow::OnChunk, &progress);
    // Declared after the window: a failure puts the targets back before the
    // window goes, and both before the error box.
    ReplacementRun update(walk.installFolder, walk.items, walk.settings.allOrNothing);
    const SourceFolder sources;
    // Strictly item by item: a failure ends the run after every item before
    // it was applied.
    for (size_t i = 0; i < walk.items.size(); ++i) {
        const ItemRecord& record = walk.items[i];
        LogEvent(ItemTurnLine(i + 1, record, ItemSource(record.name)));
        if (record.verdict == VerdictStop)
            RaiseKeptFailure(record);
        if (record.verdict != VerdictApply)
            continue;
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
    // Asked for by an administrator: without it the run does not start.
    if (!StartRunRecord(arguments)) {
        const DWORD error = GetLastError();
        ReportError(error, WideSentence(kLogNotCreatedText, RequestedLogPath(arguments)));
        return 0;
    }
    destination.clear();
    // The file layer asks the user when a file cannot be opened.
    openFailurePrompt.asks = true;

    const ComApartment com(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    // Holds the instance event until after the error box.
    RunWalk walk(RunWrites, updateSettings);
    RunAndReport([&walk, delayMs] { RunSteps(walk, delayMs); });
    LogEvent(std::string("exit code 0: ") + outcome);
    EndRunLog();
    return 0;
}
