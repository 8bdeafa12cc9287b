#pragma once
// Putting an install folder back in order after an update that did not
// finish: killed, or the machine lost its power, or (for the run itself) a
// failure. Only the files a journal names as its run's are ever removed or
// renamed, each through the folders guard holds (paths/folder_guard.h),
// opened for guard's install folder without making any.

#include <string>
#include "journal/update_journal.h"
#include "paths/folder_guard.h"

// An all-or-nothing run that did not complete: every target the run
// replaced gets its old bytes back (a target that did not exist before is
// removed), and the run's new copies and kept old files are removed. False
// when a target could not get its old bytes back now, or a file of the
// run's could not be removed (another program holds it): what is left stays,
// and so must the journal.
// altered (when given): the first kept old file found not to hold the bytes
// the run kept; it is never put back, and the target stays as it is.
bool PutBack(FolderGuard& guard, const JournalContents& contents, std::wstring* altered = nullptr);

// A run that replaced everything: the old files it kept are removed, and
// what RemoveRunCopies removes. False as RemoveRunCopies.
bool DropBackups(FolderGuard& guard, const JournalContents& contents);

// The run's new copies (upd<run>-XXXX.tmp) left in its folders are removed,
// and its own folders (upd<run>.d) with what they hold of the run's. False
// when something of the run's is still there (another program holds it):
// the journal must then stay for the next run.
bool RemoveRunCopies(FolderGuard& guard, const JournalContents& contents);

// True when the contents say every target took its new bytes: marked
// complete, or the replacements had begun, were not being undone, and no
// new copy is left under its own name.
bool ReplacedAll(FolderGuard& guard, const JournalContents& contents);

// Finishes what the interrupted run whose journal the registry vouches for
// in installFolder left (update_journal.h): an all-or-nothing run is put
// back, unless it had replaced every target (then the new state is kept);
// the run's new copies and kept old files are removed, then its journal and
// its voucher (kept when a target could not be put back yet, for the next
// run). Any other journal there is never read nor removed. Shows nothing;
// raises OCErrorException "ファイル %s が壊れているか、書き換えられています。"
// (ERROR_FILE_CORRUPT) naming a kept old file that is not what the run
// kept, after everything else was done.
void RecoverInterruptedUpdates(const std::wstring& installFolder);
