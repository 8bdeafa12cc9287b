#include "updtool/archive_check.h"

#include <algorithm>
#include <cstring>
#include "base/exceptions.h"
#include "pak/archive_index.h"
#include "pak/archive_limits.h"
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

uint32_t NameLength(const IndexRecord& record)
{
    return NameTextLength(record.name, record.nameLength);
}

std::string NameOf(const IndexRecord& record)
{
    return NameUtf8(std::string(record.name, NameLength(record)));
}

// Stored bytes that lie where the updater can read them (others are
// reported as such, not as overlaps).
bool InFile(const ArchiveIndex& index, const IndexRecord& record, uint64_t& start, uint64_t& end)
{
    start = index.DataStart(record);
    end = start + (record.compressed ? record.packedSize : record.size);
    return end > start && end <= index.fileSize && end <= kMaxDataEnd;
}

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

// Data overlapping other data, or (version 0) the index, found by reading
// the index again and sorting the data by place: for archives whose data is
// not in ascending order. Entries may share the very same bytes.
void CheckOverlaps(ArchiveFile& archive, ArchiveReport& report)
{
    archive.Seek(0);
    ArchiveIndex index(archive);
    std::vector<StoredRange> ranges;
    std::vector<std::string> names;
    IndexRecord record;
    uint64_t indexEnd = 0;
    try {
        if (!index.Load())
            return;
        for (uint32_t entry = 0; index.Next(record); ++entry) {
            names.push_back(NameOf(record));
            uint64_t start = 0, end = 0;
            if (InFile(index, record, start, end))
                ranges.emplace_back(start, end, entry);
        }
        indexEnd = archive.position;  // version 0: the records end here
    } catch (const OCErrorException&) {
        return;  // reported by the first reading
    }
    std::sort(ranges.begin(), ranges.end(), [](const StoredRange& a, const StoredRange& b) {
        return a.start < b.start || (a.start == b.start && a.end < b.end);
    });
    const StoredRange* reach = nullptr;  // the range that ends last so far
    for (const StoredRange& range : ranges) {
        if (index.header.version == 0 && range.start < indexEnd)
            report.problems.emplace_back(names[range.entry], "its data overlaps the archive's index");
        else if (reach && range.start < reach->end &&
                 !(range.start == reach->start && range.end == reach->end))
            report.problems.emplace_back(names[range.entry],
                                         "its data overlaps that of " + names[reach->entry]);
        if (!reach || range.end > reach->end)
            reach = &range;
    }
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
    if (header.version != 0 && index.packedIndexUsed != header.packedIndexSize)
        report.problems.emplace_back("", "the packed index's zlib stream ends " +
                                             Bytes(header.packedIndexSize - index.packedIndexUsed) +
                                             " before its stated packed size of " +
                                             Bytes(header.packedIndexSize));

    EntryReader reader(archive);
    IndexRecord record;
    // Overlaps are looked for on the way while the data lies in ascending
    // order, as pack writes it, at no cost in memory. Data out of order or
    // overlapping, and version 0 (whose index lies among the data's
    // offsets), take a second reading of the index.
    bool inOrder = header.version != 0;
    uint64_t lastStart = 0;
    uint64_t reachStart = 0, reachEnd = 0;  // the data that ends last so far
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
        ++report.checked;
        const uint32_t nameLength = NameLength(record);
        if (nameLength != record.nameLength)
            report.problems.emplace_back(NameOf(record), "its name holds a NUL byte, where the "
                                                         "updater's reading of it ends");
        reader.Start(index, record);
        if (reader.problem.empty() && record.compressed)
            Drain(reader);
        if (!reader.problem.empty())
            report.problems.emplace_back(NameOf(record), reader.problem);

        uint64_t start = 0, end = 0;
        if (!inOrder || !InFile(index, record, start, end))
            continue;
        if (start < lastStart) {
            inOrder = false;
            continue;
        }
        lastStart = start;
        // An overlap is reported, with both names, by the second reading.
        if (start < reachEnd && !(start == reachStart && end == reachEnd))
            inOrder = false;
        if (end > reachEnd) {
            reachStart = start;
            reachEnd = end;
        }
    }
    if (report.checked == header.count && header.version != 0 && index.UnreadIndexBytes() != 0)
        report.problems.emplace_back("", Bytes(index.UnreadIndexBytes()) +
                                             " of the index follow its last record");
    if (!inOrder)
        CheckOverlaps(archive, report);
}
