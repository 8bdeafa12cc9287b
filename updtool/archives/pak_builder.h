#pragma once
// Writes a .pak archive of format 0, 1 or 2 (layout in pak/archive_index.cpp),
// its bytes through pak/archive_writer.h.
//
// The index goes before the data, but its packed length is known only once
// every entry has been compressed; so entries' data go to a temporary data
// file first and are copied behind the index at the end. Memory holds the
// index records and one entry's buffers, never the archive.
//
// The bytes depend only on the entries added (names, data, order), the
// format, the revision and the level: no times, no host details.
//
// Failures throw ToolError; a write to a temporary file that fails throws
// TemporaryFile's OCErrorException, with the system's error as its code.

#include <zlib.h>
#include <cstdint>
#include <string>
#include <vector>
#include "base/owned.h"
#include "pak/archive_writer.h"
#include "paths/temporary_file.h"

class PakBuilder {
public:
    uint32_t entries;
    uint32_t compressedEntries;
    uint64_t dataRead;  // bytes of the source files read so far

    // folder: where the temporary data file is made (a new file, removed
    // when the builder ends).
    PakBuilder(uint32_t version, int32_t revision, int level, const std::wstring& folder);
    PakBuilder(const PakBuilder&) = delete;
    PakBuilder& operator=(const PakBuilder&) = delete;
    virtual ~PakBuilder();

    // Adds the next entry, its data read from source: as one zlib stream
    // when compress is set (formats 1 and 2) and that makes it smaller,
    // else raw. listedSize: the source's size as listed, checked before a
    // byte is read. Refused when the source cannot be read or the archive
    // would reach past 2 GiB, which the updater cannot read.
    void Add(const std::string& name, const std::wstring& source, uint64_t listedSize,
             bool compress);

    // Writes the archive to out: header, index, then the data. Returns its
    // size in bytes.
    uint64_t Finish(TemporaryFile& out);

private:
    uint64_t Store(HANDLE in, const std::string& what, bool compress, uint64_t& size);
    std::string Index(uint32_t base) const;

    uint32_t version_;
    int32_t revision_;
    int level_;
    TemporaryFile data_;
    Handle dataReader_;  // the same file, to copy it behind the index
    uint64_t dataSize_;  // bytes of the data area written
    std::vector<RecordFields> records_;  // offsets from the data area
    std::vector<unsigned char> in_;
    std::vector<unsigned char> out_;
    z_stream stream_;
    bool streamReady_;
};
