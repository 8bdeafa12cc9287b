#pragma once
// The updater's values for one run, alive for the whole process; the
// destination dialog reads and writes them.

#include "base/string.h"
#include "update/update_settings.h"

extern UpdateSettings updateSettings;
// The destination (install) folder: proposed from the registry, confirmed in
// the dialog.
extern String destination;
