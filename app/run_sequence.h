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

// Whether the update file source (a name relative to the current directory,
// as listed) may replace target: "exe" and "dll" by their FileVersion texts,
// "pak" by the archive revision, compared as text without regard to case;
// any other extension or none always passes. A missing or version-less
// target always passes; a version-less source never replaces a versioned one.
bool ShouldApplyItem(const char* source, const char* target);

// One listed item: skipped when no plain file or folder of that name exists;
// else copied to destinationDir + "\" + item when ShouldApplyItem allows.
// Raises OCErrorException when the copy fails.
void UpdateItem(const String& item, const String& destinationDir);

// The items of a ";"-separated list, in order, empty items left out, nothing
// trimmed.
void SplitFileList(String& list, std::vector<String>& files);
