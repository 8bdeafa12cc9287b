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

// bytes: the whole settings file, as loaded. Adds a warning per line whose
// reading differs (saying why), per key whose final value differs from the
// file's first line for it without such a line, and for a NUL byte.
void LintSettings(const std::string& bytes, Problems& problems);
