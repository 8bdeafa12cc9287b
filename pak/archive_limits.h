#pragma once
// The bounds the archive reader holds every archive to. The publisher's tool
// builds and checks archives against the same values, so that what it makes
// the updater can read.

#include <cstdint>

// Every byte read lies below 2 GiB: offsets are used as signed 32-bit values.
const uint64_t kMaxDataEnd = 0x80000000u;

// Largest v1/v2 index block the reader will ask for, whatever the header says.
const uint32_t kMaxIndexSize = 256u << 20;

// deflate's best case is about 1032 output bytes per input byte; an index or
// entry that claims more than that of its packed length cannot be genuine.
const uint64_t kMaxInflateRatio = 1032;
const uint64_t kInflateSlack = 64;

inline bool InflatedSizePlausible(uint64_t size, uint64_t packedSize)
{
    return size <= packedSize * kMaxInflateRatio + kInflateSlack;
}
