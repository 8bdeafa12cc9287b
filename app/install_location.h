#pragma once
#include <string>
#include "settings/update_settings.h"

// destination := the installed product's folder from the registry. When the
// product's entry yields nothing, the notice (caption "エラー", OK) is shown
// before the program-files folder is proposed instead.
void FindInstallDirectory(const UpdateSettings& settings, std::wstring& destination);
