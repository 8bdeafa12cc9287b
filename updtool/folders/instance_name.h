#pragma once
// Whether the Name setting can name the updater's instance event, found out
// the way the updater does: by creating the event (default security, manual
// reset, signalled) and closing it again at once.

#include <windows.h>

// name: code page 932. 0 when the updater's creation would succeed;
// ERROR_ALREADY_EXISTS when an object of that name exists now (a start now
// ends at once); else the platform's error that fails the creation.
DWORD ProbeInstanceName(const char* name);
