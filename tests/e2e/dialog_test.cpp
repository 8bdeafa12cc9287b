// The destination dialog as the user meets it: its texts, the ways to leave
// it, the edited field, the folder browser, a second start, and the
// proposal when the product is not installed.

#include "tests/e2e/e2e_fixture.h"

namespace {

class DialogTest : public E2ETest {
protected:
    DialogTest()
    {
        WriteIni("notes.txt");
        Ship("notes.txt", "shipped notes");
        SetLastWriteTime(ShippedPath("notes.txt"), MakeTime(2020, 5, 1));
        Installed("notes.txt", "installed notes");
        SetLastWriteTime(InstalledPath("notes.txt"), oldTime);
    }

    void ExpectInstalledUntouched()
    {
        EXPECT_EQ(ReadFileBytes(InstalledPath("notes.txt")), "installed notes");
        EXPECT_TRUE(SameTime(LastWriteTime(InstalledPath("notes.txt")), oldTime));
        EXPECT_EQ(ListFolder(install), "notes.txt");
    }

    const FILETIME oldTime = MakeTime(2001, 1, 1);
};

}  // namespace

TEST_F(DialogTest, ShowsItsTextsAndTheInstalledFolder)
{
    const SessionResult run = Run({Press(IDCANCEL)});

    ASSERT_EQ(run.windows.size(), 1u) << run.problem;
    const WindowSnapshot& dialog = run.windows[0];
    EXPECT_EQ(dialog.className, "#32770");
    EXPECT_EQ(dialog.caption, kCaption);
    std::vector<std::string> controls;
    for (const auto& control : dialog.controls)
        controls.push_back(std::to_string(control.id) + " " + control.text);
    EXPECT_EQ(controls, (std::vector<std::string>{
                            "1 OK",
                            u8"2 ｷｬﾝｾﾙ",
                            "1000 " + install,
                            u8"65535 アップデート先：",
                            u8"65535 上記の場所のデータをアップデートします。\n"
                            u8"インストール先が違う場合、参照ボタンで修正してください。",
                            u8"1001 参照...",
                        }));
    ExpectCleanEnd(run);
}

TEST_F(DialogTest, EveryEndingButOkTouchesNothing)
{
    const struct {
        const char* how;
        Step step;
    } endings[] = {
        {"Cancel button", Press(IDCANCEL)},
        {"Escape key", Key(VK_ESCAPE)},
        {"close box", CloseBox()},
    };
    for (const auto& ending : endings) {
        const SessionResult run = Run({ending.step});
        EXPECT_EQ(run.lines, std::vector<std::string>{DialogLine(kCaption, install)})
            << ending.how;
        EXPECT_EQ(run.problem, "") << ending.how;
        EXPECT_EQ(run.exitCode, 0u) << ending.how;
        ExpectInstalledUntouched();
    }
}

TEST_F(DialogTest, SecondStartEndsAtOnceWithoutWindows)
{
    UpdaterProcess first(UpdaterExe(), update);
    WindowSnapshot dialog;
    ASSERT_TRUE(first.NextWindow(dialog)) << first.StartError();
    EXPECT_EQ(dialog.Line(), DialogLine(kCaption, install));

    // "At once": while the first copy still waits in its dialog, which it
    // leaves only when answered below; a second copy that waited for the
    // first would not end here at all.
    UpdaterProcess second(UpdaterExe(), update);
    DWORD exitCode = 1;
    WindowSnapshot unexpected;
    EXPECT_TRUE(second.WaitExit(exitCode, &unexpected)) << "second copy showed: " << unexpected.Line();
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(first.Running());

    // The first copy still waits in its dialog and can be used.
    first.Press(dialog, IDOK);
    WindowSnapshot done;
    ASSERT_TRUE(first.NextWindow(done));
    EXPECT_EQ(done.Line(), BoxLine(kCaption, kDone));
    first.Press(done, IDOK);
    ASSERT_TRUE(first.WaitExit(exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ReadFileBytes(InstalledPath("notes.txt")), "shipped notes");
}

TEST_F(DialogTest, EditedDestinationGetsItsFoldersCreated)
{
    const std::string edited = scratch.Path("new\\deep\\folder");

    const SessionResult run = Run({TypeAndPress(edited, IDOK), Press(IDOK)});

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install),
                                                   BoxLine(kCaption, kDone)}));
    ExpectCleanEnd(run);
    EXPECT_EQ(ReadFileBytes(edited + "\\notes.txt"), "shipped notes");
    ExpectInstalledUntouched();
}

TEST_F(DialogTest, EmptyFieldKeepsTheProposedDestination)
{
    const SessionResult run = Run({TypeAndPress("", IDOK), Press(IDOK)});

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install),
                                                   BoxLine(kCaption, kDone)}));
    ExpectCleanEnd(run);
    EXPECT_EQ(ReadFileBytes(InstalledPath("notes.txt")), "shipped notes");
}

TEST_F(DialogTest, CancelledBrowserPutsTheProposalBack)
{
    const std::string typed = scratch.Path("typed");

    const SessionResult run = Run({TypeAndPress(typed, 1001),  // Browse
                                   Press(IDCANCEL),            // the folder browser
                                   Press(IDOK), Press(IDOK)});

    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install),
                                                   u8"フォルダの指定",
                                                   DialogLine(kCaption, install),
                                                   BoxLine(kCaption, kDone)}));
    ExpectCleanEnd(run);
    EXPECT_EQ(ReadFileBytes(InstalledPath("notes.txt")), "shipped notes");
    EXPECT_FALSE(FileExists(typed));
}

TEST_F(DialogTest, MissingProductKeyProposesProgramFiles)
{
    // A product name without a registry key.
    WriteFileBytes(update + "\\update.ini", "[update]\r\nBrand=" + brand + "\r\nName=" + name +
                                                "Absent\r\nTitle=Demo\r\nVersion=2.0\r\n"
                                                "file=notes.txt\r\n");
    char programFiles[MAX_PATH] = {};
    DWORD size = sizeof programFiles;
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                           "ProgramFilesDir", RRF_RT_REG_SZ, nullptr, programFiles, &size),
              ERROR_SUCCESS);

    const SessionResult run = Run({Press(IDOK), Press(IDCANCEL)});

    EXPECT_EQ(run.lines,
              (std::vector<std::string>{
                  BoxLine(u8"エラー",
                          u8"Demo のインストール先が見つかりませんでした。\n"
                          u8"インストール済みの場合、お手数ですがインストール先を指定してください。"),
                  DialogLine(kCaption, programFiles)}));
    ExpectCleanEnd(run);
    // A 32-bit program under a 64-bit Windows is offered the x86 folder.
    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);
    if (system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64) {
        EXPECT_STREQ(programFiles, "C:\\Program Files (x86)");
    }
    ExpectInstalledUntouched();
}
