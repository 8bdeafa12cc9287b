#include "updtool/commands/commands.h"

#include <cstdio>
#include "pak/archive_index.h"
#include "updtool/archives/archive_input.h"
#include "updtool/archives/entry_digests.h"
#include "pak/index_walk.h"
#include "base/shown_text.h"
#include "updtool/console/command_report.h"

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

// One entry's row: name as the updater reads it, up to a NUL byte; digest
// null when the data cannot be delivered whole.
std::vector<ReportCell> EntryRow(const std::string& name, const IndexRecord& entry,
                                 const Sha256::Digest* digest)
{
    char numbers[64];
    snprintf(numbers, sizeof numbers, "%10u %10u %10u  %-12s", entry.offset, entry.size,
             entry.packedSize, entry.compressed ? "yes" : "no");
    return {ReportCell(numbers + ShownName(name)),
            ReportCell("name", ReportValue::Text932(name)),
            ReportCell("offset", ReportValue::Number(entry.offset)),
            ReportCell("size", ReportValue::Number(entry.size)),
            ReportCell("packedSize", ReportValue::Number(entry.packedSize)),
            ReportCell("compressed", ReportValue::Flag(entry.compressed != 0)),
            ReportCell("sha256", digest ? ReportValue::Text(Sha256::Hex(*digest)) : ReportValue::Null())};
}

}  // namespace

const OptionSpecs listOptions = {{"--json", false}};

int RunList(const CommandLine& line)
{
    if (int code = CheckArchiveArguments("list", line.positional, false))
        return code;
    const std::wstring path = PathArgument(line.positional[0]);
    ArchiveFile archive, data;
    if (int code = OpenArchiveArgument("list", path, archive, &data))
        return code;
    const bool json = line.json;
    EntryDigests digests;
    if (json)
        digests.Compute(archive, data);

    archive.Seek(0);
    ArchiveIndex index(archive);
    bool loaded = false;
    std::string damage = LoadIndex(index, data, loaded);
    const ArchiveHeader& header = index.header;
    Report listing(json);
    listing.Line("format " + std::to_string(header.version) + ", " +
                 Plural(header.count, "entry", "entries") + ", revision " +
                 std::to_string(int32_t(header.revision)));
    listing.Field("version", ReportValue::Number(header.version), "");
    listing.Field("count", ReportValue::Number(header.count), "");
    // 0 but in format 2: a header reads only the fields its version has.
    listing.Field("revision", ReportValue::Number(int32_t(header.revision)), "");
    listing.Begin("entries", true, "    offset       size     packed  compressed  name", LayoutStreamed);
    uint64_t undelivered = 0;
    if (damage.empty() && loaded) {
        damage = WalkRecords(index, [&](uint32_t number, const ArchiveIndex&, const IndexRecord& record) {
            // Text reads the index alone, so only the bounds tell; the
            // digests inflated every entry.
            const Sha256::Digest* digest = json ? digests.Find(number) : nullptr;
            undelivered += json ? !digest : !index.CanDeliver(record);
            listing.Row(EntryRow(std::string(record.name, NameTextLength(record.name, record.nameLength)),
                                 record, digest));
            return true;
        });
    }
    listing.End();
    listing.Write();
    if (!damage.empty())
        return Fail("list", Shown(path) + " is damaged: " + damage, ExitProblems);
    if (undelivered != 0)
        return Fail("list",
                    "warning: " + Shown(path) + " is damaged: the updater cannot deliver " +
                        Plural(undelivered, "entry", "entries") + " whole (see \"updtool verify\")",
                    ExitProblems);
    return ExitOk;
}
