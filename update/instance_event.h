#pragma once
// The updater's instance event, named by the Name setting: its existence
// tells a second start that an update runs already. Both programs create it
// here, the same way (default security, manual reset, signalled): the
// updater holds it for its run, the publisher's tool only to learn whether
// the updater's creation would succeed.

#include <windows.h>
#include "base/owned.h"
#include "base/string.h"

// Creates the event named name (code page 932) into event. 0 when this call
// made it; ERROR_ALREADY_EXISTS when an object of that name existed (a start
// now ends at once); else the platform's error that failed the creation.
DWORD CreateInstanceEvent(const String& name, Handle& event);
