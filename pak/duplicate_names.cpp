#include "pak/duplicate_names.h"

#include <algorithm>
#include <map>
#include "pak/index_walk.h"
#include "pak/name_matcher.h"

namespace {

// FNV-1a over the key's characters.
uint64_t HashOf(const LookupKey& key)
{
    uint64_t hash = 14695981039346656037ull;
    for (const char32_t c : key) {
        for (int shift = 0; shift < 32; shift += 8) {
            hash ^= (uint32_t(c) >> shift) & 0xFF;
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

}  // namespace

DuplicateNames::DuplicateNames() {}

DuplicateNames::~DuplicateNames() {}

void DuplicateNames::Add(uint32_t entry, const char* name, uint32_t length)
{
    const uint64_t hash = HashOf(LookupKeyOf(name, length));
    slots_.push_back({uint32_t(hash >> 32), uint32_t(hash), entry});
}

void DuplicateNames::Resolve(ArchiveFile& archive)
{
    repeats.clear();
    std::sort(slots_.begin(), slots_.end());
    // Entries whose hash another shares: only their names are read again.
    std::vector<uint32_t> candidates;
    for (size_t i = 0; i + 1 < slots_.size(); ++i) {
        if (slots_[i][0] == slots_[i + 1][0] && slots_[i][1] == slots_[i + 1][1]) {
            candidates.push_back(slots_[i][2]);
            candidates.push_back(slots_[i + 1][2]);
        }
    }
    std::vector<std::array<uint32_t, 3>>().swap(slots_);
    if (candidates.empty())
        return;
    std::sort(candidates.begin(), candidates.end());
    // In index order, so the first entry of each name is met first. Only
    // distinct names are kept.
    std::map<LookupKey, uint32_t> firstOf;
    WalkIndex(archive, [&](uint32_t entry, const ArchiveIndex&, const IndexRecord& record) {
        if (!std::binary_search(candidates.begin(), candidates.end(), entry))
            return true;
        const auto inserted = firstOf.emplace(
            LookupKeyOf(record.name, NameTextLength(record.name, record.nameLength)), entry);
        if (!inserted.second)
            repeats.emplace_back(entry, inserted.first->second);
        return true;
    });
}
