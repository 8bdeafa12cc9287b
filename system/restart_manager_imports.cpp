// The Restart Manager functions the updater asks which programs hold a
// file, bound on first use from the system folder (see late_binding.h).

#include "system/late_binding.h"

LATE_LIBRARY(lateRestartManager, "rstrtmgr.dll");

LATE_IMPORT(lateRestartManager, RmStartSession, 12);
LATE_IMPORT(lateRestartManager, RmRegisterResources, 28);
LATE_IMPORT(lateRestartManager, RmGetList, 20);
LATE_IMPORT(lateRestartManager, RmEndSession, 4);
