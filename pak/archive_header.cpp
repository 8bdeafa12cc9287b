#include "pak/archive_header.h"

#include <cstring>
#include "pak/archive_file.h"

ArchiveHeader::ArchiveHeader()
    : version(0), count(0), indexSize(0), packedIndexSize(0), revision(0)
{
    std::memset(extra, 0, sizeof extra);
}

ArchiveHeader::~ArchiveHeader() {}

void ArchiveHeader::Read(ArchiveFile& file)
{
    // Fields are little-endian on disk, as on the (x86) target; each is read
    // on its own so that a short file leaves the missing fields at 0.
    file.Read(&version, 4);
    if (version > 2)
        return;
    file.Read(&count, 4);
    if (version == 0)
        return;
    file.Read(&indexSize, 4);
    file.Read(&packedIndexSize, 4);
    if (version == 1)
        return;
    file.Read(&revision, 4);
    file.Read(extra, sizeof extra);
}

uint32_t ArchiveHeader::Length() const
{
    switch (version) {
    case 0: return 8;
    case 1: return 16;
    case 2: return 276;
    default: return 4;
    }
}
