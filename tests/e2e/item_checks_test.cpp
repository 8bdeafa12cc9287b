// What the updater installs and where is checked before it is trusted: items
// that could leave their folders, a shipped archive that is damaged, and a
// settings file too large to hold.

#include "tests/e2e/e2e_fixture.h"

#include <functional>
#include "tests/support/archive_writer.h"

namespace {

// An archive whose one compressed entry, update.ini, inflates to size bytes
// of spaces.
std::string ArchiveOfHugeSettings(uint64_t size)
{
    const std::string packed = ZlibStreamOfCopies(" ", size, 1);
    // The entry's stream is the last thing in the archive: built for a
    // stand-in, then swapped for the real one, with its sizes set.
    PakEntry entry;
    entry.name = "update.ini";
    entry.data = "x";
    entry.compress = true;
    entry.size = uint32_t(size);
    entry.packedSize = uint32_t(packed.size());
    PakSpec spec;
    spec.version = 2;
    spec.entries.push_back(entry);
    std::string pak = BuildPak(spec);
    const std::string standIn = ZlibCompress("x");
    pak.replace(pak.size() - standIn.size(), standIn.size(), packed);
    return pak;
}

}  // namespace

TEST_F(E2ETest, ItemsThatCouldLeaveTheirFoldersEndTheRunBeforeTheDialog)
{
    Ship("ok.txt", "new ok");
    Installed("ok.txt", "old ok");
    const char* const refused[] = {
        "..\\..\\escape.txt", "../escape.txt",     "sub\\..\\..\\escape.txt",
        "\\windows\\win.ini", "C:\\windows\\win.ini", "C:escape.txt",
        "\\\\?\\C:\\escape.txt", "\\\\.\\escape.txt", "\\\\server\\share\\escape.txt",
        "ok.txt:stream",      "NUL",                 "sub\\com1.txt",
    };
    for (const char* item : refused) {
        WriteIni(std::string("ok.txt;") + item);

        const SessionResult run = Run({Press(IDOK)});

        EXPECT_EQ(run.lines, (std::vector<std::string>{BoxLine(
                                 u8"エラー", u8"エラーが発生しました。\nCode 0x7b :ファイル " +
                                                 Utf8FromCp932(item) + u8" の指定が正しくありません。")}))
            << item;
        ExpectCleanEnd(run);
        EXPECT_EQ(ReadFileBytes(InstalledPath("ok.txt")), "old ok") << item << ": nothing written";
        EXPECT_EQ(ListFolder(scratch.Path()), "install update") << item;
    }
}

TEST_F(E2ETest, DamagedArchiveNeverReplacesTheInstalledOne)
{
    // Revision 20 over a complete revision 10: an interrupted download, its
    // last entry running past the end of the file; and one whose header and
    // index are whole but 512 bytes inside an entry's compressed data are not.
    std::string noise(64 << 10, '\0');
    for (size_t i = 0, x = 12345; i < noise.size(); ++i, x = x * 1103515245 + 12345)
        noise[i] = char('a' + (x >> 16) % 7);
    PakSpec spec;
    spec.revision = 20;
    spec.entries.push_back(Packed("level.dat", noise));
    std::string spoilt = BuildPak(spec);
    ASSERT_GT(spoilt.size(), 8000u);
    for (size_t i = spoilt.size() - 3000; i < spoilt.size() - 2488; ++i)
        spoilt[i] = char(spoilt[i] ^ 0x5A);
    const std::string cut = ArchiveOfRevision(20, std::string(4000, 'n'));
    const struct {
        const char* label;
        std::string shipped;
    } rows[] = {
        {"cut short", cut.substr(0, cut.size() - 100)},
        {"damaged entry data", spoilt},
    };
    WriteIni("first.txt;data.pak;last.txt");
    Ship("first.txt", "new first");
    Ship("last.txt", "new last");
    for (const auto& row : rows) {
        Installed("first.txt", "old first");
        Ship("data.pak", row.shipped);
        Installed("data.pak", ArchiveOfRevision(10, "old level"));
        Installed("last.txt", "old last");

        const SessionResult run = Run({Press(IDOK), Press(IDOK)});

        ASSERT_EQ(run.windows.size(), 2u) << row.label << ": " << run.problem;
        const std::string text = run.windows[1].Text(0xFFFF);
        EXPECT_EQ(run.windows[1].caption, u8"エラー") << row.label;
        EXPECT_EQ(text.rfind(u8"エラーが発生しました。\nCode 0x", 0), 0u) << row.label << ": " << text;
        EXPECT_NE(text.find(u8" :データ解凍に失敗しました。"), std::string::npos) << row.label << ": " << text;
        ExpectCleanEnd(run);
        EXPECT_EQ(ReadFileBytes(InstalledPath("first.txt")), "new first") << row.label << ": applied before it";
        EXPECT_EQ(ReadFileBytes(InstalledPath("data.pak")), ArchiveOfRevision(10, "old level")) << row.label;
        EXPECT_EQ(ReadFileBytes(InstalledPath("last.txt")), "old last") << row.label;
        EXPECT_EQ(UpdateLeftovers(install), "") << row.label;
    }
}

TEST_F(E2ETest, SettingsTooLargeToHoldEndInTheErrorBox)
{
    const std::string box = BoxLine(u8"エラー", u8"エラーが発生しました。\nCode 0xc0000017 :"
                                                u8"メモリが不足しています。");
    const struct {
        const char* label;
        std::function<void()> make;
    } rows[] = {
        {"an archive entry inflating to 1000 MiB",
         [this] { Ship("settings.pak", ArchiveOfHugeSettings(1000ull << 20)); }},
        {"a plain file of 2 GiB", [this] {
             HANDLE file = CreateFileW(Wide(ShippedPath("update.ini")).c_str(), GENERIC_WRITE, 0,
                                       nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
             LARGE_INTEGER end;
             end.QuadPart = 0x7FFFFFFF;
             SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
             SetEndOfFile(file);
             CloseHandle(file);
         }},
    };
    Installed("notes.txt", "installed");
    for (const auto& row : rows) {
        RemoveTree(update);
        CreateDirectoryW(Wide(update).c_str(), nullptr);
        row.make();

        // Inflating a gigabyte takes a while on a busy machine: the session
        // waits for the box as for every window, up to kWaitMs.
        const SessionResult run = Run({Press(IDOK)});

        EXPECT_EQ(run.lines, std::vector<std::string>{box}) << row.label;
        ExpectCleanEnd(run);
    }
    EXPECT_EQ(ListFolder(install), "notes.txt");
}
