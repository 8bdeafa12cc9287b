#include "updtool/archive_check.h"

#include <zlib.h>
#include <algorithm>
#include <cstring>
#include "base/exceptions.h"
#include "pak/archive_index.h"
#include "updtool/entry_reader.h"
#include "updtool/text_conversion.h"

namespace {

// Where an entry's stored bytes lie, for the overlap check.
class StoredRange {
public:
    uint64_t start;
    uint64_t end;
    uint32_t entry;  // index order

    StoredRange(uint64_t start, uint64_t end, uint32_t entry) : start(start), end(end), entry(entry)
    {
    }
    virtual ~StoredRange() {}
};

std::string Bytes(uint64_t n)
{
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

// Reads the whole entry, throwing its bytes away; the reader's problem says
// what went wrong.
void Drain(EntryReader& reader)
{
    const unsigned char* data = nullptr;
    uint32_t length = 0;
    while (reader.Next(data, length)) {
    }
}

// Why the packed index did not load: inflated again with the entry reader,
// which names the fault; an index that inflates well is one larger than the
// updater accepts for its packed size.
std::string IndexFailure(ArchiveFile& archive, const ArchiveIndex& index)
{
    const ArchiveHeader& header = index.header;
    IndexRecord record;
    record.compressed = 1;
    record.size = header.indexSize;
    record.packedSize = header.packedIndexSize;
    EntryReader reader(archive);
    reader.StartAt(header.Length(), index.fileSize, record);
    Drain(reader);
    if (!reader.problem.empty())
        return "the packed index: " + reader.problem;
    return "the index of " + Bytes(header.indexSize) + " is larger than the updater reads from " +
           Bytes(header.packedIndexSize);
}

// The stream took exactly packedIndexSize bytes when its Adler-32 trailer,
// which inflating the index has checked, fills the last four of them.
bool PackedIndexExact(ArchiveFile& archive, const ArchiveIndex& index)
{
    const ArchiveHeader& header = index.header;
    if (header.packedIndexSize < 6)
        return false;
    unsigned char trailer[4];
    archive.Seek(uint64_t(header.Length()) + header.packedIndexSize - 4);
    if (archive.Read(trailer, 4) != 4)
        return false;
    const uLong sum = adler32(adler32(0, nullptr, 0), index.IndexBytes(), header.indexSize);
    const uLong stored = uLong(trailer[0]) << 24 | uLong(trailer[1]) << 16 |
                         uLong(trailer[2]) << 8 | trailer[3];
    return sum == stored;
}

}  // namespace

void CheckArchive(ArchiveFile& archive, ArchiveReport& report)
{
    ArchiveIndex index(archive);
    bool loaded = false;
    try {
        loaded = index.Load();
    } catch (const OCErrorException&) {
        report.version = index.header.version;
        report.count = index.header.count;
        const uint64_t headerLength = index.header.Length();
        if (index.fileSize < headerLength)
            report.problems.emplace_back("", "the file ends inside the header (" +
                                                 Bytes(index.fileSize) + " of " +
                                                 Bytes(headerLength) + ")");
        else if (index.header.packedIndexSize > index.fileSize - headerLength)
            report.problems.emplace_back("", "the packed index (" +
                                                 Bytes(index.header.packedIndexSize) +
                                                 ") runs past the end of the file (" +
                                                 Bytes(index.fileSize) + ")");
        else
            report.problems.emplace_back("", IndexFailure(archive, index));
        return;
    }
    const ArchiveHeader& header = index.header;
    report.version = header.version;
    report.count = header.count;
    if (header.version > 2) {
        report.problems.emplace_back("", "unknown format version " +
                                             std::to_string(header.version) +
                                             ": the updater reads no entries from it");
        return;
    }
    if (index.fileSize < header.Length()) {
        report.problems.emplace_back("", "the file ends inside the header (" +
                                             Bytes(index.fileSize) + " of " +
                                             Bytes(header.Length()) + ")");
        return;
    }
    if (!loaded) {
        if (header.count != 0)
            report.problems.emplace_back("", "the index is stated as 0 bytes but counts " +
                                                 std::to_string(header.count) +
                                                 " entries: the updater reads none");
        return;
    }
    if (header.version != 0 && !PackedIndexExact(archive, index))
        report.problems.emplace_back("", "the packed index's zlib stream does not end at its "
                                         "stated packed size of " +
                                         Bytes(header.packedIndexSize));

    // Names are kept only to report overlaps, which are found at the end.
    std::string names;
    std::vector<uint32_t> nameEnds;
    std::vector<StoredRange> ranges;
    EntryReader reader(archive);
    IndexRecord record;
    for (;;) {
        try {
            if (!index.Next(record))
                break;
        } catch (const OCErrorException&) {
            const std::string where = header.version == 0
                                          ? "the end of the file"
                                          : "the end of the index (" + Bytes(header.indexSize) + ")";
            report.problems.emplace_back("", "record " + std::to_string(report.checked + 1) +
                                                 " of " + std::to_string(header.count) +
                                                 " runs past " + where);
            break;
        }
        const uint32_t entry = report.checked++;
        // The updater's name ends at a NUL byte.
        const void* nul = std::memchr(record.name, 0, record.nameLength);
        const uint32_t textLength =
            nul ? uint32_t(static_cast<const char*>(nul) - record.name) : record.nameLength;
        names.append(record.name, textLength);
        nameEnds.push_back(uint32_t(names.size()));
        if (nul)
            report.problems.emplace_back(NameUtf8(std::string(record.name, textLength)),
                                         "its name holds a NUL byte, where the updater's "
                                         "reading of it ends");
        reader.Start(index, record);
        if (reader.problem.empty() && record.compressed)
            Drain(reader);
        if (!reader.problem.empty()) {
            report.problems.emplace_back(NameUtf8(std::string(record.name, textLength)),
                                         reader.problem);
            continue;
        }
        const uint64_t start = index.DataStart(record);
        const uint32_t stored = record.compressed ? record.packedSize : record.size;
        if (stored)
            ranges.emplace_back(start, start + stored, entry);
    }
    if (report.checked == header.count && header.version != 0 && index.UnreadIndexBytes() != 0)
        report.problems.emplace_back("", Bytes(index.UnreadIndexBytes()) +
                                             " of the index follow its last record");

    auto nameOf = [&](uint32_t entry) {
        const uint32_t begin = entry ? nameEnds[entry - 1] : 0;
        return NameUtf8(names.substr(begin, nameEnds[entry] - begin));
    };
    // A version-0 index lies in the data's file offsets: data must follow it.
    const uint64_t indexEnd = archive.position;
    auto byStart = [](const StoredRange& a, const StoredRange& b) {
        return a.start < b.start || (a.start == b.start && a.end < b.end);
    };
    // pack writes data in index order: sorting is then rarely needed.
    if (!std::is_sorted(ranges.begin(), ranges.end(), byStart))
        std::sort(ranges.begin(), ranges.end(), byStart);
    const StoredRange* reach = nullptr;  // the range that ends last so far
    for (const StoredRange& range : ranges) {
        if (header.version == 0 && range.start < indexEnd)
            report.problems.emplace_back(nameOf(range.entry),
                                         "its data overlaps the archive's index");
        else if (reach && range.start < reach->end &&
                 !(range.start == reach->start && range.end == reach->end))
            report.problems.emplace_back(nameOf(range.entry), "its data overlaps that of " +
                                                                  nameOf(reach->entry));
        if (!reach || range.end > reach->end)
            reach = &range;
    }
}
