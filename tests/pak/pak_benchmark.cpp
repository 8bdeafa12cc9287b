// Prints how the archive code compares with zlib alone in the same run:
//   pak_benchmark [entries=100000] [MiB=64] [rounds=9]
// 1. Opening the last entry of a version-2 archive with `entries` entries,
//    against inflating that archive's index with zlib alone (goal: at most
//    1.3 times as long).
// 2. Reading a compressed entry of `MiB` MiB through ArchiveFile, against
//    zlib alone inflating the same stream (goal: at least 0.9 times the
//    speed).
// 3. The private memory a fresh process adds while it opens that entry,
//    against the entry's size plus its archive's index (goal: about 1).
// 2b. The updater's full check of that archive (every entry inflated and
//    its check value confirmed), against zlib alone inflating the same
//    entry (goal: at most 1.1 times as long), and as a share of copying
//    the archive.
// 4. A miss over a version-0 index of `entries` empty names, against one of
//    one-byte names (goal: about 1: the scan costs the same per record
//    whatever the name's length).
//
// How the two sides are timed. Each side does the whole job a program would
// do, starting from the archive on disk and ending with the bytes usable:
//  - zlib alone, index: open the archive, read its header and the packed
//    index in one read each, inflate with one uncompress() call into a fresh
//    block of indexSize bytes from the page allocator (as the search does),
//    release it. It knows where the index is and does no lookup.
//  - ours, index: ArchiveFile::Open of the last entry's name from the current
//    directory: directory and volume checks, listing and sorting the
//    archives, header, index inflated through the 4 KiB input buffer into a
//    fresh block, the scan of every entry, the copy of the entry record.
//  - zlib alone, entry: open the archive, read the whole stream in one read,
//    inflate it with one uncompress() call into a freshly allocated block of
//    the entry's size, release it. The bytes are then in the reader's hands,
//    so nothing is copied; that is the strictest baseline there is.
//  - ours, entry: Open of the entry (lookup, inflation into a fresh block
//    through the 4 KiB input buffer) and one Read of all of it into the
//    reader's buffer, which is allocated and touched once beforehand. The
//    line also shows the ratio against zlib plus that same copy, for a
//    reader that wants the bytes in its own buffer either way.
// Both sides allocate their output afresh every time, so page faults count
// on both, and both read the archive from the system's file cache. The machine may be shared: the sides run alternately, and each
// side's best (shortest) time of all repetitions is compared, which filters
// out time lost to other processes without favouring either side. The index
// jobs are short, so they get three times as many rounds. The ratios are
// printed, not enforced: timings say little on a loaded machine.

#include <windows.h>
#include <psapi.h>
#include <zlib.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "pak/archive_check.h"
#include "pak/archive_file.h"
#include "tests/support/archive_writer.h"
#include "tests/support/benchmark_support.h"
#include "tests/support/wait.h"

