#pragma once
#include <windows.h>
#include <string>

class ModalDialog {
public:
    HWND window;        // set by the dialog procedure at WM_INITDIALOG
    int templateId;
    HINSTANCE instance; // null: the program's own module
    HWND parent;
    DLGPROC dialogProc;
    bool ownsWindow;    // destruction destroys window; ShowModal clears it

    ModalDialog(int templateId, DLGPROC dialogProc);
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;
    virtual ~ModalDialog();

    // The value given to EndDialog, or -1 when the dialog cannot be created.
    INT_PTR ShowModal();
    // text := the control's text when it is not empty; else unchanged. Cut,
    // as a Japanese system's 1088-byte read cuts it, to its first 1087 bytes
    // of code page 932, never inside a character.
    void GetItemText(int controlId, std::wstring& text);

    // Nothing thrown may pass through the platform's dialog code. A dialog
    // procedure calls this inside its catch block: the dialog ends with -1
    // and the exception is kept; ShowModal raises it again after the modal
    // loop has returned.
    static void HoldFailure(HWND window);
};
