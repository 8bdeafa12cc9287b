#include "updtool/commands/commands.h"

#include <cstdio>
#include "pak/archive_index.h"
#include "updtool/archives/archive_input.h"
#include "updtool/console/command_line.h"
#include "updtool/archives/entry_digests.h"
#include "pak/index_walk.h"
#include "base/shown_text.h"
#include "updtool/console/tool_output.h"

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

// Written out in pieces of about this size: an index may hold millions.
const size_t kPiece = 256 * 1024;

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
            // 0 but in format 2: a header reads only the fields its version has.
            writer_.Field("revision", int32_t(header.revision));
            writer_.Key("entries");
            writer_.BeginArray();
            return;
        }
        text_ = "format " + std::to_string(header.version) + ", " + std::to_string(header.count) +
                (header.count == 1 ? " entry" : " entries") + ", revision " +
                std::to_string(int32_t(header.revision)) +
                "\n    offset       size     packed  compressed  name\n";
    }

    // name: as the updater reads it, up to a NUL byte; sha256: "" when the
    // data cannot be delivered whole.
    void Add(const std::string& name, const IndexRecord& entry, const std::string& sha256)
    {
        if (json_) {
            writer_.BeginObject();
            writer_.Field("name", Utf8From932(name));
            writer_.Field("offset", entry.offset);
            writer_.Field("size", entry.size);
            writer_.Field("packedSize", entry.packedSize);
            writer_.Flag("compressed", entry.compressed != 0);
            writer_.Key("sha256");
            if (sha256.empty())
                writer_.Null();
            else
                writer_.Text(sha256);
            writer_.EndObject();
            if (writer_.Pending() >= kPiece)
                WriteOut(writer_.Take());
            return;
        }
        char numbers[64];
        snprintf(numbers, sizeof numbers, "%10u %10u %10u  %-12s", entry.offset, entry.size,
                 entry.packedSize, entry.compressed ? "yes" : "no");
        text_ += numbers + ShownName(name) + "\n";
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
        }
        WriteOut(json_ ? writer_.Take() + "\n" : text_);
    }

private:
    bool json_;
    JsonWriter writer_;
    std::string text_;
};

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
    Listing listing(json);
    listing.Begin(index.header);
    uint64_t undelivered = 0;
    if (damage.empty() && loaded) {
        damage = WalkRecords(index, [&](uint32_t number, const ArchiveIndex&, const IndexRecord& record) {
            // Text reads the index alone, so only the bounds tell; the
            // digests inflated every entry.
            const std::string sha256 = json ? digests.Of(number) : std::string();
            undelivered += json ? sha256.empty() : !index.CanDeliver(record);
            listing.Add(std::string(record.name, NameTextLength(record.name, record.nameLength)),
                        record, sha256);
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
