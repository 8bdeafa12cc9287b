// The destination dialog driven through its real windows: the template is
// the updater's own, carried by this test program.

#include <gtest/gtest.h>
#include <functional>
#include <shlobj.h>

#include "app/destination_dialog.h"
#include "app/folder_browser.h"
#include "app/resource_ids.h"
#include "app/run_state.h"
#include "base/exceptions.h"
#include "tests/app/app_test_support.h"
#include "tests/support/message_box_answerer.h"
#include "tests/support/scratch_dir.h"

namespace {

const char* const oldDestination = "C:\\Program Files\\Old Place";
const int statusLineId = 0x3743;  // the browser's status text

struct Seen {
    std::string caption;
    std::string field;
    std::string browserCaption;
    std::string browserStatus;
};

// Shows dialog 102 with the given step for the dialog window and, when the
// step opens the folder browser, browserStep for the browser window.
INT_PTR ShowDestinationDialog(Seen& seen, const std::function<void(HWND)>& step,
                              const std::function<void(HWND, HWND)>& browserStep = nullptr)
{
    HWND dialogWindow = nullptr;
    DialogWatcher watcher([&](HWND window) {
        if (!dialogWindow) {
            dialogWindow = window;
            seen.caption = WindowText(window);
            seen.field = ControlText(window, IDC_DESTINATION_EDIT);
            step(window);
        } else {
            seen.browserCaption = WindowText(window);
            if (browserStep)
                browserStep(dialogWindow, window);
            else
                PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        }
    });
    ModalDialog dialog(IDD_DESTINATION, DestinationDialogProc);
    const INT_PTR result = dialog.ShowModal();
    EXPECT_EQ(dialogWindow, dialog.window);
    EXPECT_EQ(&dialog, currentDialog);
    return result;
}

void Command(HWND window, int id)
{
    PostMessageA(window, WM_COMMAND, id, 0);
}

// Runs a step once the dialog is shown and its modal loop runs, after the
// platform has placed the initial focus.
std::function<void(HWND)> laterStep;
void CALLBACK RunLater(HWND window, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(window, timer);
    std::function<void(HWND)> step = laterStep;
    laterStep = nullptr;
    if (step)
        step(window);
}
void Later(HWND window, std::function<void(HWND)> step)
{
    laterStep = std::move(step);
    SetTimer(window, 1, 10, RunLater);
}

// Focuses the destination field and presses key there.
std::function<void(HWND)> KeyInField(WPARAM key)
{
    return [key](HWND dialog) {
        HWND edit = GetDlgItem(dialog, IDC_DESTINATION_EDIT);
        SetFocus(edit);
        EXPECT_EQ(edit, GetFocus());
        PostMessageA(edit, WM_KEYDOWN, key, 0);
    };
}

class DestinationDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        updateSettings.SetDefaults();
        updateSettings.title.Assign("テスト製品");
        updateSettings.version.Assign("2.5");
        destination = Wide(oldDestination);
    }
    void TearDown() override
    {
        CoUninitialize();
    }
    Seen seen;
};

TEST_F(DestinationDialog, ShowsCaptionAndDestination)
{
    EXPECT_EQ(1, ShowDestinationDialog(seen, [](HWND w) { Command(w, IDOK); }));
    EXPECT_EQ("テスト製品 Version 2.5 アップデート", seen.caption);
    EXPECT_EQ(oldDestination, seen.field);
    EXPECT_EQ(oldDestination, AsStd(destination));
}

TEST_F(DestinationDialog, CaptionUsesTheDefaults)
{
    updateSettings.SetDefaults();
    ShowDestinationDialog(seen, [](HWND w) { Command(w, IDCANCEL); });
    EXPECT_EQ("アップデート Version 1.01 アップデート", seen.caption);
}

TEST_F(DestinationDialog, EndingsAndWhatTheyLeaveInDestination)
{
    struct Row {
        const char* label;
        std::string typed;  // put into the field first
        std::function<void(HWND)> end;
        INT_PTR result;
        std::string destinationAfter;
    };
    const std::string longText(1500, 'x');
    const Row rows[] = {
        {"OK with edited text", "D:\\Nowhere\\New", [](HWND w) { Command(w, IDOK); }, 1,
         "D:\\Nowhere\\New"},
        {"OK with empty field", "", [](HWND w) { Command(w, IDOK); }, 1, oldDestination},
        {"OK cuts a long text", longText, [](HWND w) { Command(w, IDOK); }, 1,
         longText.substr(0, 1087)},
        {"Cancel", "D:\\Typed", [](HWND w) { Command(w, IDCANCEL); }, 0, oldDestination},
        {"IDCLOSE", "D:\\Typed", [](HWND w) { Command(w, IDCLOSE); }, 0, oldDestination},
        {"close box", "D:\\Typed",
         [](HWND w) { PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); }, 0, oldDestination},
        {"Escape key", "D:\\Typed", [](HWND w) { Later(w, KeyInField(VK_ESCAPE)); }, 0,
         oldDestination},
        {"Enter in the field presses Cancel", "D:\\Typed",
         [](HWND w) { Later(w, KeyInField(VK_RETURN)); }, 0, oldDestination},
        {"Enter on the focused OK confirms", "D:\\Typed",
         [](HWND w) {
             Later(w, [](HWND dialog) {
                 HWND focus = GetFocus();
                 EXPECT_EQ(GetDlgItem(dialog, IDOK), focus) << "first tab stop has the focus";
                 PostMessageA(focus, WM_KEYDOWN, VK_RETURN, 0);
             });
         },
         1, "D:\\Typed"},
        {"other command ignored, then OK", "D:\\Typed",
         [](HWND w) {
             Command(w, 1234);
             Command(w, IDOK);
         },
         1, "D:\\Typed"},
    };
    for (const Row& row : rows) {
        destination = Wide(oldDestination);
        Seen rowSeen;
        const INT_PTR result = ShowDestinationDialog(rowSeen, [&row](HWND w) {
            SetDlgItemTextA(w, IDC_DESTINATION_EDIT, row.typed.c_str());
            row.end(w);
        });
        EXPECT_EQ(row.result, result) << row.label;
        EXPECT_EQ(row.destinationAfter, AsStd(destination)) << row.label;
        EXPECT_TRUE(rowSeen.browserCaption.empty()) << row.label;
    }
}

