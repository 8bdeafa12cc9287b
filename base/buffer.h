#pragma once
// Buffer: one block of committed read-write pages from the page allocator
// (VirtualAlloc), released on destruction. Never copied.

#include <cstdint>

class Buffer {
public:
    uint32_t size;  // byte count last requested
    void* data;     // null when no block is held

    Buffer();
    explicit Buffer(uint32_t n);  // as Allocate(n)
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    virtual ~Buffer();

    // Releases a held block first, then size := n and asks for n bytes. When
    // no block comes (also for n == 0) raises STATUS_NO_MEMORY; size keeps n
    // and data stays null.
    void Allocate(uint32_t n);
};
