#include "pak/archive_check.h"

#include <algorithm>
#include <array>
#include <map>
#include "base/exceptions.h"
#include "pak/archive_damage.h"
#include "pak/archive_index.h"
#include "pak/archive_limits.h"
#include "pak/duplicate_names.h"
#include "pak/entry_reader.h"
#include "pak/index_walk.h"

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
    bool damage;
    std::string message;
    uint32_t other;
    std::string suffix;

    Finding(uint32_t entry, bool damage, uint32_t other, const std::string& suffix)
        : entry(entry), damage(damage), message(), other(other), suffix(suffix)
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
    uint64_t damage;

    Findings() : count(0), damage(0), cutoff_(INT64_MAX) {}
    virtual ~Findings() {}

    // make: a callable that makes the message.
    template <class Make>
    void AddMade(uint32_t entry, bool isDamage, const Make& make, uint32_t other = kNone,
                 const std::string& suffix = std::string())
    {
        ++count;
        damage += isDamage ? 1 : 0;
        const Finding finding(entry, isDamage, other, suffix);
        if (finding.Order() >= cutoff_)
            return;
        kept.push_back(finding);
        kept.back().message = make();
        if (kept.size() >= 2 * kShownProblems)
            Trim();
    }

    void Damage(uint32_t entry, const std::string& message)
    {
        AddMade(entry, true, [&message] { return message; });
    }
    void Fault(uint32_t entry, const std::string& message)
    {
        AddMade(entry, false, [&message] { return message; });
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

// What one check keeps while it reads.
class ArchiveChecker {
public:
    ArchiveFile& archive;
    ArchiveFile& data;
    CheckDepth depth;
    ArchiveReport& report;
    const NameRule& nameRule;
    // Damage alone is looked for: nothing is kept per entry.
    bool damageOnly;
    Findings findings;
    DuplicateNames duplicates;
    std::vector<StoredRange> ranges;

    ArchiveChecker(ArchiveFile& archive, ArchiveFile& data, CheckDepth depth, ArchiveReport& report,
          const NameRule& nameRule)
        : archive(archive), data(data), depth(depth), report(report), nameRule(nameRule),
          damageOnly(false)
    {
    }

    void Run();
    virtual ~ArchiveChecker() {}

    bool Index(ArchiveIndex& index);
    uint64_t Records(ArchiveIndex& index, EntryReader& reader);
    void Name(uint32_t entry, const IndexRecord& record);
    void Ranges(uint64_t indexEnd, uint64_t fileSize, EntryReader& reader);
    void Inflate(size_t first, size_t last, uint64_t fileSize, EntryReader& reader);
    void Report();
};

// The archive's header and index as a whole; false when no records can be read.
bool ArchiveChecker::Index(ArchiveIndex& index)
{
    bool loaded = false;
    const std::string failure = LoadIndex(index, data, loaded);
    report.version = index.header.version;
    report.count = index.header.count;
    if (!failure.empty()) {
        findings.Damage(kNone, failure);
        return false;
    }
    if (!loaded)
        return false;
    const ArchiveHeader& header = index.header;
    if (header.version != 0 && index.packedIndexUsed != header.packedIndexSize)
        findings.Fault(kNone, "the packed index's zlib stream ends " +
                                  Bytes(header.packedIndexSize - index.packedIndexUsed) +
                                  " before its stated packed size of " +
                                  Bytes(header.packedIndexSize));
    return true;
}

void ArchiveChecker::Name(uint32_t entry, const IndexRecord& record)
{
    const uint32_t nameLength = NameTextLength(record.name, record.nameLength);
    if (nameLength != record.nameLength) {
        findings.Fault(entry, "its name holds a NUL byte, where the updater's reading of it ends");
        return;
    }
    if (nameRule) {
        const std::string refusal = nameRule(std::string(record.name, nameLength));
        if (!refusal.empty()) {
            findings.Fault(entry, refusal);
            return;
        }
    }
    duplicates.Add(entry, record.name, nameLength);
}

// Each record's name and bounds; the stored ranges to look at next. Returns
// where a version 0 index ends (0 for others).
uint64_t ArchiveChecker::Records(ArchiveIndex& index, EntryReader& reader)
{
    const ArchiveHeader& header = index.header;
    IndexRecord record;
    for (;;) {
        try {
            if (!index.Next(record))
                break;
        } catch (const OCErrorException&) {
            findings.Damage(kNone, RecordFailure(header, report.checked + 1));
            return 0;
        }
        const uint32_t entry = report.checked++;
        report.unpackedSize += record.size;
        if (!damageOnly)
            Name(entry, record);
        const uint64_t start = index.DataStart(record);
        reader.Start(start, index.fileSize, record);
        if (!reader.problem.empty()) {
            findings.Damage(entry, reader.problem);
            continue;
        }
        if (record.compressed && !InflatedSizePlausible(record.size, record.packedSize)) {
            findings.Damage(entry, "its size of " + Bytes(record.size) +
                                       " is more than zlib can make of its " +
                                       Bytes(record.packedSize) +
                                       ": the updater takes the archive for damaged");
            continue;
        }
        const uint32_t stored = record.compressed ? record.packedSize : record.size;
        // Damage alone needs the ranges only to inflate them.
        if (stored != 0 && (!damageOnly || depth == CheckFull))
            ranges.push_back({uint32_t(start), uint32_t(start + stored), entry, record.size,
                              record.compressed ? 1u : 0u});
    }
    if (report.checked == header.count && header.version != 0 && index.UnreadIndexBytes() != 0)
        findings.Fault(kNone,
                       Bytes(index.UnreadIndexBytes()) + " of the index follow its last record");
    return header.version == 0 ? archive.position : 0;
}

// The compressed entries of ranges [first, last), which share their stored
// bytes, inflated once to the largest size stated for them.
void ArchiveChecker::Inflate(size_t first, size_t last, uint64_t fileSize, EntryReader& reader)
{
    const uint32_t start = ranges[first][0], end = ranges[first][1];
    IndexRecord group;
    group.compressed = 1;
    group.packedSize = end - start;
    for (size_t i = first; i < last; ++i)
        if (ranges[i][4])
            group.size = std::max(group.size, ranges[i][3]);
    reader.Start(start, fileSize, group);
    reader.Drain();
    for (size_t i = first; i < last; ++i) {
        if (!ranges[i][4])
            continue;
        const uint32_t size = ranges[i][3];
        const bool cut = reader.problem.find("the file ends") == 0;
        const std::string problem =
            cut ? reader.problem : StreamProblem(reader.facts, size, end - start);
        // A stream that ends early in its packed bytes still delivers.
        const bool damage = cut || !reader.facts.ended || reader.facts.produced != size;
        if (!problem.empty())
            findings.AddMade(ranges[i][2], damage, [&problem] { return problem; });
    }
}

// Overlaps; at full depth each distinct compressed range inflated once.
void ArchiveChecker::Ranges(uint64_t indexEnd, uint64_t fileSize, EntryReader& reader)
{
    std::sort(ranges.begin(), ranges.end());
    uint32_t reachEnd = 0, reachEntry = kNone;  // the data that ends last so far
    uint64_t inflated = 0;                      // packed bytes inflated so far
    for (size_t first = 0; first < ranges.size();) {
        const uint32_t start = ranges[first][0], end = ranges[first][1];
        size_t last = first;
        bool compressed = false;
        for (; last < ranges.size() && ranges[last][0] == start && ranges[last][1] == end; ++last)
            compressed = compressed || ranges[last][4] != 0;
        if (start < indexEnd) {
            for (size_t i = first; i < last; ++i)
                findings.Fault(ranges[i][2], "its data overlaps the archive's index");
        } else if (reachEntry != kNone && start < reachEnd) {
            for (size_t i = first; i < last; ++i)
                findings.AddMade(ranges[i][2], false,
                                 [] { return std::string("its data overlaps that of "); },
                                 reachEntry);
        }
        // Overlapping data is delivered too, so it is inflated all the same,
        // within a budget no archive without overlaps reaches: twice the
        // file. Beyond it the archive is taken for damaged, not read forever.
        if (compressed && depth == CheckFull) {
            inflated += end - start;
            if (inflated > 2 * fileSize) {
                findings.Damage(kNone, "its entries' data overlap so much that checking them would "
                                       "read the file more than twice: the updater takes the "
                                       "archive for damaged");
                return;
            }
            Inflate(first, last, fileSize, reader);
        }
        if (reachEntry == kNone || end > reachEnd) {
            reachEnd = end;
            reachEntry = ranges[first][2];
        }
        first = last;
    }
}

// The problems kept, with the names they concern read again.
void ArchiveChecker::Report()
{
    findings.Trim();
    report.problemCount = findings.count;
    report.damageCount = findings.damage;
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
        ArchiveProblem problem;
        problem.forEntry = finding.entry != kNone;
        problem.damage = finding.damage;
        if (problem.forEntry)
            problem.entry = names[finding.entry];
        problem.message = finding.message;
        problem.namesOther = finding.other != kNone;
        if (problem.namesOther)
            problem.other = names[finding.other];
        problem.suffix = finding.suffix;
        report.problems.push_back(problem);
    }
}

