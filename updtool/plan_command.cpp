#include "updtool/commands.h"

#include "updtool/command_line.h"

const char* const planUsage = "usage: updtool plan ...\n";

int RunPlan(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("plan", args, {}))
        return ExitTrouble;
    return Fail("plan", "not built yet");
}
