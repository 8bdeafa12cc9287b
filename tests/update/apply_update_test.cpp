#include "update/apply_update.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "tests/support/archive_writer.h"
#include "tests/support/message_box_answerer.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wait.h"

namespace {

const uint32_t kKeep = kKeepCreatedAttributes;

struct ProgressLog {
    std::vector<uint32_t> chunks;
};

void Record(uint32_t bytes, void* user)
{
    static_cast<ProgressLog*>(user)->chunks.push_back(bytes);
}

// Each byte differs from its neighbours, so a chunk written twice or skipped
// shows in the comparison.
std::string Pattern(size_t size, unsigned seed = 7)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + seed + i / 251) & 0xFF);
    return bytes;
}

std::string Describe(const std::vector<uint32_t>& chunks)
{
    std::string text;
    for (uint32_t chunk : chunks)
        text += (text.empty() ? "" : ",") + std::to_string(chunk);
    return "[" + text + "]";
}

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

FILETIME MakeTime(WORD year, WORD month, WORD day, WORD hour)
{
    SYSTEMTIME system = {};
    system.wYear = year;
    system.wMonth = month;
    system.wDay = day;
    system.wHour = hour;
    FILETIME time = {};
    SystemTimeToFileTime(&system, &time);
    return time;
}

struct Times {
    FILETIME creation, lastAccess, lastWrite;
};

Times ReadTimes(const std::string& path)
{
    Times times = {};
    HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
    GetFileTime(file, &times.creation, &times.lastAccess, &times.lastWrite);
    CloseHandle(file);
    return times;
}

void WriteTimes(const std::string& path, const FILETIME& lastAccess, const FILETIME& lastWrite)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    ASSERT_TRUE(SetFileTime(file, nullptr, &lastAccess, &lastWrite));
    CloseHandle(file);
}

uint64_t Ticks(const FILETIME& time)
{
    return uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

std::string OpenPrompt(const std::string& path) { return "ファイル " + path + " が開けません。"; }
std::string OpenFailure(const std::string& path) { return "ファイル " + path + " が開けませんでした。"; }

// Runs the step and returns the error it raised; code ~0 when none came.
struct Outcome {
    uint32_t code = ~0u;
    std::string message;
};

Outcome Apply(const std::string& source, const std::string& target, int force = 1,
              uint32_t mask = kNoReadOnly, ProgressFunction progress = nullptr,
              void* user = nullptr)
{
    Outcome outcome;
    try {
        ApplyUpdateFile(source.c_str(), Wide(target), force, mask, progress, user);
    } catch (const OCErrorException& error) {
        outcome.code = error.code;
        outcome.message = error.message.text ? error.message.text : "";
    }
    return outcome;
}

// Fails the test when any prompt shows; answers Abort so it cannot hang.
class NoPrompt : public MessageBoxAnswerer {
public:
    NoPrompt() : MessageBoxAnswerer(std::vector<int>(8, IDABORT)) {}
    ~NoPrompt() override
    {
        EXPECT_TRUE(boxes.empty()) << "unexpected prompt: " << boxes.front().text;
    }
};

}  // namespace

TEST(ApplyUpdate, CopiesWholeContentInChunks)
{
    NoPrompt noPrompt;
    struct Row {
        const char* name;
        size_t size;
        bool targetExists;
        std::vector<uint32_t> chunks;
    };
    const Row rows[] = {
        {"empty source", 0, false, {}},
        {"empty source over longer target", 0, true, {}},
        {"one full chunk", 65536, false, {65536}},
        {"one byte more", 65537, true, {65536, 1}},
        {"several chunks", 200000, true, {65536, 65536, 65536, 3392}},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        const std::string content = Pattern(row.size);
        WriteFileBytes(dir.Path("source.bin"), content);
        if (row.targetExists)
            WriteFileBytes(dir.Path("target.bin"), Pattern(70000, 99));
        ProgressLog log;
        const Outcome outcome = Apply(dir.Path("source.bin"), dir.Path("target.bin"), 1,
                                      kNoReadOnly, &Record, &log);
        EXPECT_EQ(outcome.code, ~0u) << row.name << ": " << outcome.message;
        EXPECT_TRUE(ReadFileBytes(dir.Path("target.bin")) == content) << row.name;
        EXPECT_EQ(Describe(log.chunks), Describe(row.chunks)) << row.name;
        EXPECT_EQ(ListFolder(dir.Path()), "source.bin target.bin") << row.name;
    }
}

