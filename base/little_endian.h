#pragma once
// The 32-bit little-endian fields of the formats the programs read and write
// (archive header and index, the update journal), on any host: every field
// goes through these two.

#include <cstdint>

inline uint32_t LoadU32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void StoreU32(unsigned char* p, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(value >> (8 * i));
}
