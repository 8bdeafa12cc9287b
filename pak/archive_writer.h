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
#include "pak/archive_header.h"
#include "pak/archive_index.h"

// Appends the header's fields for its version: 8 bytes (v0), 16 (v1) or
// 276 (v2, with extra). An unknown version is written in the v2 layout.
void PutHeader(const ArchiveHeader& header, std::string& out);

// Appends one index record of the version's layout: name length, name,
// offset, unused word, size, and for v1/v2 compressed and packedSize.
void PutRecord(uint32_t version, const IndexRecord& record, std::string& index,
               uint32_t unused = 0);

// Overwrites the word at `at` of bytes written here (a record's offset lies
// 4 + nameLength bytes into it).
void SetWord(std::string& bytes, size_t at, uint32_t value);

// A zlib stream (RFC 1950) of n bytes at level; false when zlib fails.
bool DeflateBlock(const void* data, size_t n, int level, std::string& out);
