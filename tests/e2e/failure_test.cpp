// Failures the user sees: a target that cannot be replaced (the open prompt
// with Abort, Retry and Ignore), and a corrupt archive.

#include "tests/e2e/e2e_fixture.h"
#include "tests/support/archive_writer.h"

namespace {

const char* const kItems[] = {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"};

// Five items, all installed in an old form; the third cannot be replaced.
class FailureTest : public E2ETest {
protected:
    FailureTest()
    {
        std::string list;
        for (const char* item : kItems) {
            list += std::string(list.empty() ? "" : ";") + item;
            Ship(item, std::string("new ") + item);
            Installed(item, std::string("old ") + item);
        }
        WriteIni(list);
        third = InstalledPath("c.txt");
        items = list;
    }

    void AskAllOrNothing() { WriteIni(items, "AllOrNothing=1\r\n"); }

    // "new" or "old" for each item, as found in the install folder.
    std::string States()
    {
        std::string states;
        for (const char* item : kItems)
            states += (states.empty() ? "" : " ") +
                      ReadFileBytes(InstalledPath(item)).substr(0, 3);
        return states;
    }

    std::string Prompt(const std::string& target) { return PromptLine(u8"ファイル " + target + u8" が開けません。"); }
    std::string Prompt() { return Prompt(third); }
    std::string ErrorBox(const char* code, const std::string& target)
    {
        return BoxLine(u8"エラー", u8"エラーが発生しました。\nCode " + std::string(code) +
                                       u8" :ファイル " + target + u8" が開けませんでした。");
    }
    std::string ErrorBox(const char* code) { return ErrorBox(code, third); }

    std::string third;
    std::string items;
};

}  // namespace

TEST_F(FailureTest, AbortOnReadOnlyThirdItemKeepsFirstTwoAndStops)
{
    SetFileAttributesA(third.c_str(), FILE_ATTRIBUTE_READONLY);

    const SessionResult run = Run({Press(IDOK), Press(IDABORT), Press(IDOK)});

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install), Prompt(),
                                                   ErrorBox("0x5")}));
    ExpectCleanEnd(run);
    EXPECT_EQ(States(), "new new old old old");
    EXPECT_NE(Attributes(third) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(FailureTest, RetryAfterTheCauseIsRemovedGoesOn)
{
    SetFileAttributesA(third.c_str(), FILE_ATTRIBUTE_READONLY);
    const auto makeWritable = [this] { SetFileAttributesA(third.c_str(), FILE_ATTRIBUTE_NORMAL); };

    const SessionResult run =
        Run({Press(IDOK), After(makeWritable, Press(IDRETRY)), Press(IDOK)});

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install), Prompt(),
                                                   BoxLine(kCaption, kDone)}));
    ExpectCleanEnd(run);
    EXPECT_EQ(States(), "new new new new new");
}

TEST_F(FailureTest, RetryWhileTheCauseRemainsAsksAgain)
{
    SetFileAttributesA(third.c_str(), FILE_ATTRIBUTE_READONLY);

    const SessionResult run = Run({Press(IDOK), Press(IDRETRY), Press(IDIGNORE), Press(IDOK)});

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install), Prompt(),
                                                   Prompt(), BoxLine(kCaption, kDone)}));
    ExpectCleanEnd(run);
}

TEST_F(FailureTest, IgnoreSkipsTheItemAndGoesOn)
{
    SetFileAttributesA(third.c_str(), FILE_ATTRIBUTE_READONLY);
    const FILETIME before = LastWriteTime(third);

    const SessionResult run = Run({Press(IDOK), Press(IDIGNORE), Press(IDOK)});

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install), Prompt(),
                                                   BoxLine(kCaption, kDone)}));
    ExpectCleanEnd(run);
    EXPECT_EQ(States(), "new new old new new");
    EXPECT_TRUE(SameTime(LastWriteTime(third), before));
    EXPECT_EQ(ListFolder(install), "a.txt b.txt c.txt d.txt e.txt");
}

// All or nothing cannot leave an item out: Ignore ends the run as Abort
// does, with everything put back.
TEST_F(FailureTest, IgnoreWithAllOrNothingPutsEverythingBack)
{
    AskAllOrNothing();
    SetFileAttributesA(third.c_str(), FILE_ATTRIBUTE_READONLY);

    const SessionResult run = Run({Press(IDOK), Press(IDIGNORE), Press(IDOK)});

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install), Prompt(),
                                                   ErrorBox("0x5")}));
    ExpectCleanEnd(run);
    EXPECT_EQ(States(), "old old old old old");
}

