// The .pak archive format (the updater only reads archives).
//
// Every integer is an unsigned 32-bit little-endian word; there is no magic,
// checksum, padding or alignment.
//
// Header:
//   0   version          0, 1 or 2
//   4   count            entries in the index
//   8   indexSize        v1/v2: index length after inflating
//   12  packedIndexSize  v1/v2: index length as stored (one zlib stream)
//   16  revision         v2: revision of the contents (signed decimal text)
//   20  extra[256]       v2: not interpreted
// Header length: 8 (v0), 16 (v1), 276 (v2).
//
// Version 0: `count` plain entries from offset 8, each
//   u32 nameLength, name bytes (no terminator), u32 offset (absolute in the
//   file), u32 unused, u32 size
// and raw data anywhere behind the index.
//
// Versions 1 and 2: the packed index (packedIndexSize bytes, RFC 1950)
// follows the header and inflates to indexSize bytes of entries, each
//   u32 nameLength, name, u32 offset (from the data area), u32 unused,
//   u32 size (as delivered), u32 compressed (nonzero: zlib stream),
//   u32 packedSize (stored length of a compressed entry)
// The data area starts at header length + packedIndexSize.
//
// Names are ANSI code page bytes (Shift-JIS) and may hold backslash-separated
// directories. The first entry in index order whose name begins with the
// sought name (case-insensitive) wins; names need not be sorted or unique.
//
// An archive comes from the update folder and may be damaged or hostile.
// Every length is checked against what the file or the inflated index really
// holds before it is used, so nothing is read outside them and no block is
// allocated out of proportion to the file. An unknown version, or a v1/v2
// index of 0 bytes, holds no entries. Any other damage met on the way to the
// entry a lookup uses is reported, never passed over (a damaged archive must
// not silently give way to an older copy in a later one); it ends in
// "データ解凍に失敗しました。", as a stream that does not inflate does:
//   - a packed index running past the file, an index larger than zlib can
//     make of its packed bytes or larger than 256 MiB, a corrupt index
//     stream, or one that inflates to more or fewer bytes than indexSize;
//   - a record running past the index (or past the end of a v0 file);
//   - the matching entry's data lying outside the file, or its stream being
//     empty or unable to inflate to exactly its size.

#include "pak/archive_index.h"

#include <cstring>
#include "base/little_endian.h"
#include "pak/archive_damage.h"
#include "pak/archive_limits.h"

namespace {

// A v1/v2 record: name length, name, offset, unused, size, compressed, packed.
const uint32_t kPackedRecordWords = 20;
// A v0 record behind its name: offset, unused, size.
const uint32_t kPlainRecordWords = 12;

// The next n bytes of a memory-mode reader, in place, or null (the reader
// unmoved) when fewer remain: Read without the copy.
const unsigned char* Take(ArchiveFile& reader, uint32_t n)
{
    const uint32_t at = uint32_t(reader.memoryCursor - reader.memory);
    if (n > reader.memorySize - at)
        return nullptr;
    const unsigned char* bytes = reader.memoryCursor;
    reader.memoryCursor += n;
    reader.position += n;
    return bytes;
}

}  // namespace

IndexRecord::IndexRecord()
    : name(""), nameLength(0), offset(0), size(0), compressed(0), packedSize(0)
{
}

IndexRecord::~IndexRecord() {}

ArchiveIndex::ArchiveIndex(ArchiveFile& archive)
    : fileSize(0), dataArea(0), packedIndexUsed(0), archive_(archive), read_(0)
{
}

ArchiveIndex::~ArchiveIndex() {}

bool ArchiveIndex::Load()
{
    // The length before the header: a seek after the header read would
    // throw away the stream buffer that read filled.
    fileSize = archive_.file ? archive_.Size() : 0;
    header.Read(archive_);
    read_ = 0;
    if (header.version == 0)
        return true;
    if (header.version > 2 || header.indexSize == 0)
        return false;

    const uint64_t headerLength = header.Length();
    if (fileSize < headerLength || header.packedIndexSize > fileSize - headerLength ||
        header.indexSize > kMaxIndexSize ||
        !InflatedSizePlausible(header.indexSize, header.packedIndexSize))
        RaiseDamagedArchive();
    block_.Allocate(header.indexSize);
    if (archive_.Decompress(header.packedIndexSize, block_.data, header.indexSize,
                            &packedIndexUsed) != header.indexSize)
        RaiseDamagedArchive();
    blockReader_.AttachMemory(block_.data, header.indexSize, false);
    dataArea = headerLength + header.packedIndexSize;
    return true;
}

bool ArchiveIndex::Next(IndexRecord& record)
{
    if (read_ >= header.count)
        return false;
    ++read_;
    if (header.version == 0) {
        // Straight from the stream, without seeking back: a seek would drop
        // the stream's buffer for every record.
        unsigned char word[4];
        if (archive_.Read(word, 4) != 4)
            RaiseDamagedArchive();
        const uint32_t nameLength = LoadU32(word);
        const uint64_t at = archive_.position;
        if (at > fileSize || nameLength > fileSize - at ||
            fileSize - at - nameLength < kPlainRecordWords)
            RaiseDamagedArchive();
        if (nameBuffer_.size() < nameLength)
            nameBuffer_.resize(nameLength);
        unsigned char words[kPlainRecordWords];
        if (archive_.Read(nameBuffer_.data(), nameLength) != nameLength ||
            archive_.Read(words, kPlainRecordWords) != kPlainRecordWords)
            RaiseDamagedArchive();
        record.name = nameLength ? nameBuffer_.data() : "";
        record.nameLength = nameLength;
        record.offset = LoadU32(words);
        record.size = LoadU32(words + 8);
        record.compressed = 0;
        record.packedSize = 0;
        return true;
    }

    const unsigned char* word = Take(blockReader_, 4);
    if (!word)
        RaiseDamagedArchive();
    const uint32_t nameLength = LoadU32(word);
    const uint32_t left = UnreadIndexBytes();
    if (nameLength > left || left - nameLength < kPackedRecordWords)
        RaiseDamagedArchive();
    record.name = reinterpret_cast<const char*>(Take(blockReader_, nameLength));
    record.nameLength = nameLength;
    const unsigned char* words = Take(blockReader_, kPackedRecordWords);
    record.offset = LoadU32(words);
    record.size = LoadU32(words + 8);
    record.compressed = LoadU32(words + 12);
    record.packedSize = LoadU32(words + 16);
    return true;
}

uint32_t ArchiveIndex::UnreadIndexBytes() const
{
    if (!blockReader_.inMemory)
        return 0;
    return blockReader_.memorySize - uint32_t(blockReader_.memoryCursor - blockReader_.memory);
}

uint64_t ArchiveIndex::DataStart(const IndexRecord& record) const
{
    return dataArea + record.offset;
}

bool ArchiveIndex::CanDeliver(const IndexRecord& record) const
{
    const uint64_t stored = record.compressed ? record.packedSize : record.size;
    const uint64_t end = DataStart(record) + stored;
    if (end > fileSize || end > kMaxDataEnd)
        return false;
    return !record.compressed ||
           (record.packedSize != 0 && InflatedSizePlausible(record.size, record.packedSize));
}