TEST(ApplyUpdate, WithoutProgressFunction)
{
    NoPrompt noPrompt;
    ScratchDir dir;
    WriteFileBytes(dir.Path("source.bin"), Pattern(70000));
    EXPECT_EQ(Apply(dir.Path("source.bin"), dir.Path("target.bin")).code, ~0u);
    EXPECT_TRUE(ReadFileBytes(dir.Path("target.bin")) == Pattern(70000));
}

TEST(ApplyUpdate, ForceZeroLeavesExistingTargetAlone)
{
    NoPrompt noPrompt;
    ScratchDir dir;
    WriteFileBytes(dir.Path("source.bin"), "new content");
    WriteFileBytes(dir.Path("target.bin"), "old");
    const FILETIME old = MakeTime(2003, 4, 5, 6);
    WriteTimes(dir.Path("target.bin"), old, old);
    SetFileAttributesA(dir.Path("target.bin").c_str(), FILE_ATTRIBUTE_HIDDEN);
    const DWORD attributesBefore = Attributes(dir.Path("target.bin"));

    ProgressLog log;
    EXPECT_EQ(Apply(dir.Path("source.bin"), dir.Path("target.bin"), 0, kNoReadOnly, &Record,
                    &log).code,
              ~0u);
    EXPECT_EQ(ReadFileBytes(dir.Path("target.bin")), "old");
    EXPECT_EQ(Attributes(dir.Path("target.bin")), attributesBefore);
    EXPECT_EQ(Ticks(ReadTimes(dir.Path("target.bin")).lastWrite), Ticks(old));
    EXPECT_TRUE(log.chunks.empty());

    // A missing target is written even without force.
    EXPECT_EQ(Apply(dir.Path("source.bin"), dir.Path("fresh.bin"), 0).code, ~0u);
    EXPECT_EQ(ReadFileBytes(dir.Path("fresh.bin")), "new content");
}

TEST(ApplyUpdate, CreatesMissingFolders)
{
    NoPrompt noPrompt;
    ScratchDir dir;
    WriteFileBytes(dir.Path("source.bin"), "deep");
    const std::string target = dir.Path("a\\b\\c\\target.bin");
    EXPECT_EQ(Apply(dir.Path("source.bin"), target).code, ~0u);
    EXPECT_EQ(ReadFileBytes(target), "deep");
    EXPECT_EQ(ListFolder(dir.Path("a\\b\\c")), "target.bin");
}

TEST(ApplyUpdate, MaskedAttributes)
{
    NoPrompt noPrompt;
    const DWORD hiddenReadOnly = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
    struct Row {
        const char* name;
        DWORD source;
        uint32_t mask;
        DWORD wantSet;    // bits the target must have
        DWORD wantClear;  // bits it must not have
    };
    const Row rows[] = {
        {"mask keeps created attributes", hiddenReadOnly, kKeep, 0, hiddenReadOnly},
        {"hidden copied, read-only dropped", hiddenReadOnly, kNoReadOnly,
         FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_READONLY},
        {"plain source gives plain target", FILE_ATTRIBUTE_NORMAL, kNoReadOnly, 0,
         hiddenReadOnly},
        {"read-only allowed by the mask", hiddenReadOnly, hiddenReadOnly, hiddenReadOnly, 0},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        WriteFileBytes(dir.Path("source.bin"), "attributes");
        WriteFileBytes(dir.Path("target.bin"), "old");
        // Hidden first: once read-only, Wine can no longer store the other
        // attributes of the file.
        SetFileAttributesA(dir.Path("source.bin").c_str(),
                           row.source & ~DWORD(FILE_ATTRIBUTE_READONLY));
        SetFileAttributesA(dir.Path("source.bin").c_str(), row.source);
        ASSERT_EQ(Attributes(dir.Path("source.bin")) & row.source & ~FILE_ATTRIBUTE_NORMAL,
                  row.source & ~FILE_ATTRIBUTE_NORMAL)
            << row.name;
        const Outcome outcome = Apply(dir.Path("source.bin"), dir.Path("target.bin"), 1, row.mask);
        EXPECT_EQ(outcome.code, ~0u) << row.name << ": " << outcome.message;
        EXPECT_EQ(ReadFileBytes(dir.Path("target.bin")), "attributes") << row.name;
        const DWORD got = Attributes(dir.Path("target.bin"));
        EXPECT_EQ(got & row.wantSet, row.wantSet) << row.name << " got 0x" << std::hex << got;
        EXPECT_EQ(got & row.wantClear, 0u) << row.name << " got 0x" << std::hex << got;
        EXPECT_EQ(ListFolder(dir.Path()), "source.bin target.bin") << row.name;
    }
}

