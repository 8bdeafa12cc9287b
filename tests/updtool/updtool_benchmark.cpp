// Prints how the archive commands compare with zlib alone in the same run:
//   updtool_benchmark [entries=100000] [MiB=64] [rounds=5]
// 1. pack of a folder of `MiB` MiB, against compress2 alone at the same
//    level (6, pack's default) on the same files (goal: at least 0.8 times
//    its speed).
// 2. list, list --json, verify and verify --json of a version-2 archive of
//    `entries` entries, against inflating its index alone; the goal is a
//    listing (list) of 100,000 entries in under 0.2 s.
// 3. The same with Japanese names (データ\表示ファイル000000.dat), which list
//    converts from code page 932 to UTF-8 with the system's conversion.
// 4. compare of an archive of `entries` entries with a second archive of
//    the same files (goal for 100,000 entries: under 2 s) and with the
//    folder it was packed from, against list of the same archive.
//
// What each side does. Every command runs in this process through its
// command function, exactly as updtool.exe runs it, with standard output
// sent to the NUL device (so the text is made and written, and the pipe of
// a reader costs nothing):
//  - compress2 alone: for each file, fopen, one fread of the whole file into
//    a fresh buffer, one compress2 call into a fresh buffer of compressBound
//    bytes, free both. It lists no folder, sorts nothing, writes nothing.
//  - pack: `pack OUT DIR --revision 1 -q`: lists the folder, converts and
//    checks every name, sorts, reads each file in 256 KiB chunks, deflates
//    it (storing it raw again when that is not smaller), writes the data to
//    a temporary file, compresses the index, writes header, index and the
//    data copied from the temporary file, flushes the archive to disk and
//    renames it into place.
//  - index alone: fopen, one fread of the header, one of the packed index,
//    one uncompress() into a fresh block of indexSize bytes from the page
//    allocator, release (as pak_benchmark).
//  - list/verify: open, the updater's index reader (inflating through its
//    4 KiB input buffer), every record; list formats every entry (list
//    --json reads every entry's data for its SHA-256 as well), verify
//    checks every name and bound, the packed index's length (Adler-32 over
//    the index), duplicates, overlaps, and inflates every compressed entry
//    (the archive's entries are raw, one byte each, as in pak_benchmark).
// 5. check and plan of an update folder listing `entries`/2 one-byte files
//    (50,000 by default), plan with an empty install folder given: check
//    goes through the same stages as plan (settings, items, archives) and
//    adds its lint, so the goal is check within 1.2 times plan's time.
// The folder holds files of 256 KiB: seven of eight text-like (words from a
// small vocabulary, compressing to about a quarter), one of eight random
// bytes (incompressible: pack tries, then stores it raw). The sides run
// alternately and each side's best time is compared, which filters out time
// lost to other processes on a shared machine. The ratios are printed, not
// enforced.

#include <windows.h>
#include <zlib.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "tests/support/archive_writer.h"
#include "tests/support/benchmark_support.h"
#include "updtool/commands/commands.h"

namespace {

std::string FileData(unsigned index, size_t size)
{
    static const char* const words[] = {"archive ", "update ", "resource ", "texture ", "the ",
                                        "of ", "sound ", "level ", "entry ", "data\n", "player ",
                                        "script ", "font ", "image ", "menu ", "title "};
    std::string data;
    data.reserve(size + 16);
    uint32_t state = 12345 + index;
    while (data.size() < size) {
        state = state * 1103515245u + 12345u;
        if (index % 8 == 7)
            data += char(state >> 24);
        else
            data += words[(state >> 16) % 16];
    }
    data.resize(size);
    return data;
}

bool CompressAlone(const std::vector<std::string>& paths, int level)
{
    bool ok = true;
    for (const std::string& path : paths) {
        FILE* f = fopen(path.c_str(), "rb");
        if (!f)
            return false;
        fseek(f, 0, SEEK_END);
        const long size = ftell(f);
        fseek(f, 0, SEEK_SET);
        std::unique_ptr<unsigned char[]> in(new unsigned char[size_t(size) + 1]);
        ok = fread(in.get(), 1, size_t(size), f) == size_t(size) && ok;
        fclose(f);
        uLongf length = compressBound(uLong(size));
        std::unique_ptr<unsigned char[]> out(new unsigned char[length]);
        ok = compress2(out.get(), &length, in.get(), uLong(size), level) == Z_OK && ok;
    }
    return ok;
}

// Runs a command with its standard output on the NUL device; false unless
// it exits 0.
bool Quietly(int (*command)(const CommandLine&), const OptionSpecs& options,
             const std::vector<std::string>& narrow)
{
    static HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    Arguments args;
    for (const std::string& arg : narrow)
        args.push_back(std::wstring(arg.begin(), arg.end()));  // ASCII paths
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, nul);
    CommandLine line;
    const int code = line.Parse("benchmark", args, options) ? command(line) : int(ExitTrouble);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    return code == 0;
}

