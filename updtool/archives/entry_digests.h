#pragma once
// The SHA-256 of each entry's data as the updater delivers it, for list
// --json and compare. Bounded for hostile archives: each distinct stored
// range is read (or inflated) once, however many entries share it, and
// never past the largest size stated for it; memory holds a word per entry
// and a digest per distinct range.

#include <cstdint>
#include <string>
#include <vector>
#include "pak/archive_file.h"
#include "system/sha256.h"

class EntryDigests {
public:
    virtual ~EntryDigests() {}

    // archive: open on the archive, for its index; data: open on the same
    // file, for the entries' data. Reads the index and every entry.
    void Compute(ArchiveFile& archive, ArchiveFile& data);

    // The digest of entry (numbered from 0 in index order), or null when
    // its data cannot be delivered whole.
    const Sha256::Digest* Find(uint32_t entry) const;

private:
    std::vector<uint32_t> digestOf_;  // per entry: its digest in digests_
    std::vector<Sha256::Digest> digests_;  // each distinct range's
};