namespace {

// zlib alone: the one entry of a version-2 archive, whose stream fills the
// file behind the packed index, into a freshly allocated block of size
// bytes. With out, the bytes are then copied there.
bool InflateEntryAlone(const char* archive, size_t size, char* out)
{
    FILE* f = fopen(archive, "rb");
    if (!f)
        return false;
    unsigned char header[276];
    bool ok = fread(header, 1, sizeof header, f) == sizeof header;
    const long start = long(sizeof header + LoadU32(header + 12));
    ok = ok && fseek(f, 0, SEEK_END) == 0;
    const long end = ftell(f);
    ok = ok && end > start && fseek(f, start, SEEK_SET) == 0;
    const size_t packedSize = ok ? size_t(end - start) : 1;
    std::unique_ptr<unsigned char[]> packed(new unsigned char[packedSize]);
    ok = ok && fread(packed.get(), 1, packedSize, f) == packedSize;
    fclose(f);
    if (!ok)
        return false;
    std::unique_ptr<void, decltype(&free)> block(malloc(size), &free);
    uLongf length = uLongf(size);
    ok = block && uncompress(static_cast<Bytef*>(block.get()), &length, packed.get(), uLong(packedSize)) == Z_OK &&
         length == size;
    if (ok && out)
        std::memcpy(out, block.get(), size);
    return ok;
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
    WaitForSingleObject(process.hProcess, kWaitMs);
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
    const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 9;

    const std::string folder = BenchmarkFolder("pakbench");
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
        const std::string first = spec.entries.front().name;
        const std::string archivePath = folder + "\\index.pak";
        bool alone = true, opened = true;
        const std::vector<double> best = BestAlternating(3 * runs, {
            [&] { alone = InflateIndexAlone(archivePath.c_str()) && alone; },
            [&] { ArchiveFile file; opened = file.Open(last.c_str(), ModeRead) && opened; },
            [&] { ArchiveFile file; opened = file.Open(first.c_str(), ModeRead) && opened; },
        });
        printf("index: %u entries, best of %d: zlib alone %.2f ms, open of the last entry %.2f ms, "
               "ratio %.2f (goal <= 1.3); open of the first entry %.2f ms%s\n",
               entries, 3 * runs, best[0] * 1e3, best[1] * 1e3, best[1] / best[0], best[2] * 1e3,
               opened && alone ? "" : " NOT FOUND");
        status |= opened && alone ? 0 : 1;
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
        if (!WriteWhole(folder + "\\big.pak", archive))
            return 2;
        const std::string archivePath = folder + "\\big.pak";
        std::vector<char> reader(size, 1);
        bool alone = true;
        uint32_t delivered = 0;
        // Ours runs last in each round, so the reader's buffer ends with what
        // it delivered.
        const std::vector<double> best = BestAlternating(runs, {
            [&] { alone = InflateEntryAlone(archivePath.c_str(), size, nullptr) && alone; },
            [&] { alone = InflateEntryAlone(archivePath.c_str(), size, reader.data()) && alone; },
            [&] {
                std::fill_n(reader.data(), 16, 0);
                ArchiveFile file;
                delivered = file.Open("big.bin", ModeRead) ? file.Read(reader.data(), uint32_t(size)) : 0;
            },
        });
        const bool same = alone && delivered == size &&
                          std::equal(reader.begin(), reader.end(), spec.entries[0].data.begin());
        const uint32_t packedIndexSize = LoadU32(reinterpret_cast<const unsigned char*>(archive.data()) + 12);
        printf("entry: %u MiB (%u packed), best of %d: zlib alone %.1f ms, ArchiveFile %.1f ms, speed ratio "
               "%.2f (goal >= 0.9); zlib plus a copy to the reader %.1f ms, ratio %.2f%s\n",
               mebibytes, unsigned(archive.size() - 276 - packedIndexSize), runs, best[0] * 1e3, best[2] * 1e3,
               best[0] / best[2], best[1] * 1e3, best[1] / best[2], same ? "" : " WRONG DATA");
        status |= same ? 0 : 1;
        std::vector<char>().swap(reader);

        // 2b. The updater's full check of that archive before it replaces an
        // installed one, against zlib alone inflating the same entry, and
        // against copying the archive.
        bool sound = true;
        const std::wstring widePath(archivePath.begin(), archivePath.end());
        const std::string copyPath = folder + "\\copy.pak";
        const std::vector<double> check = BestAlternating(runs, {
            [&] { sound = InflateEntryAlone(archivePath.c_str(), size, nullptr) && sound; },
            [&] {
                try {
                    CheckArchiveIsSound(widePath, CheckFull);
                } catch (...) {
                    sound = false;
                }
            },
            [&] { sound = CopyFileA(archivePath.c_str(), copyPath.c_str(), FALSE) && sound; },
        });
        DeleteFileA(copyPath.c_str());
        printf("full check: %.1f MiB archive, best of %d: zlib alone %.1f ms, the check %.1f ms, ratio %.2f "
               "(goal <= 1.1); copying the archive %.1f ms, the check %.2f of it%s\n",
               archive.size() / 1048576.0, runs, check[0] * 1e3, check[1] * 1e3, check[1] / check[0],
               check[2] * 1e3, check[1] / check[2], sound ? "" : " NOT SOUND");
        status |= sound ? 0 : 1;

        // 3. Memory of a fresh process while the entry is open.
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
    // 4. Version-0 scans by name length.
    {
        std::string paths[2];
        for (int oneByte = 0; oneByte < 2; ++oneByte) {
            PakSpec spec;
            spec.version = 0;
            spec.entries.resize(entries);
            for (PakEntry& entry : spec.entries)
                entry.name = oneByte ? "n" : "";
            paths[oneByte] = folder + (oneByte ? "\\scan1.pak" : "\\scan0.pak");
            if (!WriteWhole(paths[oneByte], BuildPak(spec)))
                return 2;
        }
        // Each archive alone in the folder while it is searched; a miss
        // must not prompt.
        quietOpen = 1;
        MoveFileA(paths[1].c_str(), (paths[1] + ".off").c_str());
        const std::vector<double> empty = BestAlternating(runs, {[&] {
            ArchiveFile file;
            status |= file.Open("absent", ModeRead) ? 1 : 0;
        }});
        MoveFileA(paths[0].c_str(), (paths[0] + ".off").c_str());
        MoveFileA((paths[1] + ".off").c_str(), paths[1].c_str());
        const std::vector<double> named = BestAlternating(runs, {[&] {
            ArchiveFile file;
            status |= file.Open("absent", ModeRead) ? 1 : 0;
        }});
        printf("v0 scan: %u records, best of %d: empty names %.1f ms, one-byte names %.1f ms, "
               "ratio %.2f (goal about 1)\n",
               entries, runs, empty[0] * 1e3, named[0] * 1e3, empty[0] / named[0]);
        quietOpen = 0;
        DeleteFileA((paths[0] + ".off").c_str());
        DeleteFileA(paths[1].c_str());
    }
    SetCurrentDirectoryA((folder + "\\..").c_str());
    RemoveDirectoryA(folder.c_str());
    return status;
}