// compare reads every entry's data and every file of the folder besides
// the index; list reads the index alone. Small files, a thousand to a
// folder, as a product's resources lie (Wine looks a name up by reading its
// folder, so far larger folders would time Wine rather than the tool).
int CompareAgainstList(const std::string& source, const std::string& archive, unsigned entries,
                       int runs)
{
    const unsigned folders = (entries + 999) / 1000;
    auto folderName = [&source](unsigned i) {
        char name[16];
        wsprintfA(name, "\\d%03u", i);
        return source + name;
    };
    std::vector<std::string> paths;
    for (unsigned f = 0; f < folders; ++f)
        CreateDirectoryA(folderName(f).c_str(), nullptr);
    for (unsigned i = 0; i < entries; ++i) {
        char name[32];
        wsprintfA(name, "\\file%06u.dat", i);
        paths.push_back(folderName(i / 1000) + name);
        if (!WriteWhole(paths.back(), FileData(i, 64 + i % 128)))
            return 2;
    }
    const std::string again = archive + ".again.pak";
    bool ok = Quietly(RunPack, packOptions, {archive, source, "--revision", "1", "-q"}) &&
              CopyFileA(archive.c_str(), again.c_str(), FALSE);
    const std::vector<double> best = BestAlternating(runs, {
        [&] { ok = Quietly(RunList, listOptions, {archive}) && ok; },
        [&] { ok = Quietly(RunCompare, compareOptions, {archive, again}) && ok; },
        [&] { ok = Quietly(RunCompare, compareOptions, {archive, source}) && ok; },
    });
    printf("compare: %u entries, best of %d: list %.1f ms; compare with a second archive %.1f ms "
           "(ratio %.2f; goal for 100000 entries: under 2000 ms); compare with their folder "
           "%.1f ms (ratio %.2f)%s\n",
           entries, runs, best[0] * 1e3, best[1] * 1e3, best[1] / best[0], best[2] * 1e3,
           best[2] / best[0], ok ? "" : " FAILED");
    DeleteFileA(again.c_str());
    for (const std::string& path : paths)
        DeleteFileA(path.c_str());
    for (unsigned f = 0; f < folders; ++f)
        RemoveDirectoryA(folderName(f).c_str());
    DeleteFileA(archive.c_str());
    return ok ? 0 : 1;
}

