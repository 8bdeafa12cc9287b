#include "tests/support/archive_writer.h"

#include <zlib.h>
#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {

void PutU32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(char((value >> shift) & 0xFF));
}

// The fields every version's entry record begins with: name length, name,
// offset (dataOffset unless overridden), the unused word and size.
void PutEntryHead(std::string& index, const PakEntry& e, uint32_t dataOffset)
{
    PutU32(index, e.nameLength.value_or(uint32_t(e.name.size())));
    index += e.name;
    PutU32(index, e.offset.value_or(dataOffset));
    PutU32(index, e.unused.value_or(0));
    PutU32(index, e.size.value_or(uint32_t(e.data.size())));
}

}  // namespace

std::string ZlibCompress(const std::string& data, int level)
{
    uLongf length = compressBound(uLong(data.size()));
    std::string out(length, '\0');
    const int rc = compress2(reinterpret_cast<Bytef*>(&out[0]), &length,
                             reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()), level);
    if (rc != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(length);
    return out;
}

std::string BuildPak(const PakSpec& spec)
{
    // Each entry's stored bytes: raw data, or (v1/v2) its zlib stream.
    std::vector<std::string> stored;
    for (const PakEntry& e : spec.entries)
        stored.push_back(spec.version != 0 && e.compress ? ZlibCompress(e.data) : e.data);

    const uint32_t count = spec.count.value_or(uint32_t(spec.entries.size()));
    std::string index;
    std::string data;
    if (spec.version == 0) {
        // Offsets are absolute: data follows the plain index.
        uint32_t indexLength = 0;
        for (const PakEntry& e : spec.entries)
            indexLength += 16 + uint32_t(e.name.size());
        uint32_t at = 8 + indexLength;  // behind the 8-byte header
        for (size_t i = 0; i < spec.entries.size(); ++i) {
            const PakEntry& e = spec.entries[i];
            PutEntryHead(index, e, at);
            data += stored[i];
            at += uint32_t(stored[i].size());
        }
        std::string out;
        PutU32(out, 0);
        PutU32(out, count);
        return out + index + data;
    }

    uint32_t at = 0;
    for (size_t i = 0; i < spec.entries.size(); ++i) {
        const PakEntry& e = spec.entries[i];
        PutEntryHead(index, e, at);
        PutU32(index, e.compressedWord.value_or(e.compress ? 1 : 0));
        PutU32(index, e.packedSize.value_or(uint32_t(stored[i].size())));
        data += stored[i];
        at += uint32_t(stored[i].size());
    }
    const std::string packed = spec.packedIndex.value_or(ZlibCompress(index));

    std::string out;
    PutU32(out, spec.version);
    PutU32(out, count);
    PutU32(out, spec.indexSize.value_or(uint32_t(index.size())));
    PutU32(out, spec.packedIndexSize.value_or(uint32_t(packed.size())));
    if (spec.version == 2) {
        PutU32(out, uint32_t(spec.revision));
        std::string extra = spec.extra.substr(0, 256);
        extra.resize(256, '\0');
        out += extra;
    } else if (spec.version != 1) {
        // Unknown versions: the v2 layout, so a reader that guesses is caught.
        PutU32(out, uint32_t(spec.revision));
        out += std::string(256, '\0');
    }
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
