#pragma once
// One run of the updater, from the default settings to the completion
// message, following the run's walk (update/run_walk.h). Works on the
// process-wide updateSettings and destination, which the dialog reads.

#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "base/string.h"

class RunWalk;

// How long an update runs, from OK, before its progress window shows.
const DWORD kProgressDelayMs = 1000;

// The whole run, as the command line asks (app/run_arguments.h). Returns 0
// on every path (already running, cancelled, finished, or ended by the
// error box), but with /silent one of the kExit codes (update/run_walk.h). delayMs: see
// UpdateFiles.
int RunUpdate(DWORD delayMs = kProgressDelayMs);

// Runs steps; any failure that escapes them ends in the one error box
// "エラーが発生しました。\nCode 0x%x :%s" (caption "エラー", OK only):
// OCErrorException with its code and message; a plain OCException, the bare
// STATUS_NO_MEMORY code, std::bad_alloc and anything else with a code and a
// fixed message. Nothing escapes.
void RunAndReport(const std::function<void()>& steps);

// The items stage, after the dialog (walk.AfterDialog taken): a signed
// update's sources checked, then each record in turn: its line in the
// record, its kept failure raised, an archive checked to the full depth,
// and when it applies, its copy to the install folder. allOrNothing: the
// copies take their places only once all are made, or none does
// (ReplacementRun). Once the update has run delayMs and is still copying,
// the progress window shows (titled caption); it is gone when this returns
// or raises. Before the first write, targets a running program holds and
// volumes short of room are boxes (Retry, Cancel); false when one was
// cancelled, nothing written. Raises OCErrorException when a check or a
// copy fails; items copied before stay copied.
bool UpdateFiles(RunWalk& walk, const char* caption, DWORD delayMs);
