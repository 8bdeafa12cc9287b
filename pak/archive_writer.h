#pragma once
// The writing side of the .pak format (layout in archive_index.cpp): the
// header and index records as bytes, and the one zlib stream a packed index
// or a compressed entry is stored as. Everything that writes an archive
// (the publisher's tool, the tests' fixtures) puts its bytes through here,
// so that what is written is what the reader reads.
//
// Values are written as given: a caller that wants a damaged archive (a
// test) passes wrong ones; nothing here judges them.

#include <cstdint>
#include <string>

// The fields of a header or an index record as written; the same names as
// the reader's ArchiveHeader and IndexRecord, without their dependencies,
// so that a program that only writes archives needs nothing of the reader.
class HeaderFields {
public:
    uint32_t version = 2;
    uint32_t count = 0;
    uint32_t indexSize = 0;        // v1/v2
    uint32_t packedIndexSize = 0;  // v1/v2
    uint32_t revision = 0;         // v2
    std::string extra;             // v2: up to 256 bytes, the rest zeroed

    virtual ~HeaderFields() {}
};

class RecordFields {
public:
    std::string name;
    uint32_t nameLength = 0;  // as stored: name.size() unless made wrong
    uint32_t offset = 0;
    uint32_t unused = 0;
    uint32_t size = 0;
    uint32_t compressed = 0;  // v1/v2
    uint32_t packedSize = 0;  // v1/v2

    virtual ~RecordFields() {}
};

// Appends the header's fields for its version: 8 bytes (v0), 16 (v1) or
// 276 (v2). An unknown version is written in the v2 layout.
void PutHeader(const HeaderFields& header, std::string& out);

// Appends one index record of the version's layout: name length, name,
// offset, unused word, size, and for v1/v2 compressed and packedSize.
void PutRecord(uint32_t version, const RecordFields& record, std::string& index);

// A zlib stream (RFC 1950) of n bytes at level; false when zlib fails.
bool DeflateBlock(const void* data, size_t n, int level, std::string& out);
