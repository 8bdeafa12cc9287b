#pragma once
// Every message box of the programs: topmost, no owner, its texts in UTF-16
// so that the product's Japanese shows on every system.

#include <windows.h>
#include <string>

// caption: code page 932; null gives "エラー", the caption a Japanese system
// shows on a box without one (another system would show its own language's
// word). Returns the button pressed.
int ShowMessageBox(const std::wstring& text, const char* caption, UINT style);

// A box's answer as the record names it ("OK", "Abort", ...).
std::string AnswerName(int answer);
