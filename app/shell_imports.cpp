// The shell, COM and common-control functions the updater calls, bound on
// first use (see base/late_binding.h).

#include "base/late_binding.h"

extern "C" const char lateShell32[] = "shell32.dll";
extern "C" const char lateOle32[] = "ole32.dll";
extern "C" const char lateComctl32[] = "comctl32.dll";

LATE_IMPORT("_lateShell32", SHBrowseForFolderA, 4);
LATE_IMPORT("_lateShell32", SHGetMalloc, 4);
LATE_IMPORT("_lateShell32", SHGetPathFromIDListA, 8);
LATE_IMPORT("_lateOle32", CoInitializeEx, 8);
LATE_IMPORT("_lateOle32", CoTaskMemFree, 4);
LATE_IMPORT("_lateOle32", CoUninitialize, 0);
LATE_IMPORT("_lateComctl32", InitCommonControlsEx, 4);
