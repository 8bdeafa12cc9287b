#include "updtool/commands.h"

#include "updtool/command_line.h"

const char* const checkUsage = "usage: updtool check ...\n";

int RunCheck(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("check", args, {}))
        return ExitTrouble;
    return Fail("check", "not built yet");
}
