#include "updtool/commands/commands.h"

#include "updtool/archives/archive_input.h"
#include "updtool/signing/manifest_report.h"
#include "updtool/console/command_report.h"
#include "base/shown_text.h"
#include "updtool/folders/working_folder.h"

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
    "digest), its first refusal told; exit code 1 when it refuses. --json: one\n"
    "document, signed (manifest, product, version, sequence, expires, items,\n"
    "keys, signature, refused, message, code).\n"
    KEYS_OPTION_USAGE;

namespace {

void Render(const ArchiveReport& archive, Report& report)
{
    const bool ok = archive.problemCount == 0;
    report.Field("ok", ReportValue::Flag(ok), "");
    report.Field("format", ReportValue::Number(archive.version), "");
    report.Field("count", ReportValue::Number(archive.count), "");
    report.Field("checked", ReportValue::Number(archive.checked), "");
    report.Field("unpackedSize", ReportValue::Number(int64_t(archive.unpackedSize)), "");
    report.Field("problemCount", ReportValue::Number(int64_t(archive.problemCount)), "");
    report.Begin("problems", true, "", LayoutFlat);
    for (const ArchiveProblem& problem : archive.problems) {
        const std::string message = ProblemMessage(problem);
        report.Row({ReportCell("entry",
                               ReportValue::Text(problem.forEntry ? Utf8From932(problem.entry) : ""),
                               (problem.forEntry ? Quoted(problem.entry) : "archive") + ":"),
                    ReportCell("message", ReportValue::Text(message), message)});
    }
    report.End();
    if (archive.problemCount > archive.problems.size())
        report.Line("... and " + Plural(archive.problemCount - archive.problems.size(),
                                        "more problem", "more problems"));
    const std::string summary = "format " + std::to_string(archive.version) + ", " +
                                std::to_string(archive.checked) + " of " +
                                Plural(archive.count, "entry", "entries") + " checked, " +
                                Plural(archive.unpackedSize, "byte", "bytes") + " unpacked";
    report.Line(ok ? "ok: " + summary
                   : Plural(archive.problemCount, "problem", "problems") + " (" + summary + ")");
}

}  // namespace

const OptionSpecs verifyOptions = {{"--json", false}, {"--keys", true}};

int RunVerify(const CommandLine& line)
{
    if (line.positional.size() == 1 && IsFolder(PathArgument(line.positional[0])))
        return VerifyFolder(line);
    if (line.Has("--keys"))
        return UsageError("verify", "--keys goes with an update folder");
    if (int code = CheckArchiveArguments("verify", line.positional, false))
        return code;
    ArchiveReport archive;
    if (int code = CheckArchiveArgument("verify", PathArgument(line.positional[0]), archive))
        return code;
    Report report(line.json);
    Render(archive, report);
    report.Write();
    return archive.problemCount == 0 ? ExitOk : ExitProblems;
}