void ArchiveChecker::Run()
{
    {
        ArchiveIndex index(archive);
        EntryReader reader(data);
        if (Index(index)) {
            const uint64_t indexEnd = Records(index, reader);
            Ranges(indexEnd, index.fileSize, reader);
        }
    }
    std::vector<StoredRange>().swap(ranges);
    duplicates.Resolve(archive);
    for (const auto& repeat : duplicates.repeats)
        findings.AddMade(repeat.first, false, [] { return std::string("an earlier entry, "); },
                         repeat.second,
                         ", has the same name to the updater's lookup (case ignored), which "
                         "delivers that one");
    Report();
}

}  // namespace

void CheckArchive(ArchiveFile& archive, ArchiveFile& data, CheckDepth depth,
                  ArchiveReport& report, const NameRule& nameRule)
{
    ArchiveChecker(archive, data, depth, report, nameRule).Run();
}

namespace {

void RaiseAtDamage(ArchiveFile& archive, ArchiveFile& data, CheckDepth depth)
{
    // Without the faults of the making: at the bounds depth the memory it
    // takes stays the same for any number of entries; the full depth keeps
    // a few words per entry to inflate each stored range once.
    ArchiveReport report;
    ArchiveChecker check(archive, data, depth, report, NameRule());
    check.damageOnly = true;
    check.Run();
    if (report.damageCount != 0)
        RaiseDamagedArchive();
}

}  // namespace

void CheckArchiveIsSound(const std::wstring& path, CheckDepth depth)
{
    ArchiveFile archive, data;
    {
        const QuietOpen quiet;
        if (!archive.Open(path, ModeRead) || !data.Open(path, ModeRead))
            return;
    }
    RaiseAtDamage(archive, data, depth);
}

void CheckArchiveIsSound(HANDLE held, const std::wstring& path, CheckDepth depth)
{
    ArchiveFile archive, data;
    if (archive.OpenHeld(held, path) && data.OpenHeld(held, path))
        RaiseAtDamage(archive, data, depth);
}