TEST(ApplyUpdate, ArchiveAttributeFollowsSource)
{
    NoPrompt noPrompt;
    // Wine keeps the archive attribute only where its file system can store
    // it; the target must match what the source shows either way.
    ScratchDir dir;
    WriteFileBytes(dir.Path("source.bin"), "archive bit");
    SetFileAttributesA(dir.Path("source.bin").c_str(), FILE_ATTRIBUTE_ARCHIVE);
    const DWORD source = Attributes(dir.Path("source.bin"));
    EXPECT_EQ(Apply(dir.Path("source.bin"), dir.Path("target.bin")).code, ~0u);
    EXPECT_EQ(Attributes(dir.Path("target.bin")) & FILE_ATTRIBUTE_ARCHIVE,
              source & FILE_ATTRIBUTE_ARCHIVE);
}

TEST(ApplyUpdate, TargetTakesSourceTimes)
{
    NoPrompt noPrompt;
    const FILETIME lastAccess = MakeTime(2011, 7, 8, 9);
    const FILETIME lastWrite = MakeTime(2010, 1, 2, 3);
    for (size_t size : {size_t(0), size_t(100000)}) {
        ScratchDir dir;
        WriteFileBytes(dir.Path("source.bin"), Pattern(size));
        WriteTimes(dir.Path("source.bin"), lastAccess, lastWrite);
        WriteFileBytes(dir.Path("target.bin"), "old");

        EXPECT_EQ(Apply(dir.Path("source.bin"), dir.Path("target.bin")).code, ~0u) << size;
        // Creation time: not kept by Wine on Linux, so not compared.
        const Times target = ReadTimes(dir.Path("target.bin"));
        const Times source = ReadTimes(dir.Path("source.bin"));
        EXPECT_EQ(Ticks(target.lastWrite), Ticks(lastWrite)) << size;
        // Under Wine opening the source already moves its last access, so
        // the target must match the source as it is after the step.
        EXPECT_EQ(Ticks(target.lastAccess), Ticks(source.lastAccess)) << size;
        EXPECT_NE(Ticks(target.lastAccess), Ticks(target.lastWrite)) << size;
    }
}

TEST(ApplyUpdate, SourceInsideArchive)
{
    NoPrompt noPrompt;
    ScratchDir dir;
    const std::string raw = Pattern(70000, 3);
    const std::string packed = Pattern(66000, 5);
    PakSpec spec;
    PakEntry rawEntry;
    rawEntry.name = "raw.dat";
    rawEntry.data = raw;
    PakEntry packedEntry;
    packedEntry.name = "packed.dat";
    packedEntry.data = packed;
    packedEntry.compress = true;
    spec.entries.push_back(rawEntry);
    spec.entries.push_back(packedEntry);
    WriteFileBytes(dir.Path("pak\\data.pak"), BuildPak(spec));
    const FILETIME lastWrite = MakeTime(2009, 9, 9, 9);
    WriteTimes(dir.Path("pak\\data.pak"), lastWrite, lastWrite);
    // The archive's own attributes are not the entry's.
    SetFileAttributesA(dir.Path("pak\\data.pak").c_str(), FILE_ATTRIBUTE_HIDDEN);

    CurrentDirectory inside(dir.Path("pak"));
    struct Row {
        const char* entry;
        const std::string& content;
        std::vector<uint32_t> chunks;
    };
    const Row rows[] = {
        {"raw.dat", raw, {65536, 4464}},
        {"packed.dat", packed, {65536, 464}},
    };
    for (const Row& row : rows) {
        const std::string target = dir.Path(std::string("out\\") + row.entry);
        ProgressLog log;
        const Outcome outcome = Apply(row.entry, target, 1, kNoReadOnly, &Record, &log);
        EXPECT_EQ(outcome.code, ~0u) << row.entry << ": " << outcome.message;
        EXPECT_TRUE(ReadFileBytes(target) == row.content) << row.entry;
        EXPECT_EQ(Describe(log.chunks), Describe(row.chunks)) << row.entry;
        EXPECT_EQ(Attributes(target) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                        FILE_ATTRIBUTE_READONLY),
                  0u)
            << row.entry;
        EXPECT_EQ(Ticks(ReadTimes(target).lastWrite), Ticks(lastWrite)) << row.entry;
    }
    EXPECT_EQ(ListFolder(dir.Path("out")), "packed.dat raw.dat");
}

