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

void PutHeader(const HeaderFields& header, std::string& out)
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
    std::string extra = header.extra.substr(0, 256);
    extra.resize(256, '\0');
    out += extra;
}

void PutRecord(uint32_t version, const RecordFields& record, std::string& index)
{
    PutU32(index, record.nameLength);
    index += record.name;
    PutU32(index, record.offset);
    PutU32(index, record.unused);
    PutU32(index, record.size);
    if (version == 0)
        return;
    PutU32(index, record.compressed);
    PutU32(index, record.packedSize);
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
