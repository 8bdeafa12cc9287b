// The install folder may be writable by any user, and the updater runs
// elevated: what a user planted there (journals, links) must not lead it to
// change anything it should not.

#include "tests/e2e/e2e_fixture.h"
#include "tests/support/folder_link.h"
#include "journal/journal_format.h"

#include <cstdio>
#include <random>

namespace {

const std::wstring kRun = L"upd0123456789ABCDEF-";

std::string Bytes(const std::vector<unsigned char>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

std::string FoldersRecord()
{
    std::vector<unsigned char> payload;
    PutJournalU32(payload, 1);
    PutJournalU32(payload, 1);
    PutJournalText(payload, L"");
    return Bytes(JournalRecordBytes(kJournalFolders, payload));
}

// One all-or-nothing replacement, marked as the run had left it.
std::string Journal(const std::wstring& target, const std::wstring& backup, JournalRecord mark)
{
    std::vector<unsigned char> payload;
    PutJournalU32(payload, 1);
    PutJournalText(payload, target);
    PutJournalText(payload, kRun + L"0000.tmp");
    PutJournalText(payload, backup);
    PutJournalBackup(payload, 0, {});
    return std::string(kJournalMagic, 8) + FoldersRecord() +
           Bytes(JournalRecordBytes(kJournalReplacing, payload)) + Bytes(JournalRecordBytes(mark, {}));
}

class TrustTest : public E2ETest {
protected:
    TrustTest()
    {
        Ship("a.txt", "new a.txt");
        Installed("a.txt", "old a.txt");
        WriteIni("a.txt");
    }

    const std::string journal = "upd0123456789ABCDEF.jnl";
};

}  // namespace

// Each journal an attacker planted, then the dialog cancelled: recovery runs
// before it, for the folder the registry proposes.
TEST_F(TrustTest, PlantedJournalsChangeNothing)
{
    const std::string victim = scratch.Path("victim"), attacker = scratch.Path("attacker");
    CreateDirectoryA(victim.c_str(), nullptr);
    CreateDirectoryA(attacker.c_str(), nullptr);
    WriteFileBytes(victim + "\\doc.txt", "doc");
    WriteFileBytes(victim + "\\config.txt", "config");
    WriteFileBytes(attacker + "\\payload.txt", "payload");
    Ship("own.txt", "the update's own");
    Installed("save.dat", "a user's save");
    Installed("game.exe", "the game");
    Installed("readme.txt", "the readme");
    const struct {
        const char* label;
        std::string bytes;
    } rows[] = {
        {"kept file outside, complete", Journal(L"a.txt", L"..\\victim\\doc.txt", kJournalComplete)},
        {"target outside, rolling back",
         Journal(L"..\\victim\\config.txt", L"..\\attacker\\payload.txt", kJournalRollingBack)},
        {"a user's file as the kept one", Journal(L"a.txt", L"save.dat", kJournalComplete)},
        {"a file of the update folder", Journal(L"a.txt", L"..\\update\\own.txt", kJournalComplete)},
        // Confined as a run of this program writes one, but no run wrote it:
        // a.txt's copy is there (so it would be put back), game.exe's kept
        // file is planted, readme.txt has neither.
        {"confined, planted", [&] {
             std::vector<unsigned char> payload;
             PutJournalU32(payload, 3);
             const wchar_t* const items[][3] = {{L"a.txt", L"0000.tmp", L"0000.bak"},
                                                {L"game.exe", L"0001.tmp", L"0001.bak"},
                                                {L"readme.txt", L"0002.tmp", L"0002.bak"}};
             for (const auto& item : items) {
                 PutJournalText(payload, item[0]);
                 PutJournalText(payload, kRun + item[1]);
                 PutJournalText(payload, kRun + item[2]);
                 PutJournalBackup(payload, 0, {});
             }
             Installed("upd0123456789ABCDEF-0000.tmp", "a copy");
             Installed("upd0123456789ABCDEF-0001.bak", "planted game");
             return std::string(kJournalMagic, 8) + FoldersRecord() +
                    Bytes(JournalRecordBytes(kJournalReplacing, payload));
         }()},
        // 200,000 records of 16 bytes, and just under 64 MiB in one record.
        {"large", [] {
             std::string bytes = std::string(kJournalMagic, 8) + FoldersRecord();
             std::vector<unsigned char> none;
             PutJournalU32(none, 0);
             const std::string record = Bytes(JournalRecordBytes(kJournalReplacing, none));
             for (int i = 0; i < 200000; ++i)
                 bytes += record;
             return bytes;
         }()},
        {"just under 64 MiB", [] {
             std::vector<unsigned char> payload(64u * 1024 * 1024 - 100);
             return std::string(kJournalMagic, 8) + FoldersRecord() +
                    Bytes(JournalRecordBytes(kJournalReplacing, payload));
         }()},
    };
    for (const auto& row : rows) {
        Installed(journal, row.bytes);

        const SessionResult run = Run({Press(IDCANCEL)});

        EXPECT_EQ(run.lines, std::vector<std::string>{DialogLine(kCaption, install)}) << row.label;
        ExpectCleanEnd(run);
        EXPECT_EQ(ReadFileBytes(victim + "\\doc.txt"), "doc") << row.label;
        EXPECT_EQ(ReadFileBytes(victim + "\\config.txt"), "config") << row.label;
        EXPECT_EQ(ReadFileBytes(attacker + "\\payload.txt"), "payload") << row.label;
        EXPECT_EQ(ReadFileBytes(ShippedPath("own.txt")), "the update's own") << row.label;
        EXPECT_EQ(ReadFileBytes(InstalledPath("save.dat")), "a user's save") << row.label;
        EXPECT_EQ(ReadFileBytes(InstalledPath("a.txt")), "old a.txt") << row.label;
        EXPECT_EQ(ReadFileBytes(InstalledPath("game.exe")), "the game") << row.label;
        EXPECT_EQ(ReadFileBytes(InstalledPath("readme.txt")), "the readme") << row.label;
        EXPECT_TRUE(ReadFileBytes(InstalledPath(journal)) == row.bytes) << row.label << ": left untouched";
    }
}

// A folder below the install folder that is a link to elsewhere: the run
// ends at the item with the error box, in both modes, and nothing is written
// where the link leads.
TEST_F(TrustTest, NothingIsWrittenThroughALinkInTheInstallFolder)
{
    const std::string elsewhere = scratch.Path("elsewhere");
    CreateDirectoryA(elsewhere.c_str(), nullptr);
    ASSERT_TRUE(MakeFolderLink(InstalledPath("sub"), elsewhere));
    Ship("sub\\v.txt", "new v.txt");
    for (const char* mode : {"", "AllOrNothing=1\r\n"}) {
        WriteIni("a.txt;sub\\v.txt", mode);

        const SessionResult run = Run({Press(IDOK), Press(IDOK)});

        EXPECT_EQ(run.lines, (std::vector<std::string>{
                                 DialogLine(kCaption, install),
                                 BoxLine(u8"エラー", u8"エラーが発生しました。\nCode 0x781 :ファイル "
                                                     u8"sub\\v.txt の指定が正しくありません。")}))
            << mode;
        ExpectCleanEnd(run);
        EXPECT_EQ(ListFolder(elsewhere), "") << mode;
        EXPECT_EQ(ReadFileBytes(InstalledPath("a.txt")), *mode ? "old a.txt" : "new a.txt") << mode;
        Installed("a.txt", "old a.txt");
    }
}

// An all-or-nothing update killed during its replacements, then the next
// runs killed early in their recovery, several times at different moments:
// the one after that leaves all old (or all new), nothing left over, and a
// full run all new.
TEST_F(TrustTest, RecoveryKilledAgainAndAgainStillPutsEverythingBack)
{
    const int kItems = 240;
    std::string list;
    const auto name = [](int i) {
        char text[16];
        std::snprintf(text, sizeof text, "f%03d.txt", i);
        return std::string(text);
    };
    for (int i = 0; i < kItems; ++i) {
        list += (list.empty() ? "" : ";") + name(i);
        Ship(name(i), "new " + name(i));
    }
    WriteIni(list, "AllOrNothing=1\r\n");
    const auto states = [&] {
        std::string all;
        for (int i = 0; i < kItems; ++i)
            all += ReadFileBytes(InstalledPath(name(i))).substr(0, 1);
        return all;
    };
    std::mt19937 random(20261207);
    int mixed = 0;
    for (int trial = 0; trial < 8 && mixed < 3; ++trial) {
        for (int i = 0; i < kItems; ++i)
            Installed(name(i), "old " + name(i));
        {
            // Once the journal lists the replacements, the last target is
            // held: the run stops at its prompt with targets before it
            // replaced, and is killed there.
            UpdaterProcess process(UpdaterExe(), update);
            WindowSnapshot window;
            ASSERT_TRUE(process.NextWindow(window));
            process.Press(window, IDOK);
            WaitUntil([&] {
                WIN32_FIND_DATAA journal = {};
                const HANDLE find = FindFirstFileA(InstalledPath("upd*.jnl").c_str(), &journal);
                if (find == INVALID_HANDLE_VALUE)
                    return !process.Running();
                FindClose(find);
                return journal.nFileSizeLow > 1000 || !process.Running();
            });
            HANDLE held = CreateFileA(InstalledPath(name(kItems - 1)).c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
            const bool prompted = process.NextWindow(window) && window.Has(IDRETRY);
            // Gone before the folder is read: Kill waits for the end.
            process.Kill();
            CloseHandle(held);
            if (!prompted)
                continue;  // it had finished first
            ++mixed;
        }
        const std::string afterKill = states();
        EXPECT_EQ(afterKill.substr(kItems - 1), "o") << "trial " << trial;
        for (int kill = 0; kill < 4; ++kill) {
            UpdaterProcess recovering(UpdaterExe(), update);
            // Not a wait for anything: the moment of the kill, early in the
            // recovery (or before it, on a busy machine). Kill waits for
            // the end.
            Sleep(DWORD(random() % 150));
            recovering.Kill();
        }
        // The cancelled run's recovery is over once it has ended by itself;
        // only then is the folder read.
        const SessionResult cancelled = Run({Press(IDCANCEL)});
        ExpectCleanEnd(cancelled);
        ASSERT_TRUE(cancelled.exited) << "trial " << trial << ": " << cancelled.problem;
        const std::string afterCancel = states();
        EXPECT_TRUE(afterCancel == std::string(kItems, 'o') || afterCancel == std::string(kItems, 'n'))
            << "trial " << trial << ": " << afterKill << " -> " << afterCancel;
        EXPECT_EQ(UpdateLeftovers(install), "") << "trial " << trial;

        const SessionResult full = Run({Press(IDOK), Press(IDOK)});
        ExpectCleanEnd(full);
        ASSERT_TRUE(full.exited) << "trial " << trial << ": " << full.problem;
        EXPECT_EQ(states(), std::string(kItems, 'n')) << "trial " << trial;
    }
    EXPECT_GE(mixed, 1) << "no run was stopped during its replacements";
}

// The same target listed twice, in other case: applied once, from its last
// listing, in both modes, without a prompt.
TEST_F(TrustTest, TheSameTargetTwiceIsAppliedOnce)
{
    for (const char* mode : {"", "AllOrNothing=1\r\n"}) {
        Installed("a.txt", "old a.txt");
        WriteIni("a.txt;A.TXT", mode);

        const SessionResult run = Run({Press(IDOK), Press(IDOK)});

        EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install), BoxLine(kCaption, kDone)}))
            << mode;
        ExpectCleanEnd(run);
        EXPECT_EQ(ReadFileBytes(InstalledPath("a.txt")), "new a.txt") << mode;
        EXPECT_EQ(UpdateLeftovers(install), "") << mode;
    }
}
