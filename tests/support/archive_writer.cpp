#include "tests/support/archive_writer.h"

#include <zlib.h>
#include <algorithm>
#include <stdexcept>
#include <vector>
#include "pak/archive_writer.h"

namespace {

// The record as stored: the entry's fields, or the overrides.
void PutEntry(uint32_t version, const PakEntry& e, uint32_t dataOffset, uint32_t stored,
              std::string& index)
{
    RecordFields record;
    record.name = e.name;
    record.nameLength = e.nameLength.value_or(uint32_t(e.name.size()));
    record.offset = e.offset.value_or(dataOffset);
    record.unused = e.unused.value_or(0);
    record.size = e.size.value_or(uint32_t(e.data.size()));
    record.compressed = e.compressedWord.value_or(e.compress ? 1 : 0);
    record.packedSize = e.packedSize.value_or(stored);
    PutRecord(version, record, index);
}

}  // namespace

std::string ZlibCompress(const std::string& data, int level)
{
    std::string out;
    if (!DeflateBlock(data.data(), data.size(), level, out))
        throw std::runtime_error("compress2 failed");
    return out;
}

std::string BuildPak(const PakSpec& spec)
{
    // Each entry's stored bytes: raw data, or (v1/v2) its zlib stream.
    std::vector<std::string> stored;
    for (const PakEntry& e : spec.entries)
        stored.push_back(spec.version != 0 && e.compress ? ZlibCompress(e.data) : e.data);

    std::string index, data;
    // v0 offsets are absolute: data follows the header and plain index.
    uint32_t at = 0;
    if (spec.version == 0) {
        at = 8;
        for (const PakEntry& e : spec.entries)
            at += 16 + uint32_t(e.name.size());
    }
    for (size_t i = 0; i < spec.entries.size(); ++i) {
        PutEntry(spec.version, spec.entries[i], at, uint32_t(stored[i].size()), index);
        data += stored[i];
        at += uint32_t(stored[i].size());
    }
    HeaderFields header;
    header.version = spec.version;
    header.count = spec.count.value_or(uint32_t(spec.entries.size()));
    std::string out;
    if (spec.version == 0) {
        PutHeader(header, out);
        return out + index + data;
    }
    const std::string packed = spec.packedIndex.value_or(ZlibCompress(index));
    header.indexSize = spec.indexSize.value_or(uint32_t(index.size()));
    header.packedIndexSize = spec.packedIndexSize.value_or(uint32_t(packed.size()));
    header.revision = uint32_t(spec.revision);
    // Unknown versions: the v2 layout, so a reader that guesses is caught.
    if (spec.version == 2)
        header.extra = spec.extra;
    PutHeader(header, out);
    return out + packed + data;
}

std::string ArchiveOfRevision(int32_t revision, const std::string& data)
{
    PakSpec spec;
    spec.version = 2;
    spec.revision = revision;
    PakEntry entry;
    entry.name = "data.bin";
    entry.data = data;
    spec.entries.push_back(entry);
    return BuildPak(spec);
}

PakEntry Raw(const std::string& name, const std::string& data)
{
    PakEntry entry;
    entry.name = name;
    entry.data = data;
    return entry;
}

PakEntry Packed(const std::string& name, const std::string& data)
{
    PakEntry entry = Raw(name, data);
    entry.compress = true;
    return entry;
}

std::string ZlibStreamOfCopies(const std::string& unit, uint64_t count, int level)
{
    z_stream stream = {};
    deflateInit(&stream, level);
    // A block of whole copies, about a megabyte, fed again and again.
    const uint64_t perBlock = std::max<uint64_t>(1, (1u << 20) / std::max<size_t>(1, unit.size()));
    std::string block;
    for (uint64_t i = 0; i < perBlock; ++i)
        block += unit;
    std::string packed;
    std::vector<unsigned char> out(1 << 16);
    for (uint64_t left = count;;) {
        const uint64_t take = std::min(left, perBlock);
        left -= take;
        stream.next_in = reinterpret_cast<Bytef*>(&block[0]);
        stream.avail_in = uInt(take * unit.size());
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        int rc;
        do {
            stream.next_out = out.data();
            stream.avail_out = uInt(out.size());
            rc = deflate(&stream, flush);
            packed.append(reinterpret_cast<char*>(out.data()), out.size() - stream.avail_out);
        } while (stream.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
        if (left == 0)
            break;
    }
    deflateEnd(&stream);
    return packed;
}
