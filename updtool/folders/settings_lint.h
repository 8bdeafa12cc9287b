#pragma once
// The traps of update.ini's own syntax: lines that a reader of the file takes
// for one of the updater's settings but that the updater's reader reads
// otherwise, or not at all ("Name = x" names the key "Name "). The reader of
// the file is modelled as an ordinary INI reader: "[update]" with spaces
// trimmed, ";", "#" and "'" comments, "key = value" or "key<TAB>value" with
// spaces trimmed, backslashes kept, the first line of a key counting. What
// the updater reads, and what it passes over, comes from its own reader's
// record (RecordSettings).

#include <string>
#include "updtool/console/command_report.h"

// bytes: the whole settings file, as loaded. Adds an error when it is saved
// as UTF-8 (Utf8Evidence), a warning per line whose reading differs (saying
// why), per key whose final value differs from the file's first line for it
// without such a line, and for a NUL byte.
void LintSettings(const std::string& bytes, Problems& problems);

// Why bytes are taken for UTF-8 (the usual default of editors, which the
// updater reads as code page 932); "" when they read as code page 932. Taken
// for UTF-8: a UTF-8 byte-order mark, or non-ASCII bytes that are valid UTF-8
// and either no valid code page 932 or hold a sequence of three or four bytes
// (every kana and kanji), which code page 932 text forms only by rare
// accident. Two-byte sequences that also read as code page 932 (é reads as
// ﾃｩ) cannot be told apart and pass.
std::string Utf8Evidence(const std::string& bytes);
