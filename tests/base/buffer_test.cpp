#include "base/buffer.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

namespace {

DWORD StateAt(const void* address)
{
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(address, &info, sizeof info) == 0)
        return 0;
    return info.State;
}

// Runs f and returns the bare code it raised, or 0.
template <class F>
DWORD RaisedCode(F f)
{
    try {
        f();
    } catch (DWORD code) {
        return code;
    }
    return 0;
}

}  // namespace

TEST(Buffer, HoldsCommittedReadWritePages)
{
    const uint32_t sizes[] = {1, 4096, 65536, 1000000};
    for (uint32_t n : sizes) {
        Buffer buffer(n);
        ASSERT_NE(buffer.data, nullptr) << n;
        EXPECT_EQ(buffer.size, n) << n;
        MEMORY_BASIC_INFORMATION info;
        ASSERT_NE(VirtualQuery(buffer.data, &info, sizeof info), 0u) << n;
        EXPECT_EQ(info.State, DWORD(MEM_COMMIT)) << n;
        EXPECT_EQ(info.Protect, DWORD(PAGE_READWRITE)) << n;
        EXPECT_GE(info.RegionSize, n) << n;
        unsigned char* bytes = static_cast<unsigned char*>(buffer.data);
        bytes[n - 1] = 2;
        bytes[0] = 1;
        EXPECT_EQ(bytes[0], 1) << n;
        EXPECT_EQ(bytes[n - 1], n == 1 ? 1 : 2) << n;
    }
}

TEST(Buffer, FailedRequestsRaiseNoMemory)
{
    const uint32_t sizes[] = {0, 0xFFFFF000u, 0x7FFFFFFFu};
    for (uint32_t n : sizes) {
        EXPECT_EQ(RaisedCode([n] { Buffer buffer(n); }), 0xC0000017u) << n;
        Buffer buffer;
        EXPECT_EQ(RaisedCode([&] { buffer.Allocate(n); }), 0xC0000017u) << n;
        EXPECT_EQ(buffer.size, n) << n;
        EXPECT_EQ(buffer.data, nullptr) << n;
    }  // destroying the failed Buffers releases nothing
}

TEST(Buffer, AllocateReleasesTheOldBlockFirst)
{
    Buffer buffer(8192);
    void* old = buffer.data;
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(RaisedCode([&] { buffer.Allocate(0xFFFFF000u); }), 0xC0000017u);
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(StateAt(old), DWORD(MEM_FREE));

    buffer.Allocate(4096);
    void* second = buffer.data;
    ASSERT_NE(second, nullptr);
    buffer.Allocate(65536);
    ASSERT_NE(buffer.data, nullptr);
    EXPECT_EQ(buffer.size, 65536u);
    if (buffer.data != second) {
        EXPECT_EQ(StateAt(second), DWORD(MEM_FREE));
    }
}

TEST(Buffer, DestructionReleasesTheBlock)
{
    void* address = nullptr;
    {
        Buffer buffer(65536);
        address = buffer.data;
        memset(address, 0xAB, 65536);
        EXPECT_EQ(StateAt(address), DWORD(MEM_COMMIT));
    }
    EXPECT_EQ(StateAt(address), DWORD(MEM_FREE));
}
