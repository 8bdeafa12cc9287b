#pragma once
// The updater's record of its run (system/run_log.h): where it goes and what
// it first says.

#include "app/run_arguments.h"

// Starts the record when the arguments ask for one (RunArguments::Records):
// at arguments.logPath when /log=PATH was given, else at the first free
// name in the user's temporary folder. Then notes the program, the system,
// the update folder and the arguments. False (GetLastError) only when the
// record asked for with /log=PATH cannot be created; one in the temporary
// folder that cannot be made is simply not kept.
bool StartRunRecord(const RunArguments& arguments);

// The full form of the path given with /log=, as the error box names it.
std::wstring RequestedLogPath(const RunArguments& arguments);
