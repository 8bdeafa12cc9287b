// The user32 functions the programs call, bound on first use (see
// late_binding.h).

#include "base/late_binding.h"

LATE_LIBRARY(lateUser32, "user32.dll");

#define USER32(name, bytes) LATE_IMPORT(lateUser32, name, bytes);

USER32(CallNextHookEx, 16)
USER32(CharLowerBuffA, 8)
USER32(CharNextA, 4)
USER32(CharPrevA, 8)
USER32(CharUpperBuffW, 8)
USER32(CreateDialogParamA, 20)
USER32(DestroyWindow, 4)
USER32(DialogBoxParamA, 20)
USER32(DispatchMessageA, 4)
USER32(EndDialog, 8)
USER32(GetDlgCtrlID, 4)
USER32(GetDlgItemTextA, 16)
USER32(GetFocus, 0)
USER32(IsCharUpperA, 4)
USER32(IsChild, 8)
USER32(IsDialogMessageA, 8)
USER32(MessageBoxA, 16)
USER32(PeekMessageA, 20)
USER32(PostQuitMessage, 4)
USER32(SendDlgItemMessageA, 20)
USER32(SendMessageA, 16)
USER32(SetDlgItemTextA, 12)
USER32(SetWindowLongA, 12)
USER32(SetWindowTextA, 8)
USER32(SetWindowsHookExA, 16)
USER32(ShowWindow, 8)
USER32(TranslateMessage, 4)
USER32(UnhookWindowsHookEx, 4)
USER32(UpdateWindow, 4)
