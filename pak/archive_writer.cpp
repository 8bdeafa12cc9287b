#include "pak/archive_writer.h"

#include <zlib.h>
#include "base/little_endian.h"

namespace {

void PutU32(std::string& out, uint32_t value)
{
    unsigned char word[4];
    StoreU32(word, value);
    out.append(reinterpret_cast<const char*>(word), 4);
}

}  // namespace

void PutHeader(const ArchiveHeader& header, std::string& out)
{
    PutU32(out, header.version);
    PutU32(out, header.count);
    if (header.version == 0)
        return;
    PutU32(out, header.indexSize);
    PutU32(out, header.packedIndexSize);
    if (header.version == 1)
        return;
    PutU32(out, header.revision);
    out.append(reinterpret_cast<const char*>(header.extra), sizeof header.extra);
}

void PutRecord(uint32_t version, const IndexRecord& record, std::string& index, uint32_t unused)
{
    PutU32(index, record.nameLength);
    index.append(record.name, record.nameLength);
    PutU32(index, record.offset);
    PutU32(index, unused);
    PutU32(index, record.size);
    if (version == 0)
        return;
    PutU32(index, record.compressed);
    PutU32(index, record.packedSize);
}

void SetWord(std::string& bytes, size_t at, uint32_t value)
{
    StoreU32(reinterpret_cast<unsigned char*>(&bytes[at]), value);
}

bool DeflateBlock(const void* data, size_t n, int level, std::string& out)
{
    uLongf length = compressBound(uLong(n));
    out.assign(length, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&out[0]), &length, static_cast<const Bytef*>(data),
                  uLong(n), level) != Z_OK)
        return false;
    out.resize(length);
    return true;
}
