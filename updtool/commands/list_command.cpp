#include "updtool/commands/commands.h"

#include <cstdio>
#include "pak/archive_index.h"
#include "updtool/archives/archive_input.h"
#include "updtool/console/command_line.h"
#include "updtool/archives/entry_digests.h"
#include "pak/index_walk.h"
#include "updtool/console/text_conversion.h"
#include "updtool/console/tool_output.h"

const char* const listUsage =
    "usage: updtool list X.pak [--json]\n"
    "Shows what the archive holds, read as the updater reads it: its format,\n"
    "entry count and revision, and per entry its offset, size, packed size,\n"
    "whether it is compressed, and its name (control characters shown as\n"
    "<CR>, <LF>, <TAB> or <XX>, bytes that are no code page 932 text as <XX>).\n"
    "  --json   one JSON document: version, count, revision (the signed value\n"
    "           for format 2, else 0), entries[] of name, offset, size,\n"
    "           packedSize, compressed, sha256 (the digest of the data the\n"
    "           updater delivers; null when it cannot deliver it whole)\n"
    "Exit code 1 when the archive is damaged (what could be read is shown): its\n"
    "index, or entries whose data the updater cannot deliver whole (a warning\n"
    "says how many; without --json only their bounds are checked).\n";

namespace {

// Written out in pieces of about this size: an index may hold millions.
const size_t kPiece = 256 * 1024;

int32_t RevisionOf(const ArchiveHeader& header)
{
    return header.version == 2 ? int32_t(header.revision) : 0;
}

// One entry as list shows it, in either form.
class ListedEntry {
public:
    std::string name;  // as the updater reads it: up to a NUL byte
    uint32_t offset;
    uint32_t size;
    uint32_t packedSize;
    bool compressed;
    std::string sha256;  // --json: "" when the data cannot be delivered whole

    ListedEntry() : offset(0), size(0), packedSize(0), compressed(false) {}
    virtual ~ListedEntry() {}
};

// The listing, rendered as text or as the JSON document from the same
// header and entries, and written out piece by piece.
class Listing {
public:
    explicit Listing(bool json) : json_(json) {}
    virtual ~Listing() {}

    void Begin(const ArchiveHeader& header)
    {
        if (json_) {
            writer_.BeginObject();
            writer_.Field("version", header.version);
            writer_.Field("count", header.count);
            writer_.Field("revision", RevisionOf(header));
            writer_.Key("entries");
            writer_.BeginArray();
            return;
        }
        text_ = "format " + std::to_string(header.version) + ", " + std::to_string(header.count) +
                (header.count == 1 ? " entry" : " entries") + ", revision " +
                std::to_string(RevisionOf(header)) +
                "\n    offset       size     packed  compressed  name\n";
    }

    void Add(const ListedEntry& entry)
    {
        if (json_) {
            writer_.BeginObject();
            writer_.Field("name", Utf8From932(entry.name));
            writer_.Field("offset", entry.offset);
            writer_.Field("size", entry.size);
            writer_.Field("packedSize", entry.packedSize);
            writer_.Flag("compressed", entry.compressed);
            writer_.Key("sha256");
            if (entry.sha256.empty())
                writer_.Null();
            else
                writer_.Text(entry.sha256);
            writer_.EndObject();
            if (writer_.Pending() >= kPiece)
                WriteOut(writer_.Take());
            return;
        }
        char numbers[64];
        snprintf(numbers, sizeof numbers, "%10u %10u %10u  %-12s", entry.offset, entry.size,
                 entry.packedSize, entry.compressed ? "yes" : "no");
        text_ += numbers + ShownName(entry.name) + "\n";
        if (text_.size() >= kPiece) {
            WriteOut(text_);
            text_.clear();
        }
    }

    void End()
    {
        if (json_) {
            writer_.EndArray();
            writer_.EndObject();
            WriteOut(writer_.Take() + "\n");
        } else {
            WriteOut(text_);
        }
    }

private:
    bool json_;
    JsonWriter writer_;
    std::string text_;
};

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
    if (int code = OpenArchiveArgument("list", path, archive))
        return code;
    if (int code = OpenArchiveArgument("list", path, data))
        return code;
    const bool json = line.Has("--json");
    EntryDigests digests;
    if (json)
        digests.Compute(archive, data);

    archive.Seek(0);
    ArchiveIndex index(archive);
    bool loaded = false;
    std::string damage = LoadIndex(index, data, loaded);
    Listing listing(json);
    listing.Begin(index.header);
    uint64_t undelivered = 0;
    if (damage.empty() && loaded) {
        damage = WalkRecords(index, [&](uint32_t number, const ArchiveIndex&, const IndexRecord& record) {
            ListedEntry entry;
            entry.name.assign(record.name, NameTextLength(record.name, record.nameLength));
            entry.offset = record.offset;
            entry.size = record.size;
            entry.packedSize = record.packedSize;
            entry.compressed = record.compressed != 0;
            // Text reads the index alone, so only the bounds tell; the
            // digests inflated every entry.
            if (json)
                entry.sha256 = digests.Of(number);
            undelivered += json ? entry.sha256.empty() : !index.CanDeliver(record);
            listing.Add(entry);
            return true;
        });
    }
    listing.End();
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
