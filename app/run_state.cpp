#include "app/run_state.h"

UpdateSettings updateSettings;
std::wstring destination;
