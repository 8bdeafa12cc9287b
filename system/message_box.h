#pragma once
// Every message box of the programs: topmost, no owner, its texts in UTF-16
// so that the product's Japanese shows on every system.

#include <windows.h>
#include <string>

// Process-wide, set by the run (as quietOpen is): while set, no box is
// shown. Each is recorded with its text and answered as its safe choice
// (OK, Abort, Cancel, No), as an unattended run must answer it.
extern bool boxesUnattended;

// caption: code page 932; null gives "エラー", the caption a Japanese system
// shows on a box without one (another system would show its own language's
// word). Returns the button pressed.
int ShowMessageBox(const std::wstring& text, const char* caption, UINT style);

// A box's answer as the record names it ("OK", "Abort", ...).
std::string AnswerName(int answer);
