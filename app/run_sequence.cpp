#include "app/run_sequence.h"

#include <new>
#include <objbase.h>

#include "app/destination_dialog.h"
#include "app/install_location.h"
#include "app/open_failure_prompt.h"
#include "app/progress_window.h"
#include "app/resource_ids.h"
#include "app/record_start.h"
#include "app/run_state.h"
#include "base/exceptions.h"
#include "system/message_box.h"
#include "base/messages.h"
#include "base/owned.h"
#include "system/run_log.h"
#include "base/text_932.h"
#include "paths/open_failure.h"
#include "paths/wide_paths.h"
#include "update/replacement_run.h"
#include "update/instance_event.h"
#include "journal/recovery.h"
#include "update/item_record.h"
#include "paths/item_rule.h"
#include "update/item_step.h"
#include "trust/signed_update.h"

namespace {
const uint32_t statusNoMemory = 0xC0000017u;

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
std::wstring ItemSource(const char* item)
{
    const std::wstring relative = WideFrom932(item);
    const std::wstring full = FullPathOf(relative);
    return full.empty() ? relative : full;
}

// How the run ended, for its record.
const char* outcome = "";

void RunSteps(Handle& instance, DWORD delayMs)
{
    outcome = "ended by its error box";
    // Before the first load of the settings, so that every load is checked.
    SignedUpdate signedUpdate;
    signedUpdate.LoadManifest();
    ReadNamingSettings(updateSettings);

    // Never waited on: its existence alone tells a second start to end.
    const std::wstring eventName = WideFrom932(updateSettings.name);
    const DWORD created = CreateInstanceEvent(updateSettings.name, instance);
    if (created != 0) {
        LogEvent("single instance: event \"" + LogText(eventName) + "\" " +
                 (created == ERROR_ALREADY_EXISTS ? "exists: another updater runs"
                                                  : "cannot be made: " + LogError(created)));
        outcome = created == ERROR_ALREADY_EXISTS
                      ? "another updater runs: ended without a window"
                      : "the single-instance event cannot be made: ended without a window";
        return;
    }
    LogEvent("single instance: event \"" + LogText(eventName) + "\" made, no other updater runs");

    ReadFileList(updateSettings);
    RefuseItemsOutsideTheirFolders(updateSettings.files);
    signedUpdate.CheckBeforeDialog(updateSettings);

    FindInstallDirectory(updateSettings, destination);
    // What an interrupted run left in the proposed folder is cleaned up
    // before anyone is asked anything.
    RecoverInterruptedUpdates(destination);

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
    RecoverInterruptedUpdates(destination);

    String caption;
    FormatCaption(caption);
    UpdateFiles(updateSettings.files, destination, caption.text, delayMs,
                updateSettings.allOrNothing, &signedUpdate);

    String done;
    done.Assign("アップデートが終了しました。");
    done.ShowMessage(nullptr, caption.text, MB_OK);
    signedUpdate.Record(updateSettings);
    outcome = "finished";
}

void BeginCheck(const char* item, uint64_t size, void* user)
{
    static_cast<ProgressWindow*>(user)->BeginItem(item, size, true);
}
}

void UpdateFiles(const std::vector<String>& files, const std::wstring& destinationDir,
                 const char* caption, DWORD delayMs, bool allOrNothing, SignedUpdate* check)
{
    const DWORD started = GetTickCount();
    const uint64_t checked = check ? check->CheckedBytes(files) : 0;
    ProgressWindow progress(caption, checked + PlannedBytes(files, destinationDir), started, delayMs);
    if (check)
        check->CheckSources(files, BeginCheck, ProgressWindow::OnChunk, &progress);
    // Declared after the window: a failure puts the targets back before the
    // window goes, and both before the error box.
    ReplacementRun update(destinationDir, files, allOrNothing);
    // Strictly item by item: an item is decided at its turn, so a failure
    // ends the run after every item before it was applied.
    const std::vector<bool> listedAgain = ListedAgainLater(files);
    for (size_t i = 0; i < files.size(); ++i) {
        const String& item = files[i];
        ItemStep step(TextOf(item), ItemTarget(destinationDir, TextOf(item)));
        const std::wstring source = ItemSource(TextOf(item));
        if (listedAgain[i]) {
            step.verdict = VerdictListedAgain;
            LogItemStep(i + 1, step, source);
            continue;
        }
        try {
            TakeItemStep(step);
        } catch (...) {
            LogEvent("item " + std::to_string(i + 1) + " \"" + LogText932(TextOf(item)) +
                     "\": its decision or check failed");
            throw;
        }
        LogItemStep(i + 1, step, source);
        if (step.verdict != VerdictApply)
            continue;
        progress.BeginItem(TextOf(step.item), step.size);
        update.Apply(item, ProgressWindow::OnChunk, &progress);
        progress.EndItem();
    }
    update.Commit();
}

uint64_t PlannedBytes(const std::vector<String>& files, const std::wstring& destinationDir)
{
    uint64_t total = 0;
    try {
        const std::vector<bool> listedAgain = ListedAgainLater(files);
        for (size_t i = 0; i < files.size(); ++i) {
            ItemStep step(TextOf(files[i]), ItemTarget(destinationDir, TextOf(files[i])));
            // Bounds only: the full check comes at the item's turn.
            if (!listedAgain[i] && TakeItemStep(step, CheckBounds) == VerdictApply)
                total += step.size;
        }
    } catch (...) {
        // The step that fails here (a damaged archive, an index too large to
        // hold) fails again at its item's turn, after the items before it;
        // only the bar's total is short of it.
    }
    return total;
}

void RefuseItemsOutsideTheirFolders(const std::vector<String>& files)
{
    for (const String& item : files) {
        if (JudgeItem(TextOf(item)) == ItemAccepted)
            continue;
        String message;
        message.Format(kRefusedItemText, TextOf(item));
        SetLastError(ERROR_INVALID_NAME);
        throw OCErrorException(message.text);
    }
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
        ReportError(code, code == statusNoMemory ? kOutOfMemoryText
                                                 : "処理を続行できませんでした。");
    } catch (const std::bad_alloc&) {
        ReportError(statusNoMemory, kOutOfMemoryText);
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
    updateSettings.SetDefaults();
    destination.clear();
    // The file layer asks the user through this when a file cannot be opened.
    openFailureHandler = PromptOpenFailure;

    const ComApartment com(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    // Its existence marks a running updater; closed at the end of the run.
    Handle instance;
    RunAndReport([&instance, delayMs] { RunSteps(instance, delayMs); });
    LogEvent(std::string("exit code 0: ") + outcome);
    EndRunLog();
    return 0;
}
