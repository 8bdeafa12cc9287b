#include "updtool/commands.h"

#include "base/exceptions.h"
#include "pak/archive_index.h"
#include "updtool/archive_input.h"
#include "updtool/command_line.h"
#include "updtool/listing.h"
#include "updtool/text_conversion.h"
#include "updtool/tool_output.h"

const char* const listUsage =
    "usage: updtool list X.pak [--json]\n"
    "Shows what the archive holds, read as the updater reads it: its format,\n"
    "entry count and revision, and per entry its offset, size, packed size,\n"
    "whether it is compressed, and its name.\n"
    "  --json   one JSON document: version, count, revision (the signed value\n"
    "           for format 2, else 0), entries[] of name, offset, size,\n"
    "           packedSize, compressed\n"
    "Exit code 1 when the index is damaged (what could be read is shown).\n";

namespace {

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
    const std::string path = PathArgument(line.positional[0]);
    ArchiveFile archive;
    if (int code = OpenArchiveArgument("list", path, archive))
        return code;
    const bool json = line.Has("--json");

    std::string damage;
    ArchiveIndex index(archive);
    bool loaded = false;
    try {
        loaded = index.Load();
    } catch (const OCErrorException&) {
        damage = "its packed index cannot be read (see 'updtool verify')";
    }
    const ArchiveHeader& header = index.header;
    if (index.fileSize < header.Length())
        damage = "the file ends inside the header";
    else if (damage.empty() && header.version > 2)
        damage = "unknown format version " + std::to_string(header.version) +
                 ": the updater reads no entries from it";
    else if (damage.empty() && !loaded && header.count != 0)
        damage = "the index is stated as 0 bytes but counts " + std::to_string(header.count) +
                 " entries";

    Listing listing(json, header.version, header.count, RevisionOf(header));
    if (damage.empty() && loaded) {
        IndexRecord record;
        uint32_t read = 0;
        for (;;) {
            try {
                if (!index.Next(record))
                    break;
            } catch (const OCErrorException&) {
                damage = "record " + std::to_string(read + 1) + " of " +
                         std::to_string(header.count) + " runs past the end of the " +
                         (header.version == 0 ? "file" : "index");
                break;
            }
            ++read;
            // The name as the updater reads it: up to a NUL byte.
            listing.Add(record.name, NameTextLength(record.name, record.nameLength), record.offset, record.size, record.packedSize,
                        record.compressed != 0);
        }
    }
    listing.Finish();
    if (!damage.empty())
        return Fail("list", "'" + Utf8FromAnsi(path) + "' is damaged: " + damage, ExitProblems);
    return ExitOk;
}
