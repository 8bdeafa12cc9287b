#pragma once
// The run's record for support and administrators: one new file per run,
// one UTF-8 line per event (after a byte-order mark, lines ending in CR LF
// for the Notepad of Windows 7), each stamped with the local time to the
// millisecond and the UTC offset, and written to the file as it happens, so
// that a killed run leaves every line up to its end. At most kRunLogLimit
// bytes; a last line then says that the rest was left out.
//
// The record is the process's one; logging while none is open does nothing,
// so every layer may log and a run without a record goes on as before.

#include <windows.h>
#include <cstdint>
#include <string>

const uint32_t kRunLogLimit = 16u << 20;
// The longest value a line shows; the rest is counted.
const size_t kLoggedValueLimit = 1024;

// Starts the record in a new file at path: created only where nothing of
// that name exists (a file, a link, a folder), never opened, appended to or
// followed. False (GetLastError) when it cannot be created.
bool StartRunLog(const std::wstring& path);

// The same at the first free "updater YYYY-MM-DD #NNN.log" in folder, the
// date the local one of now, NNN counting from 001. False when none of the
// names could be made.
bool StartRunLogIn(const std::wstring& folder);

// The running user's temporary folder, where a run keeps its record unless
// told otherwise; empty when the system gives none.
std::wstring RunLogFolder();

// Where StartRunLogIn would start the record in folder now: the first name
// nothing (not even a dangling link) has taken yet. Changes nothing.
std::wstring NextRunLogPath(const std::wstring& folder);

// "updater 2026-12-07 #001.log"
std::wstring RunLogName(const SYSTEMTIME& localDate, unsigned number);

// The record's file; empty when there is none.
const std::wstring& RunLogPath();

// Closes the record; logging then does nothing until the next start.
void EndRunLog();

// One line of UTF-8 text. Whatever could end or fake a line is shown by its
// value: \n, \r, \t, \xNN for other controls and bytes that are no UTF-8,
// \uNNNN for the C1 controls, U+2028, U+2029, the direction marks and the
// byte-order mark.
void LogEvent(const std::string& text);

// Texts for lines, in UTF-8: a path or system text; a product text (code page
// 932) as converted for the screen; a system error as its number, hex form
// and the system's message for it. A path or product text longer than
// kLoggedValueLimit bytes is cut there: "... 16,777,216 bytes".
std::string LogText(const std::wstring& text);
std::string LogText932(const char* text);
std::string LogError(DWORD code);

// "<operation> failed on <path>: error ..." for a failing system call.
void LogFailure(const char* operation, const std::wstring& path, DWORD code);
