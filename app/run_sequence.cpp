#include "app/run_sequence.h"

#include <new>
#include <objbase.h>

#include "app/destination_dialog.h"
#include "app/install_location.h"
#include "app/open_failure_prompt.h"
#include "app/progress_window.h"
#include "app/resource_ids.h"
#include "app/run_state.h"
#include "base/exceptions.h"
#include "base/message_box.h"
#include "base/messages.h"
#include "base/owned.h"
#include "base/text_932.h"
#include "pak/archive_search.h"
#include "pak/archive_soundness.h"
#include "pak/open_failure.h"
#include "update/file_update.h"
#include "update/interrupted_update.h"
#include "update/item_rule.h"
#include "update/update_decision.h"

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

// Where one listed item is read from and written to: the item's own name,
// relative to the update folder, and the install folder, a backslash and the
// item.
class ItemPaths {
public:
    String source;        // code page 932, relative to the update folder
    std::wstring target;  // UTF-16: the install folder comes from the system

    ItemPaths(const String& item, const std::wstring& destinationDir)
    {
        source.Format("%s", TextOf(item));
        target = destinationDir + L"\\" + WideFrom932(source);
    }
    virtual ~ItemPaths() {}
};

// The source's length on disk; 0 for a folder or when it cannot be read.
uint64_t SourceSize(const char* source)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(WideFrom932(source).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

void RunSteps(Handle& instance, DWORD delayMs)
{
    ReadNamingSettings(updateSettings);

    // Never waited on: its existence alone tells a second start to end.
    instance.Reset(CreateEventW(nullptr, TRUE, TRUE, WideFrom932(updateSettings.name).c_str()));
    const DWORD created = GetLastError();
    if (!instance.Valid() || created == ERROR_ALREADY_EXISTS)
        return;

    ReadFileList(updateSettings);
    RefuseItemsOutsideTheirFolders(updateSettings.files);

    FindInstallDirectory(updateSettings, destination);
    // What an interrupted run left in the proposed folder is cleaned up
    // before anyone is asked anything.
    RecoverInterruptedUpdates(destination);

    {
        ModalDialog dialog(IDD_DESTINATION, DestinationDialogProc);
        if (dialog.ShowModal() != 1)
            return;
    }
    if (destination.empty())
        return;
    RecoverInterruptedUpdates(destination);

    String caption;
    FormatCaption(caption);
    UpdateFiles(updateSettings.files, destination, caption.text, delayMs,
                updateSettings.allOrNothing);

    String done;
    done.Assign("アップデートが終了しました。");
    done.ShowMessage(nullptr, caption.text, MB_OK);
}
}

void UpdateFiles(const std::vector<String>& files, const std::wstring& destinationDir,
                 const char* caption, DWORD delayMs, bool allOrNothing)
{
    const DWORD started = GetTickCount();
    ProgressWindow progress(caption, PlannedBytes(files, destinationDir), started, delayMs);
    // Declared after the window: a failure puts the targets back before the
    // window goes, and both before the error box.
    FileUpdate update(destinationDir, files, allOrNothing);
    // Strictly item by item: an item is decided at its turn, so a failure
    // ends the run after every item before it was applied.
    for (const String& item : files) {
        const ItemPaths paths(item, destinationDir);
        if (!PathExists(paths.source.text))
            continue;
        UpdateDecision decision;
        if (!DecideUpdate(paths.source.text, paths.target, decision))
            continue;
        // A damaged archive never takes the place of the installed one.
        if (decision.kind == ItemArchive)
            CheckArchiveIsSound(WideFrom932(paths.source));
        progress.BeginItem(paths.source.text, SourceSize(paths.source.text));
        update.Apply(item, ProgressWindow::OnChunk, &progress);
        progress.EndItem();
    }
    update.Commit();
}

uint64_t PlannedBytes(const std::vector<String>& files, const std::wstring& destinationDir)
{
    uint64_t total = 0;
    try {
        for (const String& item : files) {
            const ItemPaths paths(item, destinationDir);
            UpdateDecision decision;
            if (PathExists(paths.source.text) &&
                DecideUpdate(paths.source.text, paths.target, decision))
                total += SourceSize(paths.source.text);
        }
    } catch (const OCErrorException&) {
        // The decision that fails here fails again at its item's turn, after
        // the items before it; only the bar's total is short of it.
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
    updateSettings.SetDefaults();
    destination.clear();
    // The file layer asks the user through this when a file cannot be opened.
    openFailureHandler = PromptOpenFailure;

    const ComApartment com(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    // Its existence marks a running updater; closed at the end of the run.
    Handle instance;
    RunAndReport([&instance, delayMs] { RunSteps(instance, delayMs); });
    return 0;
}
