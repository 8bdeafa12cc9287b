#include "base/buffer.h"

#include <windows.h>

#include "base/exceptions.h"

Buffer::Buffer() : size(0), data(nullptr) {}

Buffer::Buffer(uint32_t n) : Buffer()
{
    Allocate(n);
}

Buffer::~Buffer()
{
    if (data != nullptr)
        VirtualFree(data, 0, MEM_RELEASE);
    size = 0;
    data = nullptr;
}

void Buffer::Allocate(uint32_t n)
{
    // The old block goes first, so a failed request leaves none behind.
    if (data != nullptr)
        VirtualFree(data, 0, MEM_RELEASE);
    size = n;
    data = nullptr;
    if (n != 0)
        data = VirtualAlloc(nullptr, n, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (data == nullptr)
        RaiseNoMemory();
}
