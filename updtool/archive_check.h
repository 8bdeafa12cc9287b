#pragma once
// verify's checks: every bound and every entry of an archive, read with the
// updater's own index reader, so that what passes here is what the updater
// can deliver.
//
// Archive level: the file holds the whole header; a known version; a
// version 1/2 index that is not stated as 0 bytes while entries are
// counted; the packed index within the file, inflating to exactly
// indexSize bytes and its stream taking exactly packedIndexSize bytes; records that
// take exactly indexSize bytes (or, version 0, stay within the file).
// Each entry: no NUL byte in its name; its stored bytes within the file
// and below 2 GiB; a compressed entry inflating to exactly its size with a
// stream exactly its packed size; no data overlapping another entry's
// (entries may share the very same bytes) or, version 0, the index.

#include <cstdint>
#include <string>
#include <vector>
#include "pak/archive_file.h"

class ArchiveProblem {
public:
    std::string entry;    // the entry's name (UTF-8), "" for the archive
    std::string message;  // UTF-8, one line

    ArchiveProblem(const std::string& entry, const std::string& message)
        : entry(entry), message(message)
    {
    }
    virtual ~ArchiveProblem() {}
};

class ArchiveReport {
public:
    uint32_t version;
    uint32_t count;    // as the header states it
    uint32_t checked;  // entries whose records could be read
    std::vector<ArchiveProblem> problems;

    ArchiveReport() : version(0), count(0), checked(0) {}
    virtual ~ArchiveReport() {}
};

// archive: open on the archive file, at its start.
void CheckArchive(ArchiveFile& archive, ArchiveReport& report);
