#pragma once
// One run of the updater, from the default settings to the completion
// message. Works on the process-wide updateSettings and destination.

#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "base/string.h"

class SignedUpdate;

// How long an update runs, from OK, before its progress window shows.
const DWORD progressDelayMs = 1000;

// The whole run. Returns 0 on every path: already running, cancelled,
// finished, or ended by the error box. delayMs: see UpdateFiles.
int RunUpdate(DWORD delayMs = progressDelayMs);

// Runs steps; any failure that escapes them ends in the one error box
// "エラーが発生しました。\nCode 0x%x :%s" (caption "エラー", OK only):
// OCErrorException with its code and message; a plain OCException, the bare
// STATUS_NO_MEMORY code, std::bad_alloc and anything else with a code and a
// fixed message. Nothing escapes.
void RunAndReport(const std::function<void()>& steps);

// The update itself, item by item in list order: each item's step is taken
// (TakeItemStep: skipped when missing or kept by its version, an archive
// checked before its copy) and, when it passes, the item is copied to
// destinationDir + "\" + item. allOrNothing: the copies take their places
// only once all are made, or none does (ReplacementRun). Once the update has run
// delayMs and is still copying, the progress window shows (titled caption);
// it is gone when this returns or raises. Raises OCErrorException when a
// step or a copy fails; items copied before stay copied. check: when given,
// every source is checked against its manifest first (the window covering
// that too), and nothing is written when one fails.
void UpdateFiles(const std::vector<String>& files, const std::wstring& destinationDir,
                 const char* caption, DWORD delayMs, bool allOrNothing = false,
                 SignedUpdate* check = nullptr);

// The bytes UpdateFiles will copy, as far as the steps can be taken ahead:
// the progress bar's total. A step that fails ends the count; the
// failure itself is raised at that item's turn.
uint64_t PlannedBytes(const std::vector<String>& files, const std::wstring& destinationDir);

// Raises OCErrorException "ファイル %s の指定が正しくありません。" (code
// ERROR_INVALID_NAME) for the first item JudgeItem refuses: one that could
// name a file outside the update folder or the install folder.
void RefuseItemsOutsideTheirFolders(const std::vector<String>& files);
