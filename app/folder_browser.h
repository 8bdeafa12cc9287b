#pragma once
// The shell's folder browser, for the destination dialog.

#include <windows.h>
#include "paths/wide_paths.h"

// Shows the browser (owner, prompt above the tree, code page 932) and
// replaces folder.path with the chosen folder; unchanged on cancel, when the
// shell's allocator is missing, or when the folder has no file-system path.
void BrowseForFolder(FilePath& folder, HWND owner, const char* prompt);

// Lets OK be pressed only on items with a file-system path, and titles the
// browser "フォルダの指定".
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM lParam, LPARAM data);
