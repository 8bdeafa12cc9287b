#include "updtool/commands/commands.h"

#include <cstdio>
#include "pak/archive_index.h"
#include "updtool/archives/archive_input.h"
#include "updtool/archives/entry_digests.h"
#include "updtool/console/command_line.h"
#include "updtool/console/command_report.h"
#include "pak/index_walk.h"
#include "updtool/console/text_conversion.h"

const char* const listUsage =
    "usage: updtool list X.pak [--json]\n"
    "Shows the archive's format, entry count and revision, and per entry its\n"
    "offset, size, packed size, whether compressed, and name (as <CR>, <XX> ...).\n"
    "  --json   one JSON document: version, count, revision, entries[] of name,\n"
    "           offset, size, packedSize, compressed, sha256 (of the data the\n"
    "           updater delivers; null when it cannot deliver it whole)\n"
    "Exit code 1 when the index or an entry is damaged (without --json only\n"
    "entries' bounds are checked).\n";

namespace {

int32_t RevisionOf(const ArchiveHeader& header)
{
    return header.version == 2 ? int32_t(header.revision) : 0;
}

void Header(const ArchiveHeader& header, Report& report)
{
    report.Field("version", ReportValue::Number(header.version),
                 "format " + std::to_string(header.version) + ", " +
                     std::to_string(header.count) + (header.count == 1 ? " entry" : " entries") +
                     ", revision " + std::to_string(RevisionOf(header)));
    report.Field("count", ReportValue::Number(header.count), "");
    report.Field("revision", ReportValue::Number(RevisionOf(header)), "");
    report.Begin("entries", true, "    offset       size     packed  compressed  name", LayoutFlat);
}

// name: as the updater reads it, up to a NUL byte; sha256: "" when the data
// cannot be delivered whole (or was not computed).
void Entry(const std::string& name, const IndexRecord& entry, const std::string& sha256,
           Report& report)
{
    char numbers[64];
    snprintf(numbers, sizeof numbers, "%10u %10u %10u  %-12s", entry.offset, entry.size,
             entry.packedSize, entry.compressed ? "yes" : "no");
    report.Row({ReportCell("name", ReportValue::Text932(name)),
                ReportCell("offset", ReportValue::Number(entry.offset)),
                ReportCell("size", ReportValue::Number(entry.size)),
                ReportCell("packedSize", ReportValue::Number(entry.packedSize)),
                ReportCell("compressed", ReportValue::Flag(entry.compressed != 0)),
                ReportCell("sha256", sha256.empty() ? ReportValue::Null() : ReportValue::Text(sha256)),
                ReportCell(numbers + ShownName(name))});
}

}  // namespace

int RunList(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("list", args, {{"--json", false}}))
        return ExitTrouble;
    if (int code = CheckArchiveArguments("list", line.positional, false))
        return code;
    const std::wstring path = PathArgument(line.positional[0]);
    ArchiveFile archive, data;
    if (int code = OpenArchiveArgument("list", path, archive, &data))
        return code;
    const bool json = line.Has("--json");
    EntryDigests digests;
    if (json)
        digests.Compute(archive, data);

    archive.Seek(0);
    ArchiveIndex index(archive);
    bool loaded = false;
    std::string damage = LoadIndex(index, data, loaded);
    Report report(json);
    Header(index.header, report);
    uint64_t undelivered = 0;
    if (damage.empty() && loaded) {
        damage = WalkRecords(index, [&](uint32_t number, const ArchiveIndex&, const IndexRecord& record) {
            // Text reads the index alone, so only the bounds tell; the
            // digests inflated every entry.
            const std::string sha256 = json ? digests.Of(number) : std::string();
            undelivered += json ? sha256.empty() : !index.CanDeliver(record);
            Entry(std::string(record.name, NameTextLength(record.name, record.nameLength)), record,
                  sha256, report);
            return true;
        });
    }
    report.End();
    report.Write();
    if (!damage.empty())
        return Fail("list", Shown(path) + " is damaged: " + damage, ExitProblems);
    if (undelivered != 0)
        return Fail("list",
                    "warning: " + Shown(path) + " is damaged: the updater cannot deliver " +
                        std::to_string(undelivered) + (undelivered == 1 ? " entry" : " entries") +
                        " whole (see \"updtool verify\")",
                    ExitProblems);
    return ExitOk;
}
