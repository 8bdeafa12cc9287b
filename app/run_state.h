#pragma once
// The updater's values for one run, alive for the whole process; the
// destination dialog reads and writes them.

#include <string>
#include "base/string.h"
#include "settings/update_settings.h"

extern UpdateSettings updateSettings;
// The destination (install) folder: proposed from the registry, confirmed in
// the dialog. UTF-16 as the system gives it: no code page holds every path.
extern std::wstring destination;

// The caption of the updater's windows, from updateSettings:
// "<Title> Version <Version> アップデート" (code page 932).
void FormatCaption(String& caption);
