#include "updtool/commands/commands.h"

#include "pak/archive_revision.h"
#include "updtool/archives/archive_input.h"
#include "updtool/console/tool_output.h"

const char* const revisionUsage =
    "usage: updtool revision X.pak\n"
    "Prints the archive's revision as the updater reads it (0 for formats 0\n"
    "and 1), which it compares as text: revision 10 sorts before revision 9.\n"
    "Exit code 2 when X.pak cannot be read.\n";

const OptionSpecs revisionOptions = {};

int RunRevision(const CommandLine& line)
{
    if (int code = CheckArchiveArguments("revision", line.positional, false))
        return code;
    const std::wstring path = PathArgument(line.positional[0]);
    // The same checks as every reading command; the updater's own function
    // then reads the header.
    const std::string problem = OrdinaryFileProblem(path);
    if (!problem.empty())
        return Fail("revision", problem);
    String text;
    GetArchiveRevisionText(path, text);
    if (text.IsEmpty())
        return Fail("revision", SystemErrorText("cannot read " + Shown(path), GetLastError(), path));
    WriteOut(std::string(TextOf(text)) + "\n");
    return ExitOk;
}