TEST(ApplyUpdate, IgnoredSourceLeavesTargetAlone)
{
    ScratchDir dir;
    WriteFileBytes(dir.Path("target.bin"), "installed");
    CurrentDirectory inside(dir.Path());
    MessageBoxAnswerer answerer({IDIGNORE});
    EXPECT_EQ(Apply("missing.bin", dir.Path("target.bin")).code, ~0u);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, OpenPrompt("missing.bin"));
    EXPECT_EQ(ReadFileBytes(dir.Path("target.bin")), "installed");
    EXPECT_EQ(ListFolder(dir.Path()), "target.bin");
}

// The destination can be the update's own folder: each listed file is then
// its own target and is already in place.
TEST(ApplyUpdate, SourceThatIsItsTargetIsLeftInPlace)
{
    NoPrompt noPrompt;
    ScratchDir dir;
    const std::string content = Pattern(70000);
    WriteFileBytes(dir.Path("same.bin"), content);
    CurrentDirectory inside(dir.Path());
    // Spelled as the run sequence spells it, and in another case with a "."
    // folder on the way: the same file either way.
    for (const std::string& target : {dir.Path("same.bin"), dir.Path(".\\SAME.BIN")}) {
        EXPECT_EQ(Apply("same.bin", target.c_str()).code, ~0u) << target;
        EXPECT_EQ(ReadFileBytes(dir.Path("same.bin")), content) << target;
        EXPECT_EQ(ListFolder(dir.Path()), "same.bin") << target;
    }
}

TEST(ApplyUpdate, TargetHeldOpenWithoutSharing)
{
    struct Row {
        const char* name;
        int answer;
        uint32_t code;  // ~0: no exception
        std::string content;
    };
    const std::string fresh = Pattern(80000, 11);
    const Row rows[] = {
        {"abort", IDABORT, ERROR_SHARING_VIOLATION, "installed"},
        {"ignore", IDIGNORE, ~0u, "installed"},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        WriteFileBytes(dir.Path("source.bin"), fresh);
        const std::string target = dir.Path("target.bin");
        WriteFileBytes(target, "installed");
        HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE) << row.name;
        Outcome outcome;
        {
            MessageBoxAnswerer answerer({row.answer});
            outcome = Apply(dir.Path("source.bin"), target);
            ASSERT_EQ(answerer.boxes.size(), 1u) << row.name;
            EXPECT_EQ(answerer.boxes[0].caption, "ファイルエラー") << row.name;
            EXPECT_EQ(answerer.boxes[0].text, OpenPrompt(target)) << row.name;
        }
        CloseHandle(held);
        EXPECT_EQ(outcome.code, row.code) << row.name;
        if (row.code != ~0u) {
            EXPECT_EQ(outcome.message, OpenFailure(target)) << row.name;
        }
        EXPECT_EQ(ReadFileBytes(target), row.content) << row.name;
        EXPECT_EQ(ListFolder(dir.Path()), "source.bin target.bin") << row.name;
    }
}

