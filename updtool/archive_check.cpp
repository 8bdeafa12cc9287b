#include "updtool/archive_check.h"

#include <algorithm>
#include <array>
#include <map>
#include "base/exceptions.h"
#include "pak/archive_index.h"
#include "pak/archive_limits.h"
#include "updtool/duplicate_names.h"
#include "updtool/entry_name_rule.h"
#include "updtool/entry_reader.h"
#include "updtool/index_walk.h"
#include "updtool/text_conversion.h"

namespace {

const uint32_t kNone = UINT32_MAX;

std::string Bytes(uint64_t n)
{
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

// A problem as found: its entry (kNone: the archive's), and another entry
// whose name goes between message and suffix.
class Finding {
public:
    uint32_t entry;
    std::string message;
    uint32_t other;
    std::string suffix;

    Finding(uint32_t entry, const std::string& message, uint32_t other, const std::string& suffix)
        : entry(entry), message(message), other(other), suffix(suffix)
    {
    }
    virtual ~Finding() {}

    // The archive's problems first, then by entry, each in the order found.
    int64_t Order() const { return entry == kNone ? -1 : int64_t(entry); }
};

// The problems found: all counted, the first kShownProblems kept. An
// archive may hold millions of bad entries, so a message is made only when
// it could still be kept.
class Findings {
public:
    std::vector<Finding> kept;
    uint64_t count;

    Findings() : count(0), cutoff_(INT64_MAX) {}
    virtual ~Findings() {}

    // make: a callable that makes the message.
    template <class Make>
    void AddMade(uint32_t entry, const Make& make, uint32_t other = kNone,
                 const std::string& suffix = std::string())
    {
        ++count;
        const Finding finding(entry, std::string(), other, suffix);
        if (finding.Order() >= cutoff_)
            return;
        kept.push_back(finding);
        kept.back().message = make();
        if (kept.size() >= 2 * kShownProblems)
            Trim();
    }

    void Add(uint32_t entry, const std::string& message)
    {
        AddMade(entry, [&message] { return message; });
    }

    void Trim()
    {
        std::stable_sort(kept.begin(), kept.end(),
                         [](const Finding& a, const Finding& b) { return a.Order() < b.Order(); });
        if (kept.size() >= kShownProblems) {
            kept.erase(kept.begin() + kShownProblems, kept.end());
            // Later ones of this order or beyond sort after every one kept.
            cutoff_ = kept.back().Order();
        }
    }

private:
    int64_t cutoff_;
};

// Where an entry's stored bytes lie: start, end, entry, size, compressed.
typedef std::array<uint32_t, 5> StoredRange;

// Why the packed index did not load: inflated again with the entry reader,
// which names the fault; an index that inflates well is one larger than the
// updater accepts for its packed size.
std::string IndexFailure(ArchiveFile& data, const ArchiveIndex& index)
{
    const ArchiveHeader& header = index.header;
    if (index.fileSize < header.Length())
        return "the file ends inside the header (" + Bytes(index.fileSize) + " of " +
               Bytes(header.Length()) + ")";
    if (header.packedIndexSize > index.fileSize - header.Length())
        return "the packed index (" + Bytes(header.packedIndexSize) +
               ") runs past the end of the file (" + Bytes(index.fileSize) + ")";
    IndexRecord record;
    record.compressed = 1;
    record.size = header.indexSize;
    record.packedSize = header.packedIndexSize;
    EntryReader reader(data);
    reader.Start(header.Length(), index.fileSize, record);
    reader.Drain();
    if (!reader.problem.empty())
        return "the packed index: " + reader.problem;
    return "the index of " + Bytes(header.indexSize) + " is larger than the updater reads from " +
           Bytes(header.packedIndexSize);
}

// The archive's header and index as a whole; false when no records can be read.
bool CheckIndex(ArchiveFile& data, ArchiveIndex& index, ArchiveReport& report,
                Findings& findings)
{
    bool loaded = false;
    try {
        loaded = index.Load();
    } catch (const OCErrorException&) {
        report.version = index.header.version;
        report.count = index.header.count;
        findings.Add(kNone, IndexFailure(data, index));
        return false;
    }
    const ArchiveHeader& header = index.header;
    report.version = header.version;
    report.count = header.count;
    if (header.version > 2) {
        findings.Add(kNone, "unknown format version " + std::to_string(header.version) +
                                ": the updater reads no entries from it");
        return false;
    }
    if (index.fileSize < header.Length()) {
        findings.Add(kNone, "the file ends inside the header (" + Bytes(index.fileSize) + " of " +
                                Bytes(header.Length()) + ")");
        return false;
    }
    if (!loaded) {
        if (header.count != 0)
            findings.Add(kNone, "the index is stated as 0 bytes but counts " +
                                    std::to_string(header.count) + " entries: the updater reads none");
        return false;
    }
    if (header.version != 0 && index.packedIndexUsed != header.packedIndexSize)
        findings.Add(kNone, "the packed index's zlib stream ends " +
                                Bytes(header.packedIndexSize - index.packedIndexUsed) +
                                " before its stated packed size of " + Bytes(header.packedIndexSize));
    return true;
}

// Each record's name and bounds; the stored ranges to look at next. Returns
// where a version 0 index ends (0 for others).
uint64_t CheckRecords(ArchiveIndex& index, EntryReader& reader, ArchiveFile& archive,
                      ArchiveReport& report, Findings& findings, DuplicateNames& duplicates,
                      std::vector<StoredRange>& ranges)
{
    const ArchiveHeader& header = index.header;
    IndexRecord record;
    for (;;) {
        try {
            if (!index.Next(record))
                break;
        } catch (const OCErrorException&) {
            findings.Add(kNone, RecordFailure(header, report.checked + 1));
            return 0;
        }
        const uint32_t entry = report.checked++;
        report.unpackedSize += record.size;
        const uint32_t nameLength = NameTextLength(record.name, record.nameLength);
        const std::string refusal = EntryNameRefusal(std::string(record.name, nameLength));
        if (nameLength != record.nameLength)
            findings.Add(entry, "its name holds a NUL byte, where the updater's reading of it ends");
        else if (!refusal.empty())
            findings.AddMade(entry, [&refusal] {
                return "the name " + refusal +
                       ": extract refuses it, and the updater would misplace or never find it";
            });
        else
            duplicates.Add(entry, record.name, nameLength);

        const uint64_t start = index.DataStart(record);
        reader.Start(start, index.fileSize, record);
        if (!reader.problem.empty()) {
            findings.Add(entry, reader.problem);
            continue;
        }
        if (record.compressed && !InflatedSizePlausible(record.size, record.packedSize)) {
            findings.Add(entry, "its size of " + Bytes(record.size) +
                                    " is more than zlib can make of its " +
                                    Bytes(record.packedSize) +
                                    ": the updater takes the archive for damaged");
            continue;
        }
        const uint32_t stored = record.compressed ? record.packedSize : record.size;
        if (stored != 0)
            ranges.push_back({uint32_t(start), uint32_t(start + stored), entry, record.size,
                              record.compressed ? 1u : 0u});
    }
    if (report.checked == header.count && header.version != 0 && index.UnreadIndexBytes() != 0)
        findings.Add(kNone, Bytes(index.UnreadIndexBytes()) + " of the index follow its last record");
    return header.version == 0 ? archive.position : 0;
}

// Overlaps, and each distinct compressed range inflated once.
void CheckRanges(std::vector<StoredRange>& ranges, uint64_t indexEnd, uint64_t fileSize,
                 EntryReader& reader, Findings& findings)
{
    std::sort(ranges.begin(), ranges.end());
    uint32_t reachEnd = 0, reachEntry = kNone;  // the data that ends last so far
    for (size_t first = 0; first < ranges.size();) {
        const uint32_t start = ranges[first][0], end = ranges[first][1];
        size_t last = first;
        uint32_t largest = 0;
        bool compressed = false;
        for (; last < ranges.size() && ranges[last][0] == start && ranges[last][1] == end; ++last) {
            if (ranges[last][4]) {
                compressed = true;
                largest = std::max(largest, ranges[last][3]);
            }
        }
        if (start < indexEnd) {
            for (size_t i = first; i < last; ++i)
                findings.Add(ranges[i][2], "its data overlaps the archive's index");
        } else if (reachEntry != kNone && start < reachEnd) {
            for (size_t i = first; i < last; ++i)
                findings.AddMade(ranges[i][2], [] { return std::string("its data overlaps that of "); },
                                 reachEntry);
        } else if (compressed) {
            IndexRecord group;
            group.compressed = 1;
            group.size = largest;
            group.packedSize = end - start;
            reader.Start(start, fileSize, group);
            reader.Drain();
            for (size_t i = first; i < last; ++i) {
                if (!ranges[i][4])
                    continue;
                const std::string problem =
                    reader.problem.find("the file ends") == 0
                        ? reader.problem
                        : StreamProblem(reader.facts, ranges[i][3], end - start);
                if (!problem.empty())
                    findings.Add(ranges[i][2], problem);
            }
        }
        if (reachEntry == kNone || end > reachEnd) {
            reachEnd = end;
            reachEntry = ranges[first][2];
        }
        first = last;
    }
}

}  // namespace

void CheckArchive(ArchiveFile& archive, ArchiveFile& data, ArchiveReport& report)
{
    Findings findings;
    {
        DuplicateNames duplicates;
        std::vector<StoredRange> ranges;
        {
            ArchiveIndex index(archive);
            EntryReader reader(data);
            if (CheckIndex(data, index, report, findings)) {
                const uint64_t indexEnd =
                    CheckRecords(index, reader, archive, report, findings, duplicates, ranges);
                CheckRanges(ranges, indexEnd, index.fileSize, reader, findings);
            }
        }
        std::vector<StoredRange>().swap(ranges);
        duplicates.Resolve(archive);
        for (const auto& repeat : duplicates.repeats)
            findings.AddMade(repeat.first, [] { return std::string("an earlier entry, "); },
                             repeat.second,
                         ", has the same name to the updater's lookup (case ignored), which "
                         "delivers that one");
    }
    findings.Trim();
    report.problemCount = findings.count;

    // The names of the problems kept, read again.
    std::map<uint32_t, std::string> names;
    for (const Finding& finding : findings.kept) {
        if (finding.entry != kNone)
            names[finding.entry];
        if (finding.other != kNone)
            names[finding.other];
    }
    if (!names.empty())
        WalkIndex(archive, [&names](uint32_t entry, const ArchiveIndex&, const IndexRecord& record) {
            const auto found = names.find(entry);
            if (found != names.end())
                found->second.assign(record.name, NameTextLength(record.name, record.nameLength));
            return entry < names.rbegin()->first;
        });
    for (const Finding& finding : findings.kept) {
        std::string message = finding.message;
        if (finding.other != kNone)
            message += ShownName(names[finding.other]) + finding.suffix;
        report.problems.emplace_back(finding.entry != kNone,
                                     finding.entry != kNone ? names[finding.entry] : std::string(),
                                     message);
    }
}
