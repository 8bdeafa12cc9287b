// Throughput of ApplyUpdateFile against copies made with the system's own
// calls, on the same files in the same run:
//   apply_benchmark [big MiB = 256] [small file count = 1000]
// Small files are 64 KiB, all in one folder. Each way runs three times (new
// targets, then replacing them); the best round counts. The ways:
// - CopyFileA: leaves the data in the cache and, once the targets exist,
//   overwrites them in place; not safe against a failure half-way;
// - CopyFileA followed by FlushFileBuffers on the target;
// - a safe replacement written by hand, as a careful program would do it
//   with the system's calls: GetTempFileNameA in the target's folder,
//   CopyFileA to that name, FlushFileBuffers, MoveFileExA over the target
//   (the same flush and rename as the update, without its checks, times
//   and attributes);
// - ApplyUpdateFile, one call per file;
// - the updater's run, item by item (ReplacementRun, under its journal);
// - the updater's run, all or nothing (ReplacementRun with AllOrNothing=1);
// - the updater's run, item by item, with each item's step taken first
//   (DecideItem, as the run does), without and with the run's record
//   open (ItemTurnLine and ReplacementRun's lines written to a file);
// - the updater's run of a listed update (update.manifest): every source's
//   size and SHA-256 checked first, then the item-by-item run from the
//   sources the check holds, as the run copies.
// Goals: the item-by-item run at least 1.0 times the safe replacement's speed
// for the many small files and CopyFileA+flush's for the big one; all or
// nothing at most 1.2 (small files) and 1.05 (big file) times the
// item-by-item run's time plus one SHA-256 of the old files (it records the
// digest of every old file it keeps, and puts back only those bytes); the record adding at most 3% to the stepped
// run's time. Under Wine every new name in a folder costs a scan of that
// folder, so the small files' case measures mostly how a replacement names
// its temporary files. The listed run: at most 1.1 times
// the item-by-item run plus the system's SHA-256 alone over the same bytes
// in memory.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/text_932.h"
#include "update/apply_update.h"
#include "update/replacement_run.h"
#include "update/item_words.h"
#include "paths/item_source.h"
#include "update/item_step.h"
#include "trust/signed_update.h"
#include "trust/update_manifest.h"
#include "system/run_log.h"
#include "pak/archive_check.h"
#include <zlib.h>
#include <algorithm>

namespace {

double Now()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

bool WriteSource(const std::string& path, uint64_t size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> block(1 << 20);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = char(i * 31 + i / 4093);
    bool ok = true;
    for (uint64_t done = 0; ok && done < size;) {
        const DWORD n = DWORD(size - done < block.size() ? size - done : block.size());
        DWORD written = 0;
        ok = WriteFile(file, block.data(), n, &written, nullptr) && written == n;
        done += n;
    }
    CloseHandle(file);
    return ok;
}

void RemoveFolder(const std::string& dir)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(dir + "\\" + name);
            else
                DeleteFileA((dir + "\\" + name).c_str());
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}

struct Case {
    const char* name;
    std::vector<std::string> sources;
    uint64_t bytes;
};

// Disk writes on a shared machine vary a lot from one round to the next.
const int kRounds = 3;
enum Way { kCopy, kCopyFlush, kSafeCopy, kApply, kItemByItem, kAllOrNothing, kStepped, kRecorded, kWays };
const char* const kFolders[kWays] = {"\\copied",  "\\flushed",      "\\replaced",
                                     "\\applied", "\\itemwise",     "\\allornothing",
                                     "\\stepped", "\\recorded"};

// The updater's own run over the sources, as items of their folder.
void RunUpdate(const Case& c, const std::string& targetDir, bool allOrNothing, bool stepped)
{
    const std::string folder = c.sources[0].substr(0, c.sources[0].rfind('\\'));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(WideFrom932(folder.c_str()).c_str());
    std::vector<String> listed(c.sources.size());
    for (size_t i = 0; i < c.sources.size(); ++i)
        listed[i].Assign(c.sources[i].substr(folder.size() + 1).c_str());
    std::vector<ItemRecord> items = MakeItemRecords(listed);
    for (ItemRecord& item : items)
        item.target = ItemTarget(WideFrom932(targetDir.c_str()), item.name);
    {
        RunTally tally;
        ReplacementRun update(WideFrom932(targetDir.c_str()), items, allOrNothing, tally);
        for (size_t i = 0; i < items.size(); ++i) {
            if (stepped) {
                if (DecideItem(items[i], true) != VerdictApply)
                    continue;
                LogEvent(ItemTurnLine(i + 1, items[i], items[i].name));
            }
            update.Apply(items[i], nullptr, nullptr);
        }
        update.Commit();
    }
    SetCurrentDirectoryW(previous);
}