// A target held before anything is written is named in one box first:
// Cancel ends the run with nothing written; Retry once it is free goes on.
TEST_F(FailureTest, ATargetHeldBeforeTheFirstWriteIsNamedFirst)
{
    const std::string box = u8"インストール先のファイルを次のプログラムが使用しています。\n"
                            u8"プログラムを終了してから［再試行］を押してください。［キャンセル］を押すと、何も変更せずに終了します。\n\n" +
                            third;
    for (const int answer : {IDCANCEL, IDRETRY}) {
        HANDLE held = CreateFileA(third.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        const auto release = [&held] { CloseHandle(held); held = INVALID_HANDLE_VALUE; };
        const SessionResult run =
            answer == IDCANCEL ? Run({Press(IDOK), Press(IDCANCEL)}) : Run({Press(IDOK), After(release, Press(IDRETRY)), Press(IDOK)});
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);

        ASSERT_GE(run.lines.size(), 2u) << answer;
        EXPECT_EQ(run.lines[1], std::string(kCaption) + " | " + box + " | 4 2") << answer;
        ExpectCleanEnd(run);
        EXPECT_EQ(States(), answer == IDCANCEL ? "old old old old old" : "new new new new new") << answer;
    }
}

TEST_F(E2ETest, CorruptArchiveEndsInErrorBeforeTheDialog)
{
    // No plain update.ini: looking it up reads the archive's packed index,
    // which is not a zlib stream.
    PakEntry entry;
    entry.name = "update.ini";
    entry.data = "[update]\r\nTitle=Never\r\n";
    entry.compress = true;
    PakSpec spec;
    spec.version = 2;
    spec.entries.push_back(entry);
    spec.packedIndex = std::string("this is not a zlib stream at all");
    Ship("broken.pak", BuildPak(spec));
    Installed("notes.txt", "installed notes");

    const SessionResult run = Run({Press(IDOK)});

    ASSERT_EQ(run.windows.size(), 1u) << run.problem;
    const std::string text = run.windows[0].Text(0xFFFF);
    const std::string head = u8"エラーが発生しました。\nCode 0x";
    const std::string tail = u8" :データ解凍に失敗しました。";
    EXPECT_EQ(run.windows[0].caption, u8"エラー");
    EXPECT_EQ(text.substr(0, head.size()), head) << text;
    EXPECT_TRUE(text.size() > head.size() + tail.size() &&
                text.compare(text.size() - tail.size(), tail.size(), tail) == 0)
        << text;
    EXPECT_EQ(run.windows[0].ButtonIds(), "1");
    ExpectCleanEnd(run);
    EXPECT_EQ(ReadFileBytes(InstalledPath("notes.txt")), "installed notes");
}

TEST_F(FailureTest, AllOrNothingPutsEverythingInPlace)
{
    AskAllOrNothing();

    const SessionResult run = Run({Press(IDOK), Press(IDOK)});

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install),
                                                   BoxLine(kCaption, kDone)}));
    ExpectCleanEnd(run);
    EXPECT_EQ(States(), "new new new new new");
    EXPECT_EQ(UpdateLeftovers(install), "");
}

TEST_F(FailureTest, AllOrNothingAbortOnThirdPutsEverythingBack)
{
    AskAllOrNothing();
    SetFileAttributesW(Wide(third).c_str(), FILE_ATTRIBUTE_READONLY);

    const SessionResult run = Run({Press(IDOK), Press(IDABORT), Press(IDOK)});

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install), Prompt(),
                                                   ErrorBox("0x5")}));
    ExpectCleanEnd(run);
    EXPECT_EQ(States(), "old old old old old");
    EXPECT_EQ(UpdateLeftovers(install), "");
}

TEST_F(FailureTest, AllOrNothingReplacementThatFailsPutsEverythingBack)
{
    // The last item's prompt comes while the copies are made; meanwhile
    // another program takes the first target, so its replacement fails.
    AskAllOrNothing();
    const std::string first = InstalledPath("a.txt"), last = InstalledPath("e.txt");
    SetFileAttributesW(Wide(last).c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE held = INVALID_HANDLE_VALUE;
    const auto holdFirst = [&] {
        held = CreateFileW(Wide(first).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFileAttributesW(Wide(last).c_str(), FILE_ATTRIBUTE_NORMAL);
    };

    const SessionResult run =
        Run({Press(IDOK), After(holdFirst, Press(IDRETRY)), Press(IDABORT), Press(IDOK)});
    CloseHandle(held);

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install), Prompt(last),
                                                   Prompt(first), ErrorBox("0x20", first)}));
    ExpectCleanEnd(run);
    EXPECT_EQ(States(), "old old old old old");
    EXPECT_EQ(UpdateLeftovers(install), "");
}
