#pragma once
// One index entry of a .pak archive (layout in archive_index.cpp).

#include <cstdint>
#include "base/string.h"

class ArchiveEntry {
public:
    String name;
    uint32_t offset;      // v0: absolute; v1/v2: from the data area's start
    uint32_t size;        // bytes delivered to readers (inflated length)
    uint32_t compressed;  // v1/v2: nonzero = the data is one zlib stream
    uint32_t packedSize;  // v1/v2: stored length of a compressed entry

    ArchiveEntry();
    virtual ~ArchiveEntry();
};