TEST(ApplyUpdate, RetryAfterTargetIsReleased)
{
    ScratchDir dir;
    const std::string fresh = Pattern(80000, 13);
    WriteFileBytes(dir.Path("source.bin"), fresh);
    const std::string target = dir.Path("target.bin");
    WriteFileBytes(target, "installed");
    HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    std::vector<std::string> prompts;
    DialogWatcher watcher([&](HWND box) {
        prompts.push_back(ControlText(box, 0xFFFF));
        if (held != INVALID_HANDLE_VALUE) {
            CloseHandle(held);
            held = INVALID_HANDLE_VALUE;
            PostMessageA(box, WM_COMMAND, IDRETRY, 0);
        } else {
            PostMessageA(box, WM_COMMAND, IDIGNORE, 0);
        }
    });
    const Outcome outcome = Apply(dir.Path("source.bin"), target);
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    EXPECT_EQ(outcome.code, ~0u) << outcome.message;
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0], OpenPrompt(target));
    EXPECT_TRUE(ReadFileBytes(target) == fresh);
    EXPECT_EQ(ListFolder(dir.Path()), "source.bin target.bin");
}

TEST(ApplyUpdate, ReadOnlyTargetIsNotReplaced)
{
    struct Row {
        const char* name;
        int answer;
        uint32_t code;
    };
    const Row rows[] = {
        {"ignore", IDIGNORE, ~0u},
        {"abort", IDABORT, ERROR_ACCESS_DENIED},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        WriteFileBytes(dir.Path("source.bin"), "new");
        const std::string target = dir.Path("target.bin");
        WriteFileBytes(target, "installed");
        SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
        const DWORD before = Attributes(target);
        MessageBoxAnswerer answerer({row.answer});
        const Outcome outcome = Apply(dir.Path("source.bin"), target);
        ASSERT_EQ(answerer.boxes.size(), 1u) << row.name;
        EXPECT_EQ(answerer.boxes[0].text, OpenPrompt(target)) << row.name;
        EXPECT_EQ(outcome.code, row.code) << row.name;
        EXPECT_EQ(ReadFileBytes(target), "installed") << row.name;
        EXPECT_EQ(Attributes(target), before) << row.name;
        EXPECT_EQ(ListFolder(dir.Path()), "source.bin target.bin") << row.name;
    }
}

