#pragma once
// Every message box of the programs: topmost, no owner, its texts in UTF-16
// so that the product's Japanese shows on every system.

#include <windows.h>
#include <string>

// caption: code page 932; null shows the system's default caption. Returns
// the button pressed.
int ShowMessageBox(const std::wstring& text, const char* caption, UINT style);
