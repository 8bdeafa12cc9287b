#include "updtool/commands.h"

#include "updtool/command_line.h"

const char* const packUsage = "usage: updtool pack ...\n";

int RunPack(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("pack", args, {}))
        return ExitTrouble;
    return Fail("pack", "not built yet");
}
