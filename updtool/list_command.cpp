#include "updtool/commands.h"

#include <cstring>
#include "base/exceptions.h"
#include "pak/archive_index.h"
#include "updtool/archive_input.h"
#include "updtool/command_line.h"
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

// The listing of a large archive is mostly numbers: formatted by hand.
void AppendNumber(std::string& out, uint32_t value, int width)
{
    char digits[12];
    int count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value);
    if (count < width)
        out.append(size_t(width - count), ' ');
    while (count)
        out += digits[--count];
}

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

    JsonWriter writer;
    std::string text;
    if (json) {
        writer.BeginObject();
        writer.Key("version");
        writer.Number(header.version);
        writer.Key("count");
        writer.Number(header.count);
        writer.Key("revision");
        writer.Number(RevisionOf(header));
        writer.Key("entries");
        writer.BeginArray();
    } else {
        text = "format " + std::to_string(header.version) + ", " + std::to_string(header.count) +
               (header.count == 1 ? " entry" : " entries") + ", revision " +
               std::to_string(RevisionOf(header)) + "\n";
        text += "    offset       size     packed  compressed  name\n";
    }
    if (damage.empty() && loaded) {
        IndexRecord record;
        std::string name;
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
            const void* nul = std::memchr(record.name, 0, record.nameLength);
            const uint32_t length =
                nul ? uint32_t(static_cast<const char*>(nul) - record.name) : record.nameLength;
            if (json) {
                name.clear();
                AppendNameUtf8(name, record.name, length);
                writer.BeginObject();
                writer.Key("name");
                writer.String(name);
                writer.Key("offset");
                writer.Number(record.offset);
                writer.Key("size");
                writer.Number(record.size);
                writer.Key("packedSize");
                writer.Number(record.packedSize);
                writer.Key("compressed");
                writer.Bool(record.compressed != 0);
                writer.EndObject();
            } else {
                AppendNumber(text, record.offset, 10);
                text += ' ';
                AppendNumber(text, record.size, 10);
                text += ' ';
                AppendNumber(text, record.packedSize, 10);
                text += record.compressed ? "  yes         " : "  no          ";
                AppendNameUtf8(text, record.name, length);
                text += '\n';
            }
        }
    }
    if (json) {
        writer.EndArray();
        writer.EndObject();
        WriteOut(writer.Text());
    } else {
        WriteOut(text);
    }
    if (!damage.empty())
        return Fail("list", "'" + Utf8FromAnsi(path) + "' is damaged: " + damage, ExitProblems);
    return ExitOk;
}
