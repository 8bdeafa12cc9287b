// The shell, COM and common-control functions the updater calls, bound on
// first use (see system/late_binding.h).

#include "system/late_binding.h"

LATE_LIBRARY(lateShell32, "shell32.dll");
LATE_LIBRARY(lateOle32, "ole32.dll");
LATE_LIBRARY(lateComctl32, "comctl32.dll");

LATE_IMPORT(lateShell32, SHBrowseForFolderW, 4);
LATE_IMPORT(lateShell32, SHGetMalloc, 4);
LATE_IMPORT(lateShell32, SHGetPathFromIDListW, 8);
LATE_IMPORT(lateOle32, CoInitializeEx, 8);
LATE_IMPORT(lateOle32, CoTaskMemFree, 4);
LATE_IMPORT(lateOle32, CoUninitialize, 0);
LATE_IMPORT(lateComctl32, InitCommonControlsEx, 4);
