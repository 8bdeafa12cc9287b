#pragma once
#include "app/update_settings.h"

// destination := the folder of the program recorded under HKLM, key
// SOFTWARE\<brand>\<name>, value "execute". When that yields nothing: a notice naming the
// title, then the program-files folder (possibly empty).
void FindInstallDirectory(const UpdateSettings& settings, String& destination);