// 5. An update folder of items one-byte files, checked and planned.
int CheckAgainstPlan(const std::string& folder, unsigned items, int runs)
{
    const std::string update = folder + "\\update", install = folder + "\\install";
    CreateDirectoryA(update.c_str(), nullptr);
    CreateDirectoryA(install.c_str(), nullptr);
    std::string list;
    std::vector<std::string> paths;
    for (unsigned i = 0; i < items; ++i) {
        char name[32];
        wsprintfA(name, "file%06u.txt", i);
        list += (i ? ";" : "") + std::string(name);
        paths.push_back(update + "\\" + name);
        if (!WriteWhole(paths.back(), "x"))
            return 2;
    }
    paths.push_back(update + "\\update.ini");
    if (!WriteWhole(paths.back(), "[update]\r\nBrand=Bench\r\nName=BenchCheck\r\nTitle=Bench\r\n"
                                  "Version=1\r\nfile=" + list + "\r\n"))
        return 2;
    bool planned = true, checked = true;
    const std::vector<double> best = BestAlternating(runs, {
        [&] { planned = Quietly(RunPlan, planOptions, {update, "--dest", install}) && planned; },
        [&] { checked = Quietly(RunCheck, checkOptions, {update}) && checked; },
    });
    printf("check and plan: %u items, best of %d: plan %.1f ms, check %.1f ms, ratio %.2f "
           "(goal <= 1.2)%s\n",
           items, runs, best[0] * 1e3, best[1] * 1e3, best[1] / best[0],
           planned && checked ? "" : " FAILED");
    for (const std::string& path : paths)
        DeleteFileA(path.c_str());
    RemoveDirectoryA(update.c_str());
    RemoveDirectoryA(install.c_str());
    return planned && checked ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const unsigned entries = argc > 1 ? unsigned(atoi(argv[1])) : 100000u;
    const unsigned mebibytes = argc > 2 ? unsigned(atoi(argv[2])) : 64u;
    const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 5;

    const std::string folder = BenchmarkFolder("updtoolbench");
    const std::string source = folder + "\\src";
    CreateDirectoryA(source.c_str(), nullptr);
    int status = 0;

    // 1. pack against compress2.
    {
        const size_t fileSize = 256 * 1024;
        const unsigned files = std::max(1u, unsigned((size_t(mebibytes) << 20) / fileSize));
        std::vector<std::string> paths;
        for (unsigned i = 0; i < files; ++i) {
            char name[32];
            wsprintfA(name, "\\file%04u.dat", i);
            paths.push_back(source + name);
            if (!WriteWhole(paths.back(), FileData(i, fileSize)))
                return 2;
        }
        const std::string archive = folder + "\\packed.pak";
        bool alone = true, packed = true;
        const std::vector<double> best = BestAlternating(runs, {
            [&] { alone = CompressAlone(paths, 6) && alone; },
            [&] { packed = Quietly(RunPack, packOptions, {archive, source, "--revision", "1", "-q"}) && packed; },
        });
        const bool sound = alone && packed && Quietly(RunVerify, verifyOptions, {archive});
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExA(archive.c_str(), GetFileExInfoStandard, &data);
        printf("pack: %u files, %u MiB (%lu bytes packed), best of %d: compress2 alone %.1f ms, "
               "pack %.1f ms, speed ratio %.2f (goal >= 0.8)%s\n",
               files, mebibytes, (unsigned long)data.nFileSizeLow, runs, best[0] * 1e3,
               best[1] * 1e3, best[0] / best[1], sound ? "" : " FAILED");
        status |= sound ? 0 : 1;
        for (const std::string& path : paths)
            DeleteFileA(path.c_str());
        DeleteFileA(archive.c_str());
    }

    // 2. list and verify against the index alone; 3. the same with
    // Japanese names, which list converts to UTF-8.
    for (const char* pattern : {"data\\resource\\file%06u.dat", "データ\\表示ファイル%06u.dat"}) {
        PakSpec spec;
        spec.version = 2;
        for (unsigned i = 0; i < entries; ++i) {
            char name[64];
            wsprintfA(name, pattern, i);
            PakEntry entry;
            entry.name = name;
            entry.data = "x";
            spec.entries.push_back(entry);
        }
        const std::string archive = folder + "\\index.pak";
        if (!WriteWhole(archive, BuildPak(spec)))
            return 2;
        bool alone = true, listed = true, verified = true;
        const std::vector<double> best = BestAlternating(3 * runs, {
            [&] { alone = InflateIndexAlone(archive.c_str()) && alone; },
            [&] { listed = Quietly(RunList, listOptions, {archive}) && listed; },
            [&] { listed = Quietly(RunList, listOptions, {archive, "--json"}) && listed; },
            [&] { verified = Quietly(RunVerify, verifyOptions, {archive}) && verified; },
            [&] { verified = Quietly(RunVerify, verifyOptions, {archive, "--json"}) && verified; },
        });
        printf("index: %u entries named like %s, best of %d: inflating the index alone %.2f ms; "
               "list %.2f ms (ratio %.2f; goal for 100000 entries: under 200 ms), list --json "
               "%.2f ms (%.2f), verify %.2f ms (%.2f), verify --json %.2f ms (%.2f)%s\n",
               entries, pattern[0] == 'd' ? "data\\resource\\file000000.dat" : "Japanese",
               3 * runs, best[0] * 1e3, best[1] * 1e3, best[1] / best[0], best[2] * 1e3,
               best[2] / best[0], best[3] * 1e3, best[3] / best[0], best[4] * 1e3,
               best[4] / best[0], alone && listed && verified ? "" : " FAILED");
        status |= alone && listed && verified ? 0 : 1;
        DeleteFileA(archive.c_str());
    }
    status |= CompareAgainstList(source, folder + "\\compare.pak", entries, runs);
    status |= CheckAgainstPlan(folder, std::max(1u, entries / 2), runs);
    RemoveDirectoryA(source.c_str());
    RemoveDirectoryA(folder.c_str());
    return status;
}
