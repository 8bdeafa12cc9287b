#pragma once
// Shared by the benchmark programs: timing that compares two ways fairly on
// a machine other programs may be using, and zlib alone as a baseline.

#include <windows.h>
#include <zlib.h>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "base/little_endian.h"

inline double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

// Runs the jobs in turn, `runs` rounds, and returns each one's shortest
// time: time lost to other processes is filtered out without favouring
// either side.
inline std::vector<double> BestAlternating(int runs, const std::vector<std::function<void()>>& jobs)
{
    std::vector<double> best(jobs.size(), 1e30);
    for (int round = 0; round < runs; ++round) {
        for (size_t i = 0; i < jobs.size(); ++i) {
            const double start = Now();
            jobs[i]();
            best[i] = std::min(best[i], Now() - start);
        }
    }
    return best;
}

// A fresh folder under the temp folder, named by prefix and process id.
inline std::string BenchmarkFolder(const char* prefix)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = temp + std::string(prefix) + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

inline bool WriteWhole(const std::string& path, const std::string& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

// zlib alone: the packed index of a version-2 archive from the file into a
// fresh block from the page allocator. False when the archive does not read.
inline bool InflateIndexAlone(const char* archive)
{
    FILE* f = fopen(archive, "rb");
    if (!f)
        return false;
    unsigned char header[276];
    bool ok = fread(header, 1, sizeof header, f) == sizeof header;
    const uint32_t indexSize = LoadU32(header + 8), packedSize = LoadU32(header + 12);
    std::unique_ptr<unsigned char[]> packed(new unsigned char[ok ? packedSize : 1]);
    ok = ok && fread(packed.get(), 1, packedSize, f) == packedSize;
    fclose(f);
    if (!ok)
        return false;
    void* block = VirtualAlloc(nullptr, indexSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    uLongf length = indexSize;
    ok = block && uncompress(static_cast<Bytef*>(block), &length, packed.get(), packedSize) == Z_OK &&
         length == indexSize;
    VirtualFree(block, 0, MEM_RELEASE);
    return ok;
}
