#include "updtool/commands.h"

#include "updtool/archive_check.h"
#include "updtool/archive_input.h"
#include "updtool/command_line.h"
#include "updtool/tool_output.h"

const char* const verifyUsage =
    "usage: updtool verify X.pak [--json]\n"
    "Checks every bound and every entry of the archive with the updater's own\n"
    "index reader: the header, the packed index (within the file, inflating\n"
    "to exactly its stated size and taking exactly its stated packed size),\n"
    "records that fill the index exactly, and per entry: its data within the\n"
    "file and below 2 GiB, a compressed entry inflating to exactly its size,\n"
    "no data overlapping another entry's or the index, no NUL in its name.\n"
    "Each problem is reported with the entry's name.\n"
    "  --json   one JSON document: ok, problems[] of entry (\"\" for the\n"
    "           archive as a whole) and message\n"
    "Exit code 0 when the archive is sound, 1 when problems were found.\n";

int RunVerify(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("verify", args, {{"--json", false}}))
        return ExitTrouble;
    if (int code = CheckArchiveArguments("verify", line.positional, false))
        return code;
    const std::string path = PathArgument(line.positional[0]);
    ArchiveFile archive;
    if (int code = OpenArchiveArgument("verify", path, archive))
        return code;

    ArchiveReport report;
    CheckArchive(archive, report);
    const bool ok = report.problems.empty();
    if (line.Has("--json")) {
        JsonWriter writer;
        writer.BeginObject();
        writer.Key("ok");
        writer.Bool(ok);
        writer.Key("problems");
        writer.BeginArray();
        for (const ArchiveProblem& problem : report.problems) {
            writer.BeginObject();
            writer.Key("entry");
            writer.Text(problem.entry);
            writer.Key("message");
            writer.Text(problem.message);
            writer.EndObject();
        }
        writer.EndArray();
        writer.EndObject();
        WriteOut(writer.Document());
    } else {
        std::string text;
        for (const ArchiveProblem& problem : report.problems)
            text += (problem.entry.empty() ? "archive" : "'" + problem.entry + "'") + ": " +
                    problem.message + "\n";
        const std::string entries = std::to_string(report.checked) + " of " +
                                    std::to_string(report.count) + " entries checked";
        if (ok)
            text += "ok: format " + std::to_string(report.version) + ", " + entries + "\n";
        else
            text += std::to_string(report.problems.size()) +
                    (report.problems.size() == 1 ? " problem" : " problems") + " (format " +
                    std::to_string(report.version) + ", " + entries + ")\n";
        WriteOut(text);
    }
    return ok ? ExitOk : ExitProblems;
}
