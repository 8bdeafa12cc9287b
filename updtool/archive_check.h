#pragma once
// verify's checks: every bound and every entry of an archive, read with the
// updater's own index reader, so that what passes here is what the updater
// can deliver.
//
// Archive level: the file holds the whole header; a known version; a
// version 1/2 index that is not stated as 0 bytes while entries are
// counted; the packed index within the file, inflating to exactly indexSize
// bytes and its stream taking exactly packedIndexSize bytes; records that
// take exactly indexSize bytes (or, version 0, stay within the file).
// Each entry: a name that extract would write (no NUL byte, nothing that
// leaves a folder or names a device: entry_name_rule.h) and that no earlier
// entry has already, to the lookup; its stored bytes within the file and
// below 2 GiB; a compressed entry plausible for its packed size, inflating
// to exactly its size with a stream exactly its packed size; no data
// overlapping another entry's (entries may share the very same bytes) or,
// version 0, the index.
//
// Bounded for hostile archives: each distinct stored range is inflated
// once, however many entries share it, and never past the largest size
// stated for it; data overlapping other data is not inflated; memory holds
// a few words per entry, never the entries' names, and the first problems
// in full (the rest are counted).

#include <cstdint>
#include <string>
#include <vector>
#include "pak/archive_file.h"

// Problems kept in full; more are only counted.
const size_t kShownProblems = 100;

class ArchiveProblem {
public:
    bool forEntry;
    std::string entry;    // forEntry: the entry's name as stored (code page 932)
    std::string message;  // UTF-8, one line

    ArchiveProblem(bool forEntry, const std::string& entry, const std::string& message)
        : forEntry(forEntry), entry(entry), message(message)
    {
    }
    virtual ~ArchiveProblem() {}
};

class ArchiveReport {
public:
    uint32_t version;
    uint32_t count;          // as the header states it
    uint32_t checked;        // entries whose records could be read
    uint64_t unpackedSize;   // the sizes of those entries, summed
    uint64_t problemCount;   // all problems found
    std::vector<ArchiveProblem> problems;  // the first kShownProblems: the archive's, then by entry

    ArchiveReport() : version(0), count(0), checked(0), unpackedSize(0), problemCount(0) {}
    virtual ~ArchiveReport() {}
};

// archive: open on the archive file, at its start, for the index; data:
// open on the same file, for the entries' data.
void CheckArchive(ArchiveFile& archive, ArchiveFile& data, ArchiveReport& report);
