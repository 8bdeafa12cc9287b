#pragma once
// Whether a journal found in an install folder may be acted on. The folder
// may be writable by any user, and recovery runs elevated: a journal is
// acted on only when every name in it is one its own run could have made
// there. Anything else is somebody else's file and is left alone.

#include <string>
#include "journal/update_journal.h"

// True when every folder and target passes the item rule (relative, no
// "..", root, drive, ':' or device name; code page 932 names, as items are),
// every target lies in one of the journal's folders, and every new copy
// and kept old file is upd<run>-<hex>.tmp or .bak in its own target's
// folder, or in the run's upd<run>.d\<hex> there, as the run names them.
bool JournalIsConfined(const JournalContents& contents);

// <prefix><four or more hex digits><extension>: a file of the run's.
bool IsRunFileName(const std::wstring& name, const std::wstring& prefix, const wchar_t* extension);
