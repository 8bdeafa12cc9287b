#include "updtool/commands.h"

#include "updtool/command_line.h"

const char* const verifyUsage = "usage: updtool verify ...\n";

int RunVerify(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("verify", args, {}))
        return ExitTrouble;
    return Fail("verify", "not built yet");
}
