#include "updtool/commands/commands.h"

#include <windows.h>
#include "updtool/archives/archive_input.h"
#include "updtool/commands/manifest_report.h"
#include "updtool/console/command_line.h"
#include "updtool/console/report_text.h"
#include "updtool/console/text_conversion.h"
#include "updtool/console/tool_output.h"

const char* const verifyUsage =
    "usage: updtool verify X.pak [--json]\n"
    "       updtool verify DIR [--keys KEYS] [--json]\n"
    "Checks the archive with the updater's own reader: header, index, and per\n"
    "entry its bounds, its name (one extract writes, not repeated, case\n"
    "ignored) and its data inflating to exactly its size, overlapping nothing.\n"
    "The first 100 problems are told, the rest counted.\n"
    "  --json   one JSON document: ok, format, count, checked, unpackedSize,\n"
    "           problemCount, problems[] of entry (\"\": the archive) and message\n"
    "Exit code 0 when the archive is sound, 1 when problems were found.\n"
    "Given an update folder: its update.manifest and the updater's signed checks\n"
    "(signature, product, version, sequence, expiry, every item's size and\n"
    "digest), its first refusal told; exit code 1 when it refuses.\n"
    KEYS_OPTION_USAGE;

namespace {

std::string Plural(uint64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The report as text or as the JSON document, problem by problem from the
// same fields.
std::string Render(const ArchiveReport& report, bool json)
{
    const bool ok = report.problemCount == 0;
    JsonWriter writer;
    std::string text;
    writer.BeginObject();
    writer.Flag("ok", ok);
    writer.Field("format", report.version);
    writer.Field("count", report.count);
    writer.Field("checked", report.checked);
    writer.Field("unpackedSize", int64_t(report.unpackedSize));
    writer.Field("problemCount", int64_t(report.problemCount));
    writer.Key("problems");
    writer.BeginArray();
    for (const ArchiveProblem& problem : report.problems) {
        const std::string message = ProblemMessage(problem);
        writer.BeginObject();
        writer.Field("entry", problem.forEntry ? Utf8From932(problem.entry) : std::string());
        writer.Field("message", message);
        writer.EndObject();
        text += (problem.forEntry ? Quoted(problem.entry) : "archive") + ": " + message + "\n";
    }
    writer.EndArray();
    writer.EndObject();
    if (json)
        return writer.Document();
    if (report.problemCount > report.problems.size())
        text += "... and " + Plural(report.problemCount - report.problems.size(), "more problem",
                                    "more problems") + "\n";
    const std::string summary = "format " + std::to_string(report.version) + ", " +
                                std::to_string(report.checked) + " of " +
                                Plural(report.count, "entry", "entries") + " checked, " +
                                Plural(report.unpackedSize, "byte", "bytes") + " unpacked";
    if (ok)
        return text + "ok: " + summary + "\n";
    return text + Plural(report.problemCount, "problem", "problems") + " (" + summary + ")\n";
}

}  // namespace

int RunVerify(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("verify", args, {{"--json", false}, {"--keys", true}}))
        return ExitTrouble;
    const DWORD kind = line.positional.size() == 1
                           ? GetFileAttributesW(PathArgument(line.positional[0]).c_str())
                           : INVALID_FILE_ATTRIBUTES;
    if (kind != INVALID_FILE_ATTRIBUTES && (kind & FILE_ATTRIBUTE_DIRECTORY))
        return VerifyFolder(line);
    if (line.Has("--keys"))
        return UsageError("verify", "--keys goes with an update folder");
    if (int code = CheckArchiveArguments("verify", line.positional, false))
        return code;
    ArchiveReport report;
    if (int code = CheckArchiveArgument("verify", PathArgument(line.positional[0]), report))
        return code;
    WriteOut(Render(report, line.Has("--json")));
    return report.problemCount == 0 ? ExitOk : ExitProblems;
}
