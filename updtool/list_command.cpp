#include "updtool/commands.h"

#include "updtool/command_line.h"

const char* const listUsage = "usage: updtool list ...\n";

int RunList(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("list", args, {}))
        return ExitTrouble;
    return Fail("list", "not built yet");
}
