#pragma once
// One run of the updater, from the default settings to the completion
// message. Works on the process-wide updateSettings and destination.

#include <functional>
#include <vector>
#include "base/string.h"

// The whole run. Returns 0 on every path: already running, cancelled,
// finished, or ended by the error box.
int RunUpdate();

// Runs steps; any failure that escapes them ends in the one error box
// "エラーが発生しました。\nCode 0x%x :%s" (platform caption, OK only):
// OCErrorException with its code and message; a plain OCException, the bare
// STATUS_NO_MEMORY code, std::bad_alloc and anything else with a code and a
// fixed message. Nothing escapes.
void RunAndReport(const std::function<void()>& steps);

// One listed item: skipped when no plain file or folder of that name exists;
// else copied to destinationDir + "\" + item when DecideUpdate allows.
// Raises OCErrorException when the copy fails.
void UpdateItem(const String& item, const String& destinationDir);
