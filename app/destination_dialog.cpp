#include "app/destination_dialog.h"

#include "app/resource_ids.h"
#include "app/run_state.h"
#include "app/folder_browser.h"
#include "system/run_log.h"
#include "base/text_932.h"
#include "paths/wide_paths.h"

ModalDialog* currentDialog = nullptr;

namespace {
void OnInitDialog(HWND window, LPARAM parameter)
{
    currentDialog = reinterpret_cast<ModalDialog*>(parameter);
    if (currentDialog)
        currentDialog->window = window;

    String caption;
    FormatCaption(caption);
    SetWindowTextW(window, WideFrom932(caption).c_str());
    SetDlgItemTextW(window, IDC_DESTINATION_EDIT, destination.c_str());
    LogEvent("dialog shows the install folder \"" + LogText(destination) + "\"");
}

void OnCommand(HWND window, int id)
{
    HWND dialogWindow = currentDialog && currentDialog->window ? currentDialog->window : window;
    switch (id) {
    case IDOK:
        if (currentDialog)
            currentDialog->GetItemText(IDC_DESTINATION_EDIT, destination);
        LogEvent("dialog answered OK with the install folder \"" + LogText(destination) + "\"");
        EndDialog(dialogWindow, 1);
        break;
    case IDCANCEL:
    case IDCLOSE:
        LogEvent("dialog answered Cancel");
        EndDialog(dialogWindow, 0);
        break;
    case IDC_BROWSE: {
        // The browser starts from the confirmed destination, and whatever it
        // does not replace goes back into the field: typed text is dropped.
        FilePath folder;
        folder.SetPath(destination);
        BrowseForFolder(folder, dialogWindow, "インストール先を指定してください。");
        SetDlgItemTextW(dialogWindow, IDC_DESTINATION_EDIT, folder.path.c_str());
        break;
    }
    default:
        break;
    }
}

// The id of the dialog's push button that has the focus, 0 when the focus
// is elsewhere.
int FocusedPushButton(HWND window)
{
    HWND focus = GetFocus();
    if (!focus || !IsChild(window, focus))
        return 0;
    if (!(SendMessageW(focus, WM_GETDLGCODE, 0, 0) & (DLGC_UNDEFPUSHBUTTON | DLGC_DEFPUSHBUTTON)))
        return 0;
    return GetDlgCtrlID(focus);
}
}

INT_PTR CALLBACK DestinationDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(window, lParam);
            // The platform then focuses the first tab stop, the OK button.
            return TRUE;
        case WM_COMMAND:
            OnCommand(window, LOWORD(wParam));
            break;
        case DM_GETDEFID: {
            // Enter goes to a push button that has the focus (OK at start),
            // elsewhere to the template's default, Cancel. Some dialog
            // managers do not hand the default to a button focused at
            // initialisation; the answer here does not touch any style.
            const int focused = FocusedPushButton(window);
            if (focused == 0)
                break;
            SetWindowLongPtrW(window, DWLP_MSGRESULT, MAKELONG(focused, DC_HASDEFID));
            return TRUE;
        }
        default:
            break;
        }
    } catch (...) {
        ModalDialog::HoldFailure(window);
    }
    return FALSE;
}