bool FlushToDisk(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const BOOL ok = FlushFileBuffers(file);
    CloseHandle(file);
    return ok != 0;
}

// The hand-written safe replacement of target by source.
bool SafeCopy(const std::string& source, const std::string& target, const std::string& folder)
{
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(folder.c_str(), "upd", 0, temporary))
        return false;
    const bool ok = CopyFileA(source.c_str(), temporary, FALSE) && FlushToDisk(temporary) &&
                    MoveFileExA(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        DeleteFileA(temporary);
    return ok;
}

// Seconds for one round over every source, or a negative value on failure.
double CopyRound(const Case& c, const std::string& targetDir, Way way)
{
    CreateDirectoryA(targetDir.c_str(), nullptr);
    const double start = Now();
    if (way == kItemByItem || way == kAllOrNothing || way == kStepped) {
        RunUpdate(c, targetDir, way == kAllOrNothing, way == kStepped);
        return Now() - start;
    }
    if (way == kRecorded) {
        const std::wstring record = WideFrom932((targetDir + ".log").c_str());
        DeleteFileW(record.c_str());
        const double opened = Now();
        if (!StartRunLog(record))
            return -1;
        RunUpdate(c, targetDir, false, true);
        EndRunLog();
        const double seconds = Now() - opened;
        DeleteFileW(record.c_str());
        return seconds;
    }
    for (const std::string& source : c.sources) {
        const std::string target = targetDir + source.substr(source.rfind('\\'));
        if (way == kApply) {
            ApplyUpdateFile(source.c_str(), WideFrom932(target.c_str()), kReplaceExisting, kNoReadOnly, nullptr, nullptr);
        } else if (way == kSafeCopy) {
            if (!SafeCopy(source, target, targetDir)) {
                std::printf("safe copy to %s failed: %lu\n", target.c_str(), GetLastError());
                return -1;
            }
        } else if (!CopyFileA(source.c_str(), target.c_str(), FALSE) ||
                   (way == kCopyFlush && !FlushToDisk(target))) {
            std::printf("copy to %s failed: %lu\n", target.c_str(), GetLastError());
            return -1;
        }
    }
    return Now() - start;
}

bool Run(const Case& c, const std::string& root)
{
    double best[kWays];
    for (double& seconds : best)
        seconds = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        for (int way = 0; way < kWays; ++way) {
            const double seconds = CopyRound(c, root + kFolders[way], Way(way));
            if (seconds < 0)
                return false;
            if (seconds < best[way])
                best[way] = seconds;
        }
    }
    const double mib = double(c.bytes) / (1024.0 * 1024.0);
    std::printf("%s:\n  CopyFileA %.1f MiB/s, CopyFileA+flush %.1f MiB/s, safe replacement %.1f MiB/s, "
                "ApplyUpdateFile %.1f MiB/s, item by item %.1f MiB/s, all or nothing %.1f MiB/s\n"
                "  ApplyUpdateFile's speed as a share of CopyFileA's %.2f, of CopyFileA+flush's %.2f, "
                "of the safe replacement's %.2f\n"
                "  item by item's speed as a share of CopyFileA+flush's %.2f, of the safe "
                "replacement's %.2f, of ApplyUpdateFile's %.2f\n"
                "  all or nothing's time as a multiple of item by item's %.2f\n"
                "  with its record: the stepped run's time %.3f s without, %.3f s with, %.1f%% added "
                "(goal: at most 3%%)\n",
                c.name, mib / best[kCopy], mib / best[kCopyFlush], mib / best[kSafeCopy],
                mib / best[kApply], mib / best[kItemByItem], mib / best[kAllOrNothing],
                best[kCopy] / best[kApply], best[kCopyFlush] / best[kApply],
                best[kSafeCopy] / best[kApply], best[kCopyFlush] / best[kItemByItem],
                best[kSafeCopy] / best[kItemByItem], best[kApply] / best[kItemByItem],
                best[kAllOrNothing] / best[kItemByItem], best[kStepped], best[kRecorded],
                (best[kRecorded] / best[kStepped] - 1) * 100);
    for (const char* folder : kFolders)
        RemoveFolder(root + folder);
    return true;
}

