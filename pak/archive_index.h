#pragma once
// One archive's index, read record by record exactly as the archive search
// reads it (layout in archive_index.cpp). An archive comes from the update
// folder and may be damaged or hostile: every length is checked against what
// the file or the inflated index really holds before it is used.

#include <cstdint>
#include <vector>
#include "base/buffer.h"
#include "pak/archive_file.h"
#include "pak/archive_header.h"

// One index record. The name lies in place (in the index block, or in the
// reader's name buffer for version 0): nameLength bytes, not terminated,
// valid until the next record is read.
class IndexRecord {
public:
    const char* name;
    uint32_t nameLength;
    uint32_t offset;      // v0: absolute; v1/v2: from the data area's start
    uint32_t size;        // bytes delivered to readers
    uint32_t compressed;  // v1/v2: nonzero = one zlib stream
    uint32_t packedSize;  // v1/v2: stored length of a compressed entry

    IndexRecord();
    virtual ~IndexRecord();
};

class ArchiveIndex {
public:
    ArchiveHeader header;
    uint64_t fileSize;  // length of the archive file
    uint64_t dataArea;  // file offset that record offsets count from
    // v1/v2 after Load: bytes of the packed index its zlib stream took; the
    // reader ignores any behind it, a check of the archive does not.
    uint32_t packedIndexUsed;

    // archive: open on the archive file, positioned at its start (or not
    // open at all, which reads as an empty version 0).
    explicit ArchiveIndex(ArchiveFile& archive);
    ArchiveIndex(const ArchiveIndex&) = delete;
    ArchiveIndex& operator=(const ArchiveIndex&) = delete;
    virtual ~ArchiveIndex();

    // Reads the header and, for versions 1 and 2, inflates the index into a
    // block of indexSize bytes. False: the archive holds no entries (an
    // unknown version, a v1/v2 index of 0 bytes). Raises OCErrorException
    // "データ解凍に失敗しました。" when the index cannot be read: a packed index
    // running past the file, one that cannot inflate to indexSize bytes
    // (too large for its packed length, or beyond the 256 MiB the reader
    // allows), or a corrupt stream.
    bool Load();

    // The next of `count` records; false once all were read. Raises the
    // inflate failure when a record runs past the index (versions 1 and 2)
    // or past the end of the file (version 0).
    bool Next(IndexRecord& record);

    // v1/v2: index bytes not taken by the records read so far.
    uint32_t UnreadIndexBytes() const;

    // Where the record's stored bytes begin in the file.
    uint64_t DataStart(const IndexRecord& record) const;
    // Whether the record's data can be delivered: its stored bytes lie in
    // the file (below 2 GiB), and a compressed record's stream is not empty
    // and could inflate to its size.
    bool CanDeliver(const IndexRecord& record) const;

private:
    ArchiveFile& archive_;
    uint32_t read_;
    Buffer block_;                // v1/v2: the inflated index
    ArchiveFile blockReader_;     // v1/v2: reads the block in memory mode
    std::vector<char> nameBuffer_;  // v0: the current record's name
};