namespace {
// Cuts the source short after the first chunk, as another program would.
struct Shrinker {
    std::string path;
    std::vector<uint32_t> chunks;
};

void ShrinkSource(uint32_t bytes, void* user)
{
    Shrinker& shrinker = *static_cast<Shrinker*>(user);
    shrinker.chunks.push_back(bytes);
    if (shrinker.chunks.size() != 1)
        return;
    HANDLE file = CreateFileA(shrinker.path.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFilePointer(file, 65536 + 100, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    // The error of the read that fails next must not be this one.
    SetLastError(ERROR_INVALID_FUNCTION);
}
}  // namespace

TEST(ApplyUpdate, FailureDuringCopyKeepsOldTarget)
{
    NoPrompt noPrompt;
    ScratchDir dir;
    WriteFileBytes(dir.Path("source.bin"), Pattern(300000));
    WriteFileBytes(dir.Path("out\\target.bin"), "installed");
    CurrentDirectory inside(dir.Path());

    Shrinker shrinker;
    shrinker.path = dir.Path("source.bin");
    const Outcome outcome = Apply("source.bin", dir.Path("out\\target.bin"), 1, kNoReadOnly,
                                  &ShrinkSource, &shrinker);
    EXPECT_EQ(outcome.message, "ファイル source.bin が読めませんでした。");
    EXPECT_EQ(outcome.code, uint32_t(ERROR_HANDLE_EOF)) << "the read's own error, not the progress function's";
    // The short chunk, then the read that found nothing.
    EXPECT_EQ(Describe(shrinker.chunks), "[65536,100,0]");
    EXPECT_EQ(ReadFileBytes(dir.Path("out\\target.bin")), "installed");
    EXPECT_EQ(ListFolder(dir.Path("out")), "target.bin");
}

namespace {
void StopAfterFirstChunk(uint32_t, void* user)
{
    ++*static_cast<int*>(user);
    SetLastError(ERROR_CANCELLED);
    throw OCErrorException("stopped");
}
}  // namespace

TEST(ApplyUpdate, ExceptionFromProgressKeepsOldTarget)
{
    NoPrompt noPrompt;
    ScratchDir dir;
    WriteFileBytes(dir.Path("source.bin"), Pattern(200000));
    WriteFileBytes(dir.Path("target.bin"), "installed");
    int calls = 0;
    const Outcome outcome = Apply(dir.Path("source.bin"), dir.Path("target.bin"), 1, kNoReadOnly,
                                  &StopAfterFirstChunk, &calls);
    EXPECT_EQ(outcome.code, uint32_t(ERROR_CANCELLED));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ReadFileBytes(dir.Path("target.bin")), "installed");
    EXPECT_EQ(ListFolder(dir.Path()), "source.bin target.bin");
}

// A full volume needs a small drive mapped into the Wine prefix, which only
// root can mount; the test runs when UPDATE_TEST_SMALL_VOLUME names a folder on
// such a drive (e.g. a 1 MiB tmpfs linked as a drive in dosdevices).
TEST(ApplyUpdate, FullVolumeKeepsOldTarget)
{
    NoPrompt noPrompt;
    const char* folder = std::getenv("UPDATE_TEST_SMALL_VOLUME");
    if (!folder || !*folder)
        GTEST_SKIP() << "UPDATE_TEST_SMALL_VOLUME not set";
    ScratchDir dir;
    WriteFileBytes(dir.Path("source.bin"), Pattern(4 << 20));
    const std::string target = std::string(folder) + "\\target.bin";
    WriteFileBytes(target, "installed");
    const Outcome outcome = Apply(dir.Path("source.bin"), target);
    EXPECT_EQ(outcome.message, "ファイル書込に失敗しました。");
    EXPECT_EQ(ReadFileBytes(target), "installed");
    EXPECT_EQ(ListFolder(folder), "target.bin");
    DeleteFileA(target.c_str());
}

namespace {
// Takes the target without sharing after the first chunk: the check before
// the copy passed, so the final rename is what fails.
struct Locker {
    std::string path;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

void LockTarget(uint32_t, void* user)
{
    Locker& locker = *static_cast<Locker*>(user);
    if (locker.handle == INVALID_HANDLE_VALUE)
        locker.handle = CreateFileA(locker.path.c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
}
}  // namespace

TEST(ApplyUpdate, TargetTakenDuringCopy)
{
    struct Row {
        const char* name;
        int answer;
        uint32_t code;
    };
    const Row rows[] = {
        {"ignore", IDIGNORE, ~0u},
        // A rename over a file in use is refused as access denied.
        {"abort", IDABORT, ERROR_ACCESS_DENIED},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        WriteFileBytes(dir.Path("source.bin"), Pattern(150000));
        WriteFileBytes(dir.Path("target.bin"), "installed");
        Locker locker;
        locker.path = dir.Path("target.bin");
        Outcome outcome;
        {
            MessageBoxAnswerer answerer({row.answer});
            outcome = Apply(dir.Path("source.bin"), locker.path, 1, kNoReadOnly, &LockTarget,
                            &locker);
            ASSERT_EQ(answerer.boxes.size(), 1u) << row.name;
            EXPECT_EQ(answerer.boxes[0].text, OpenPrompt(locker.path)) << row.name;
        }
        ASSERT_NE(locker.handle, INVALID_HANDLE_VALUE) << row.name;
        CloseHandle(locker.handle);
        EXPECT_EQ(outcome.code, row.code) << row.name;
        EXPECT_EQ(ReadFileBytes(locker.path), "installed") << row.name;
        EXPECT_EQ(ListFolder(dir.Path()), "source.bin target.bin") << row.name;
    }
}

// Every target path Windows accepts is updated, even where the folder
// leaves no room for a temporary name of the usual form beside it.
TEST(ApplyUpdate, TargetInAFolderWithNoRoomForATemporaryName)
{
    NoPrompt noPrompt;
    ScratchDir dir;
    WriteFileBytes(dir.Path("source.bin"), Pattern(70000));
    std::string folder = dir.Path("long");
    folder += std::string(250 - folder.size(), 'd');
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    for (const char* target : {"a.txt", "b.txt"}) {
        const std::string path = folder + "\\" + target;
        if (target[0] == 'b')
            WriteFileBytes(path, "installed");
        const Outcome outcome = Apply(dir.Path("source.bin"), path);
        EXPECT_EQ(outcome.code, ~0u) << target << ": " << outcome.message;
        EXPECT_TRUE(ReadFileBytes(path) == Pattern(70000)) << target;
    }
    EXPECT_EQ(ListFolder(folder), "a.txt b.txt");
}

namespace {
// Another program opens the target while the copy runs, and lets it go after
// a while (or never).
struct Holder {
    std::string path;
    DWORD share;
    DWORD releaseAfterMs;  // INFINITE: held until the test ends
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE releaser = nullptr;
};

DWORD WINAPI Release(void* user)
{
    Holder& holder = *static_cast<Holder*>(user);
    // Not a wait for anything: the moment the lock passes, well inside the
    // updater's own short wait for it.
    Sleep(holder.releaseAfterMs);
    CloseHandle(holder.handle);
    return 0;
}

void HoldTarget(uint32_t, void* user)
{
    Holder& holder = *static_cast<Holder*>(user);
    if (holder.handle != INVALID_HANDLE_VALUE)
        return;
    holder.handle = CreateFileA(holder.path.c_str(), GENERIC_READ, holder.share, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (holder.releaseAfterMs != INFINITE)
        holder.releaser = CreateThread(nullptr, 0, Release, &holder, 0, nullptr);
}
}  // namespace

// A lock that passes within the short wait (about 150 ms) never reaches the
// user, also when it refuses the final rename; one that stays does.
TEST(ApplyUpdate, LocksThatPassAreWaitedOut)
{
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    struct Row {
        const char* name;
        DWORD share;
        DWORD releaseAfterMs;
        bool prompted;
    } rows[] = {
        {"shares deleting, let go soon", all, 40, false},
        {"shares nothing, let go soon", 0, 40, false},
        {"shares deleting, held", all, INFINITE, true},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        WriteFileBytes(dir.Path("source.bin"), Pattern(150000));
        WriteFileBytes(dir.Path("target.bin"), "installed");
        Holder holder{dir.Path("target.bin"), row.share, row.releaseAfterMs};
        MessageBoxAnswerer answerer({IDABORT});
        const Outcome outcome = Apply(dir.Path("source.bin"), holder.path, 1, kNoReadOnly, &HoldTarget, &holder);
        if (holder.releaser) {
            EXPECT_EQ(WaitForSingleObject(holder.releaser, kWaitMs), DWORD(WAIT_OBJECT_0)) << row.name;
            CloseHandle(holder.releaser);
        } else if (holder.handle != INVALID_HANDLE_VALUE) {
            CloseHandle(holder.handle);
        }
        ASSERT_EQ(answerer.boxes.size(), row.prompted ? 1u : 0u) << row.name;
        if (row.prompted) {
            EXPECT_EQ(answerer.boxes[0].text, OpenPrompt(holder.path)) << row.name;
            EXPECT_EQ(outcome.code, uint32_t(ERROR_ACCESS_DENIED)) << row.name;
            EXPECT_EQ(ReadFileBytes(holder.path), "installed") << row.name;
        } else {
            EXPECT_EQ(outcome.code, ~0u) << row.name << ": " << outcome.message;
            EXPECT_TRUE(ReadFileBytes(holder.path) == Pattern(150000)) << row.name;
        }
        EXPECT_EQ(ListFolder(dir.Path()), "source.bin target.bin") << row.name;
    }
}

// A source of 4 GiB or more was once copied cut to its size's low 32 bits.
TEST(ApplyUpdate, SourceOfFourGiBIsNotCutTo32Bits)
{
    NoPrompt noPrompt;
    ScratchDir dir;
    const std::string source = dir.Path("huge.bin");
    HANDLE file = CreateFileA(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = (1LL << 32) + 5;  // sparse: takes no room on the disk
    ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    WriteFileBytes(dir.Path("target.bin"), "installed");
    // The first chunk tells what size the copy took; then the copy stops.
    std::vector<uint32_t> chunks;
    const Outcome outcome = Apply(source, dir.Path("target.bin"), 1, kNoReadOnly,
                                  [](uint32_t bytes, void* user) {
                                      static_cast<std::vector<uint32_t>*>(user)->push_back(bytes);
                                      throw OCErrorException("stopped");
                                  },
                                  &chunks);
    EXPECT_EQ(outcome.message, "stopped");
    EXPECT_EQ(Describe(chunks), "[65536]");
    EXPECT_EQ(ReadFileBytes(dir.Path("target.bin")), "installed");
    EXPECT_EQ(ListFolder(dir.Path()), "huge.bin target.bin");
}
