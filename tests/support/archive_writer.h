#pragma once
// Builds .pak archives for tests, so fixtures are made by the tests rather
// than committed as opaque binaries: a spec of entries over the archive
// writer of pak/. Every stored field can be made wrong on purpose through
// the optional overrides.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct PakEntry {
    std::string name;
    std::string data;
    bool compress = false;  // v1/v2 only: store data as one zlib stream
    // Deliberate faults: the value stored instead of the right one.
    std::optional<uint32_t> nameLength, offset, unused, size, compressedWord, packedSize;
};

struct PakSpec {
    uint32_t version = 2;
    int32_t revision = 0;
    std::vector<PakEntry> entries;
    std::string extra;  // v2: up to 256 bytes of the extra block
    std::optional<uint32_t> count, indexSize, packedIndexSize;
    // v1/v2: replace the packed index with these bytes (a corrupt stream).
    std::optional<std::string> packedIndex;
};

// An entry stored as it is, or as one zlib stream.
PakEntry Raw(const std::string& name, const std::string& data);
PakEntry Packed(const std::string& name, const std::string& data);

// The archive's bytes. v0 stores data after the index at absolute offsets;
// v1/v2 store the index as one zlib stream and data after it.
std::string BuildPak(const PakSpec& spec);

// A zlib stream (RFC 1950) of data, at the given level.
std::string ZlibCompress(const std::string& data, int level = 6);

// A zlib stream of `count` copies of unit, deflated piece by piece: for
// streams that inflate to far more than a test could hold.
std::string ZlibStreamOfCopies(const std::string& unit, uint64_t count, int level = 9);

// A format-2 archive of the given revision holding one raw entry, data.bin.
std::string ArchiveOfRevision(int32_t revision, const std::string& data);
