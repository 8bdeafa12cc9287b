// Prints how the archive code compares with zlib alone in the same run:
//   pak_benchmark [entries=100000] [MiB=64]
// 1. opening the last entry of a version-2 archive with `entries` entries,
//    against inflating that archive's index with zlib alone;
// 2. reading a compressed entry of `MiB` MiB through ArchiveFile, against
//    zlib inflating the same stream from memory;
// 3. the private memory a fresh process adds while it opens that entry,
//    against the entry's size plus its archive's index.
// The goals are ratios of at most 1.3, at least 0.9 and about 1.0.

#include <windows.h>
#include <psapi.h>
#include <zlib.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "pak/archive_file.h"
#include "tests/support/archive_writer.h"

namespace {

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

template <class F>
double Best(int runs, F what)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double start = Now();
        what();
        best = std::min(best, Now() - start);
    }
    return best;
}

bool WriteWhole(const std::string& path, const std::string& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

size_t PrivateBytes(bool peak)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return peak ? counters.PeakPagefileUsage : counters.PagefileUsage;
}

// Child mode: open one entry and report how much private memory that took.
int MeasureOpen(const char* name)
{
    const size_t before = PrivateBytes(false);
    ArchiveFile file;
    if (!file.Open(name, ModeRead))
        return 1;
    printf("%lu %lu\n", (unsigned long)(PrivateBytes(true) - before),
           (unsigned long)(PrivateBytes(false) - before));
    return 0;
}

std::string PeakOfChild(const std::string& entryName)
{
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string command = "\"" + std::string(exe) + "\" --measure-open " + entryName;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return "";
    }
    CloseHandle(writeEnd);
    std::string out;
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got)
        out.append(buffer, got);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(readEnd);
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--measure-open")
        return MeasureOpen(argv[2]);
    const unsigned entries = argc > 1 ? unsigned(atoi(argv[1])) : 100000u;
    const unsigned mebibytes = argc > 2 ? unsigned(atoi(argv[2])) : 64u;

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    char folderName[64];
    wsprintfA(folderName, "pakbench%lu", GetCurrentProcessId());
    const std::string folder = std::string(temp) + folderName;
    CreateDirectoryA(folder.c_str(), nullptr);
    SetCurrentDirectoryA(folder.c_str());
    int status = 0;

    // 1. Index search.
    {
        PakSpec spec;
        spec.version = 2;
        for (unsigned i = 0; i < entries; ++i) {
            char name[64];
            wsprintfA(name, "data\\resource\\file%06u.dat", i);
            PakEntry entry;
            entry.name = name;
            entry.data = "x";
            spec.entries.push_back(entry);
        }
        const std::string last = spec.entries.back().name;
        const std::string archive = BuildPak(spec);
        if (!WriteWhole(folder + "\\index.pak", archive))
            return 2;
        // Index bytes from the archive's own header.
        auto word = [&](size_t at) {
            return uint32_t((unsigned char)archive[at]) | uint32_t((unsigned char)archive[at + 1]) << 8 |
                   uint32_t((unsigned char)archive[at + 2]) << 16 | uint32_t((unsigned char)archive[at + 3]) << 24;
        };
        const uint32_t indexSize = word(8), packedIndexSize = word(12);
        std::vector<unsigned char> index(indexSize);
        const double zlibAlone = Best(5, [&] {
            uLongf length = indexSize;
            uncompress(index.data(), &length, reinterpret_cast<const Bytef*>(archive.data() + 276),
                       packedIndexSize);
        });
        // The search inflates into a fresh page-allocated block each time;
        // zlib alone is timed both ways, the fresh block being the fair one.
        const double zlibFresh = Best(5, [&] {
            void* block = VirtualAlloc(nullptr, indexSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
            uLongf length = indexSize;
            uncompress(static_cast<Bytef*>(block), &length,
                       reinterpret_cast<const Bytef*>(archive.data() + 276), packedIndexSize);
            VirtualFree(block, 0, MEM_RELEASE);
        });
        bool opened = false;
        const double search = Best(5, [&] {
            ArchiveFile file;
            opened = file.Open(last.c_str(), ModeRead);
        });
        printf("index: %u entries, %u bytes (%u packed): zlib %.2f ms into a warm block, %.2f ms into a "
               "fresh one; open of the last entry %.2f ms; ratio %.2f to the fresh block (goal <= 1.3), "
               "%.2f to the warm one%s\n",
               entries, indexSize, packedIndexSize, zlibAlone * 1e3, zlibFresh * 1e3, search * 1e3,
               search / zlibFresh, search / zlibAlone, opened ? "" : " NOT FOUND");
        status |= opened ? 0 : 1;
        DeleteFileA((folder + "\\index.pak").c_str());
    }

    // 2. A large compressed entry.
    {
        const size_t size = size_t(mebibytes) << 20;
        std::string data(size, '\0');
        uint32_t state = 12345;
        for (size_t i = 0; i < size; ++i) {
            // Text-like bytes: compresses to roughly a third.
            state = state * 1103515245u + 12345u;
            data[i] = char('a' + (state >> 16) % 26);
        }
        PakSpec spec;
        spec.version = 2;
        PakEntry entry;
        entry.name = "big.bin";
        entry.data.swap(data);
        entry.compress = true;
        spec.entries.push_back(entry);
        const std::string archive = BuildPak(spec);
        std::string stream = ZlibCompress(spec.entries[0].data);
        if (!WriteWhole(folder + "\\big.pak", archive))
            return 2;
        std::vector<unsigned char> out(size);
        const double zlibAlone = Best(3, [&] {
            uLongf length = uLongf(size);
            uncompress(out.data(), &length, reinterpret_cast<const Bytef*>(stream.data()), uLong(stream.size()));
        });
        // Both sides deliver into a block that is already there; only the
        // entry's own block is fresh, as it is in use.
        std::vector<char> copy(size);
        uint32_t delivered = 0;
        const double through = Best(3, [&] {
            ArchiveFile file;
            if (file.Open("big.bin", ModeRead))
                delivered = file.Read(copy.data(), uint32_t(copy.size()));
        });
        const bool same = delivered == size && std::equal(copy.begin(), copy.end(), spec.entries[0].data.begin());
        printf("entry: %u MiB (%u packed): zlib %.1f ms, ArchiveFile %.1f ms, speed ratio %.2f (goal >= 0.9)%s\n",
               mebibytes, unsigned(stream.size()), zlibAlone * 1e3, through * 1e3, zlibAlone / through,
               same ? "" : " WRONG DATA");
        status |= same ? 0 : 1;

        // 3. Memory of a fresh process while the entry is open.
        std::string().swap(stream);
        const std::string measured = PeakOfChild("big.bin");
        unsigned long peak = 0, held = 0;
        if (sscanf(measured.c_str(), "%lu %lu", &peak, &held) == 2) {
            const unsigned long expected = (unsigned long)size + 1024;  // entry + its small index
            printf("memory: peak %.2f MiB, held %.2f MiB while open; entry + index %.2f MiB, "
                   "ratio %.3f (goal about 1)\n",
                   peak / 1048576.0, held / 1048576.0, expected / 1048576.0, double(peak) / expected);
        } else {
            printf("memory: child did not report\n");
            status |= 1;
        }
        DeleteFileA((folder + "\\big.pak").c_str());
    }
    SetCurrentDirectoryA(temp);
    RemoveDirectoryA(folder.c_str());
    return status;
}
