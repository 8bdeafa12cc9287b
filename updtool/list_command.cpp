#include "updtool/commands.h"

#include <cstdio>
#include "pak/archive_index.h"
#include "updtool/archive_input.h"
#include "updtool/command_line.h"
#include "updtool/entry_digests.h"
#include "updtool/index_walk.h"
#include "updtool/text_conversion.h"
#include "updtool/tool_output.h"

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
    "Exit code 1 when the index is damaged (what could be read is shown).\n";

namespace {

// Written out in pieces of about this size: an index may hold millions.
const size_t kPiece = 256 * 1024;

int32_t RevisionOf(const ArchiveHeader& header)
{
    return header.version == 2 ? int32_t(header.revision) : 0;
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
    if (int code = OpenArchiveArgument("list", path, archive))
        return code;
    const bool json = line.Has("--json");
    EntryDigests digests;
    if (json) {
        if (int code = OpenArchiveArgument("list", path, data))
            return code;
        digests.Compute(archive, data);
    }

    archive.Seek(0);
    ArchiveIndex index(archive);
    bool loaded = false;
    std::string damage = LoadIndex(index, loaded);
    const ArchiveHeader& header = index.header;
    JsonWriter writer;
    std::string text;
    if (json) {
        writer.BeginObject();
        writer.Field("version", header.version);
        writer.Field("count", header.count);
        writer.Field("revision", RevisionOf(header));
        writer.Key("entries");
        writer.BeginArray();
    } else {
        text = "format " + std::to_string(header.version) + ", " + std::to_string(header.count) +
               (header.count == 1 ? " entry" : " entries") + ", revision " +
               std::to_string(RevisionOf(header)) +
               "\n    offset       size     packed  compressed  name\n";
    }
    if (damage.empty() && loaded) {
        damage = WalkRecords(index, [&](uint32_t entry, const ArchiveIndex&, const IndexRecord& record) {
            // The name as the updater reads it: up to a NUL byte.
            const uint32_t length = NameTextLength(record.name, record.nameLength);
            if (json) {
                writer.BeginObject();
                writer.Field("name", Utf8From932(record.name, length));
                writer.Field("offset", record.offset);
                writer.Field("size", record.size);
                writer.Field("packedSize", record.packedSize);
                writer.Flag("compressed", record.compressed != 0);
                writer.Key("sha256");
                const std::string digest = digests.Of(entry);
                if (digest.empty())
                    writer.Null();
                else
                    writer.Text(digest);
                writer.EndObject();
                if (writer.Pending() >= kPiece)
                    WriteOut(writer.Take());
                return true;
            }
            char numbers[64];
            snprintf(numbers, sizeof numbers, "%10u %10u %10u  %-12s", record.offset, record.size,
                     record.packedSize, record.compressed ? "yes" : "no");
            text += numbers + ShownName(record.name, length) + "\n";
            if (text.size() >= kPiece) {
                WriteOut(text);
                text.clear();
            }
            return true;
        });
    }
    if (json) {
        writer.EndArray();
        writer.EndObject();
        WriteOut(writer.Take() + "\n");
    } else {
        WriteOut(text);
    }
    if (!damage.empty())
        return Fail("list", Shown(path) + " is damaged: " + damage, ExitProblems);
    return ExitOk;
}
