#include "updtool/commands/commands.h"

#include "base/exceptions.h"
#include "pak/archive_revision.h"
#include "updtool/archives/archive_input.h"
#include "updtool/console/command_line.h"
#include "updtool/console/text_conversion.h"
#include "updtool/console/tool_error.h"
#include "updtool/console/tool_output.h"

const char* const revisionUsage =
    "usage: updtool revision X.pak\n"
    "Prints the archive's revision exactly as the updater reads it: the\n"
    "signed decimal text of its revision field for format 2, 0 for formats 0\n"
    "and 1 and unknown ones. The updater compares these texts as text, case\n"
    "ignored: revision 10 sorts before revision 9.\n"
    "Exit code 2 when X.pak cannot be read.\n";

int RunRevision(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("revision", args, {}))
        return ExitTrouble;
    if (int code = CheckArchiveArguments("revision", line.positional, false))
        return code;
    const std::wstring path = PathArgument(line.positional[0]);
    // The same checks as every reading command; the updater's own function
    // then reads the header again.
    {
        ArchiveFile archive;
        if (int code = OpenArchiveArgument("revision", path, archive))
            return code;
    }
    String text;
    try {
        GetArchiveRevisionText(path, text);
    } catch (const OCErrorException&) {
        // Only an archive search raises here, and an existing file is
        // never searched for; kept as a plain failure all the same.
        text.Clear();
    }
    if (text.IsEmpty())
        return Fail("revision", SystemErrorText("cannot read " + Shown(path), GetLastError(), path));
    WriteOut(std::string(TextOf(text)) + "\n");
    return ExitOk;
}