TEST_F(DestinationDialog, BrowseCancelledRestoresTheField)
{
    std::string fieldAfterBrowse;
    const INT_PTR result = ShowDestinationDialog(
        seen,
        [](HWND w) {
            SetDlgItemTextA(w, IDC_DESTINATION_EDIT, "D:\\Typed\\Away");
            Command(w, IDC_BROWSE);
        },
        [&](HWND dialogWindow, HWND browser) {
            PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
            // Handled once the browser is gone and the field set again.
            PostMessageA(dialogWindow, WM_COMMAND, IDOK, 0);
        });
    EXPECT_EQ("フォルダの指定", seen.browserCaption);
    EXPECT_EQ(1, result);
    EXPECT_EQ(oldDestination, AsStd(destination)) << "typed text dropped by the browse";
}

TEST_F(DestinationDialog, BrowseChoosesAFolder)
{
    for (const char* folder : {"C:\\windows", "C:\\"}) {
        destination = Wide(oldDestination);
        Seen rowSeen;
        const INT_PTR result = ShowDestinationDialog(
            rowSeen, [](HWND w) { Command(w, IDC_BROWSE); },
            [&](HWND dialogWindow, HWND browser) {
                SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder));
                rowSeen.browserStatus = ControlText(browser, statusLineId);
                PostMessageA(browser, WM_COMMAND, IDOK, 0);
                PostMessageA(dialogWindow, WM_COMMAND, IDOK, 0);
            });
        EXPECT_EQ(1, result) << folder;
        EXPECT_EQ(folder, rowSeen.browserStatus) << folder;
        EXPECT_EQ(0, lstrcmpiA(folder, AsStd(destination).c_str()))
            << folder << " chose " << AsStd(destination);
    }
}

TEST_F(DestinationDialog, BrowserOkOnlyForFileSystemFolders)
{
    struct Row {
        const char* label;
        int specialFolder;  // -1: the path below
        const char* path;
        bool enabled;
        const char* status;
    };
    const Row rows[] = {
        {"folder", -1, "C:\\windows", true, "C:\\windows"},
        {"drive root", -1, "C:\\", true, "C:\\"},
        {"My Computer", CSIDL_DRIVES, nullptr, false, nullptr},
        {"folder again", -1, "C:\\windows\\system32", true, "C:\\windows\\system32"},
        {"Control Panel", CSIDL_CONTROLS, nullptr, false, nullptr},
    };
    ShowDestinationDialog(
        seen, [](HWND w) { Command(w, IDC_BROWSE); },
        [&](HWND dialogWindow, HWND browser) {
            HWND okButton = GetDlgItem(browser, IDOK);
            for (const Row& row : rows) {
                PIDLIST_ABSOLUTE item = nullptr;
                if (row.specialFolder >= 0)
                    SHGetSpecialFolderLocation(nullptr, row.specialFolder, &item);
                else
                    item = ILCreateFromPathA(row.path);
                ASSERT_NE(nullptr, item) << row.label;
                // Start from the opposite state so the callback must change it.
                EnableWindow(okButton, !row.enabled);
                SetDlgItemTextA(browser, statusLineId, "");
                EXPECT_EQ(0, BrowseCallback(browser, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(item), 0));
                EXPECT_EQ(row.enabled, IsWindowEnabled(okButton) != FALSE) << row.label;
                if (row.status) {
                    EXPECT_EQ(row.status, ControlText(browser, statusLineId)) << row.label;
                }
                CoTaskMemFree(item);
            }
            PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
            PostMessageA(dialogWindow, WM_COMMAND, IDCANCEL, 0);
        });
    EXPECT_EQ("フォルダの指定", seen.browserCaption);
}

TEST(ModalDialog, MissingTemplateGivesMinusOne)
{
    ModalDialog dialog(4321, DestinationDialogProc);
    EXPECT_EQ(-1, dialog.ShowModal());
}

INT_PTR CALLBACK ThrowingProc(HWND window, UINT message, WPARAM, LPARAM)
{
    try {
        if (message == WM_INITDIALOG) {
            SetLastError(ERROR_ACCESS_DENIED);
            throw OCErrorException("failed in the dialog");
        }
    } catch (...) {
        ModalDialog::HoldFailure(window);
    }
    return FALSE;
}

TEST(ModalDialog, FailureInsideTheProcedureComesBackFromShowModal)
{
    ModalDialog dialog(IDD_DESTINATION, ThrowingProc);
    try {
        dialog.ShowModal();
        ADD_FAILURE() << "no exception";
    } catch (const OCErrorException& failure) {
        EXPECT_EQ(uint32_t(ERROR_ACCESS_DENIED), failure.code);
        EXPECT_EQ("failed in the dialog", AsStd(failure.message));
    }
    // Nothing held over for the next dialog.
    ModalDialog next(IDD_DESTINATION, DestinationDialogProc);
    DialogWatcher watcher([](HWND w) { PostMessageA(w, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(0, next.ShowModal());
}

}
