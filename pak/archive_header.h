#pragma once
// The header of a .pak archive: all fields little-endian u32.
//   v0: version, count                                         (8 bytes)
//   v1: + indexSize, packedIndexSize                           (16 bytes)
//   v2: + revision, extra[256]                                 (276 bytes)

#include <cstdint>

class ArchiveFile;

class ArchiveHeader {
public:
    uint32_t version;
    uint32_t count;
    uint32_t indexSize;
    uint32_t packedIndexSize;
    uint32_t revision;
    unsigned char extra[256];

    ArchiveHeader();  // all fields 0
    virtual ~ArchiveHeader();

    // Reads the fields the version carries from the file's current position,
    // each by its own Read; a short read leaves the rest of a field as it was.
    // An unknown version reads nothing more.
    void Read(ArchiveFile& file);

    // 8, 16 or 276 by version; 4 for an unknown version.
    uint32_t Length() const;
};
