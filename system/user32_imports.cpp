// The user32 functions the programs call, bound on first use (see
// late_binding.h).

#include "system/late_binding.h"

LATE_LIBRARY(lateUser32, "user32.dll");

#define USER32(name, bytes) LATE_IMPORT(lateUser32, name, bytes);

USER32(CallNextHookEx, 16)
USER32(CreateDialogParamW, 20)
USER32(DestroyWindow, 4)
USER32(DialogBoxParamW, 20)
USER32(DispatchMessageW, 4)
USER32(EndDialog, 8)
USER32(GetDlgCtrlID, 4)
USER32(GetDlgItem, 8)
USER32(GetDlgItemTextW, 16)
USER32(GetFocus, 0)
USER32(GetWindowTextLengthW, 4)
USER32(IsChild, 8)
USER32(IsDialogMessageW, 8)
USER32(MessageBoxW, 16)
USER32(PeekMessageW, 20)
USER32(PostQuitMessage, 4)
USER32(SendDlgItemMessageW, 20)
USER32(SendMessageW, 16)
USER32(SetDlgItemTextW, 12)
USER32(SetWindowLongW, 12)
USER32(SetWindowTextW, 8)
USER32(SetWindowsHookExA, 16)
USER32(ShowWindow, 8)
USER32(TranslateMessage, 4)
USER32(UnhookWindowsHookEx, 4)
USER32(UpdateWindow, 4)
