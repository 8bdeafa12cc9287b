#include "updtool/commands.h"

#include "updtool/command_line.h"

const char* const revisionUsage = "usage: updtool revision ...\n";

int RunRevision(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("revision", args, {}))
        return ExitTrouble;
    return Fail("revision", "not built yet");
}
