#include "updtool/commands.h"

#include "updtool/command_line.h"

const char* const extractUsage = "usage: updtool extract ...\n";

int RunExtract(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("extract", args, {}))
        return ExitTrouble;
    return Fail("extract", "not built yet");
}
