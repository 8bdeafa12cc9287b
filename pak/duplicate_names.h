#pragma once
// Entries the updater's lookup cannot tell from an earlier one: names equal
// with case ignored as the lookup ignores it (name_matcher.h). The lookup
// always delivers the first; a later one is never found.
//
// Memory stays at 12 bytes per name, whatever the names' lengths: names are
// kept as 64-bit hashes of their lookup keys, and only names whose hashes
// meet are read again from the index to be compared in full.

#include <array>
#include <cstdint>
#include <utility>
#include <vector>
#include "pak/archive_file.h"

class DuplicateNames {
public:
    // Each later entry whose name repeats an earlier one's, with that
    // earlier entry (the first of its name), ordered by the later entry.
    std::vector<std::pair<uint32_t, uint32_t>> repeats;

    DuplicateNames();
    virtual ~DuplicateNames();

    // entry: the record's number in index order; added in that order.
    void Add(uint32_t entry, const char* name, uint32_t length);

    // Fills repeats; reads archive's index again when two hashes meet.
    void Resolve(ArchiveFile& archive);

private:
    // Per name: the hash's high and low word, then the entry; sorted, they
    // put equal hashes side by side in entry order.
    std::vector<std::array<uint32_t, 3>> slots_;
};
