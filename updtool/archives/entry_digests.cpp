#include "updtool/archives/entry_digests.h"

#include <algorithm>
#include <array>
#include "pak/archive_limits.h"
#include "pak/entry_reader.h"
#include "pak/index_walk.h"

const uint32_t kNone = UINT32_MAX;

// start, end, compressed, size, entry: sorted, entries that share a range
// stand side by side.
typedef std::array<uint32_t, 5> Stored;

void EntryDigests::Compute(ArchiveFile& archive, ArchiveFile& data)
{
    std::vector<Stored> stored;
    uint64_t fileSize = 0;
    EntryReader reader(data);
    WalkIndex(archive, [&](uint32_t entry, const ArchiveIndex& index, const IndexRecord& record) {
        fileSize = index.fileSize;
        digestOf_.push_back(kNone);
        const uint64_t start = index.DataStart(record);
        reader.Start(start, index.fileSize, record);
        if (reader.problem.empty() &&
            (!record.compressed || InflatedSizePlausible(record.size, record.packedSize)))
            stored.push_back({uint32_t(start),
                              uint32_t(start + (record.compressed ? record.packedSize : record.size)),
                              record.compressed ? 1u : 0u, record.size, entry});
        return true;
    });
    std::sort(stored.begin(), stored.end());
    Sha256 sha;
    for (size_t first = 0; first < stored.size();) {
        size_t last = first;
        while (last < stored.size() && stored[last][0] == stored[first][0] &&
               stored[last][1] == stored[first][1] && stored[last][2] == stored[first][2])
            ++last;
        // The largest size stated for the range bounds the reading; each
        // entry of another size then finds the reading's length wrong.
        IndexRecord range;
        range.compressed = stored[first][2];
        range.size = stored[last - 1][3];
        range.packedSize = stored[first][1] - stored[first][0];
        reader.Start(stored[first][0], fileSize, range);
        const unsigned char* bytes = nullptr;
        uint32_t length = 0;
        uint64_t delivered = 0;
        while (reader.Next(bytes, length)) {
            sha.Add(bytes, length);
            delivered += length;
        }
        Sha256::Digest digest;
        sha.Finish(digest);
        // Read to the end of its stream, an entry of another size than the
        // largest can still be whole.
        const bool whole = range.compressed ? reader.facts.ended : reader.problem.empty();
        digests_.push_back(digest);
        for (size_t i = first; i < last; ++i)
            if (whole && delivered == stored[i][3] &&
                (!range.compressed || reader.facts.consumed == range.packedSize))
                digestOf_[stored[i][4]] = uint32_t(digests_.size() - 1);
        first = last;
    }
}

const Sha256::Digest* EntryDigests::Find(uint32_t entry) const
{
    return entry < digestOf_.size() && digestOf_[entry] != kNone ? &digests_[digestOf_[entry]]
                                                                 : nullptr;
}
