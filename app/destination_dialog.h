#pragma once
// Dialog 102: the user confirms or edits the destination folder.

#include <windows.h>
#include "app/modal_dialog.h"

// The dialog being shown; set at WM_INITDIALOG.
extern ModalDialog* currentDialog;

INT_PTR CALLBACK DestinationDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