void PutU32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(char(value >> shift));
}

// A format-2 archive of size bytes in 64 KiB raw entries, written in pieces.
bool WriteArchive(const std::string& path, uint64_t size)
{
    const uint32_t entry = 64 * 1024, count = uint32_t(size / entry);
    std::string index;
    for (uint32_t i = 0; i < count; ++i) {
        char name[16];
        wsprintfA(name, "e%05u.bin", i);
        PutU32(index, uint32_t(lstrlenA(name)));
        index += name;
        for (uint32_t word : {i * entry, 0u, entry, 0u, 0u})
            PutU32(index, word);
    }
    uLongf packedSize = compressBound(uLong(index.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
              reinterpret_cast<const Bytef*>(index.data()), uLong(index.size()), 6);
    packed.resize(packedSize);
    std::string head;
    for (uint32_t word : {2u, count, uint32_t(index.size()), uint32_t(packed.size()), 7u})
        PutU32(head, word);
    head.resize(276, '\0');
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const std::string data(entry, 'd');
    DWORD written = 0;
    bool ok = WriteFile(file, head.data(), DWORD(head.size()), &written, nullptr) &&
              WriteFile(file, packed.data(), DWORD(packed.size()), &written, nullptr);
    for (uint32_t i = 0; ok && i < count; ++i)
        ok = WriteFile(file, data.data(), entry, &written, nullptr) && written == entry;
    CloseHandle(file);
    return ok;
}

// What checking an archive before it replaces another costs, beside copying
// it as the update does. Goal: at most 2% of the copy. The entries are
// stored raw, so the full check reads only the index here; inflating
// compressed entries is measured against zlib in pak_benchmark.
bool RunArchiveCheck(const std::string& root, uint64_t bytes)
{
    const std::string archive = root + "\\src\\data.pak", target = root + "\\data.pak";
    if (!WriteArchive(archive, bytes))
        return false;
    double check = 1e30, copy = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        double start = Now();
        CheckArchiveIsSound(WideFrom932(archive.c_str()), CheckFull);
        check = std::min(check, Now() - start);
        start = Now();
        ApplyUpdateFile(archive.c_str(), WideFrom932(target.c_str()), kReplaceExisting, kNoReadOnly,
                        nullptr, nullptr);
        copy = std::min(copy, Now() - start);
    }
    std::printf("checking a %llu MiB archive before it replaces another:\n"
                "  check %.2f ms, copy %.1f ms: the check costs %.2f%% of the copy\n",
                (unsigned long long)(bytes >> 20), check * 1000, copy * 1000, 100 * check / copy);
    DeleteFileA(archive.c_str());
    DeleteFileA(target.c_str());
    return true;
}

// The folder of a case's sources, its items as the updater lists them.
std::vector<ItemRecord> ItemsOf(const Case& c, std::string& folder)
{
    folder = c.sources[0].substr(0, c.sources[0].rfind('\\'));
    std::vector<String> listed(c.sources.size());
    for (size_t i = 0; i < c.sources.size(); ++i)
        listed[i].Assign(c.sources[i].substr(folder.size() + 1).c_str());
    return MakeItemRecords(listed);
}

