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
#include "updtool/console/problem.h"

// bytes: the whole settings file, as loaded. Adds an error when it is saved
// as UTF-8 (Utf8Evidence), a warning per line whose reading differs (saying
// why), per key whose final value differs from the file's first line for it
// without such a line, and for a NUL byte.
void LintSettings(const std::string& bytes, Problems& problems);

// Whether update.ini was saved as UTF-8, the usual default of editors: the
// updater reads it as code page 932, so every non-ASCII text is read as
// other characters and items with such names are never found.
//
// Taken for UTF-8: a file that begins with a UTF-8 byte-order mark, or one
// whose non-ASCII bytes are valid UTF-8 and not plausible code page 932:
// not valid code page 932 text at all, or holding a UTF-8 sequence of three
// or four bytes (every kana and kanji, most symbols), which code page 932
// text forms only by rare accident. Text whose only non-ASCII characters are
// two-byte sequences that also read as code page 932 (é reads as ﾃｩ) cannot
// be told apart and passes. "" when bytes read as code page 932; else why
// they are taken for UTF-8.
std::string Utf8Evidence(const std::string& bytes);
