#pragma once
// Where the product is installed, as its installer recorded it.

#include <string>
#include "base/string.h"
#include "settings/update_settings.h"

// destination := the folder of the program recorded under HKLM, key
// SOFTWARE\<brand>\<name>, value "execute" (UTF-16, as the system holds it).
// When that yields nothing, notice := the text the user is told
// ("<title> のインストール先が見つかりませんでした。...") and destination := the
// program-files folder (possibly empty); otherwise notice is left empty.
// Shows nothing and raises nothing of its own.
void LocateInstallDirectory(const UpdateSettings& settings, std::wstring& destination,
                            String& notice);