// What a listed run costs beside the unlisted one: the sources checked
// against update.manifest, then the same item-by-item run; and the
// system's SHA-256 alone over as many bytes, from memory.
bool RunListed(const Case& c, const std::string& root)
{
    std::string folder;
    std::vector<ItemRecord> items = ItemsOf(c, folder);
    UpdateManifest manifest;
    manifest.product = L"Bench\\Mark";
    manifest.version = L"1";
    manifest.sequence = 1;
    std::vector<char> chunk(1 << 20);
    for (size_t i = 0; i < items.size(); ++i) {
        HANDLE in = CreateFileA(c.sources[i].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        Sha256 sha;
        ManifestFile file;
        DWORD got = 0;
        while (ReadFile(in, chunk.data(), DWORD(chunk.size()), &got, nullptr) && got > 0) {
            sha.Add(chunk.data(), got);
            file.size += got;
        }
        CloseHandle(in);
        sha.Finish(file.digest);
        file.item = items[i].name;
        manifest.Add(file);
    }
    const std::string text = ManifestText(manifest);
    FILE* out = std::fopen((folder + "\\update.manifest").c_str(), "wb");
    if (!out || std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fclose(out) != 0)
        return false;

    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(WideFrom932(folder.c_str()).c_str());
    const std::wstring unlisted = WideFrom932((root + "\\unlisted").c_str());
    const std::wstring listed = WideFrom932((root + "\\listed").c_str());
    CreateDirectoryW(unlisted.c_str(), nullptr);
    CreateDirectoryW(listed.c_str(), nullptr);
    // As the run copies: from the sources the check holds, or (none) each
    // opened from the update folder.
    const auto run = [&items](const std::wstring& to, const SignedUpdate* check) {
        for (ItemRecord& item : items)
            item.target = ItemTarget(to, item.name);
        const SourceFolder sources;
        RunTally tally;
        ReplacementRun update(to, items, false, tally);
        for (const ItemRecord& item : items) {
            Handle opened;
            HANDLE source = check ? check->HeldSource(item) : nullptr;
            if (!source && sources.Open(item, opened))
                source = opened.Get();
            update.Apply(item, nullptr, nullptr, source, check ? check->CopyMustMatch(item) : nullptr);
        }
        update.Commit();
    };
    const auto unlistedRun = [&] { run(unlisted, nullptr); };
    const auto listedRun = [&] {
        SignedUpdate check;
        check.LoadManifest();
        check.CheckSources(items, nullptr, nullptr, nullptr);
        run(listed, &check);
    };
    const auto hashAlone = [&] {
        Sha256 sha;
        for (uint64_t left = c.bytes; left > 0;) {
            const size_t n = left < chunk.size() ? size_t(left) : chunk.size();
            sha.Add(chunk.data(), n);
            left -= n;
        }
        sha.Finish();
    };
    const auto checkAlone = [&] {
        SignedUpdate check;
        check.LoadManifest();
        check.CheckSources(items, nullptr, nullptr, nullptr);
    };
    // In turn, each round, each run after one that writes nothing, so that
    // neither meets the other's write-back; the shortest time of each counts.
    const std::function<void()> ways[] = {unlistedRun, hashAlone, listedRun, checkAlone};
    double best[4] = {1e30, 1e30, 1e30, 1e30};
    for (int round = 0; round < kRounds; ++round) {
        for (int way = 0; way < 4; ++way) {
            const double start = Now();
            ways[way]();
            best[way] = std::min(best[way], Now() - start);
        }
    }
    SetCurrentDirectoryW(previous);
    std::printf("  listed run %.1f ms (its check alone %.1f ms), unlisted run %.1f ms, SHA-256 alone "
                "%.1f ms: the listed run takes %.2f times the unlisted run plus SHA-256 (goal: at most "
                "1.1)\n",
                best[2] * 1000, best[3] * 1000, best[0] * 1000, best[1] * 1000,
                best[2] / (best[0] + best[1]));
    DeleteFileA((folder + "\\update.manifest").c_str());
    RemoveFolder(root + "\\unlisted");
    RemoveFolder(root + "\\listed");
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const uint64_t bigMiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
    const unsigned count = argc > 2 ? unsigned(std::strtoul(argv[2], nullptr, 10)) : 1000;
    const uint64_t smallSize = 64 * 1024;

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    char name[64];
    wsprintfA(name, "apply_bench_%lu", GetCurrentProcessId());
    const std::string root = std::string(temp) + name;
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "\\src").c_str(), nullptr);

    int status = 0;
    try {
        Case big = {"one big file", {root + "\\src\\big.bin"}, bigMiB << 20};
        Case small = {"many 64 KiB files", {}, uint64_t(count) * smallSize};
        bool ok = WriteSource(big.sources[0], big.bytes);
        for (unsigned i = 0; ok && i < count; ++i) {
            char file[32];
            wsprintfA(file, "\\src\\small%04u.bin", i);
            small.sources.push_back(root + file);
            ok = WriteSource(small.sources.back(), smallSize);
        }
        std::printf("%llu MiB file, %u files of 64 KiB\n", (unsigned long long)bigMiB, count);
        if (!ok || !Run(big, root) || !RunListed(big, root) || !Run(small, root) ||
            !RunListed(small, root) || !RunArchiveCheck(root, bigMiB << 20))
            status = 1;
    } catch (const OCErrorException& error) {
        std::printf("ApplyUpdateFile raised 0x%x: %s\n", unsigned(error.code),
                    error.message.text ? error.message.text : "");
        status = 1;
    }
    RemoveFolder(root);
    return status;
}
