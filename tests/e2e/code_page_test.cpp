// The updater on Windows of any language: what it shows, the Japanese names
// it reads and the install folder it finds are what a Japanese system gives.
// These tests run with the others under the Japanese code page, and again
// under US English (1252) and Korean (949).

#include "tests/e2e/e2e_fixture.h"

#include "app/resource_ids.h"
#include "app/run_sequence.h"
#include "tests/support/archive_writer.h"

namespace {

// 表 (95 5C) and ソ (83 5C) end in the byte of a backslash.
const char* const kTitle = "星の表示";
const char* const kCaptionJa = u8"星の表示 Version 2.0 アップデート";

// The dialog's own texts, from its UTF-16 template, and the field.
std::vector<std::string> DialogTexts(const std::string& field)
{
    return {"1 OK",
            u8"2 ｷｬﾝｾﾙ",
            "1000 " + field,
            u8"65535 アップデート先：",
            u8"65535 上記の場所のデータをアップデートします。\n"
            u8"インストール先が違う場合、参照ボタンで修正してください。",
            u8"1001 参照..."};
}

std::vector<std::string> ControlTexts(const WindowSnapshot& window)
{
    std::vector<std::string> texts;
    for (const auto& control : window.controls)
        texts.push_back(std::to_string(control.id) + " " + control.text);
    return texts;
}

class EveryCodePage : public E2ETest {
protected:
    void WriteJapaneseIni(const std::string& fileList, const std::string& productName)
    {
        WriteFileBytes(update + "\\update.ini", "[update]\r\nBrand=" + brand + "\r\nName=" +
                                                    productName + "\r\nTitle=" + kTitle +
                                                    "\r\nVersion=2.0\r\nfile=" + fileList +
                                                    "\r\n");
    }
};

}  // namespace

TEST_F(EveryCodePage, JapaneseTextsNamesAndInstallFolder)
{
    const std::string folder = scratch.Path("ゲーム\\ソフト表");
    key.SetExecute(folder + "\\game.exe");
    WriteJapaneseIni("データ.pak;画像\\タイトル.bmp;ソフト\\表.txt", name);
    Ship("データ.pak", ArchiveOfRevision(7, "new"));
    Ship("画像\\タイトル.bmp", "title");
    Ship("ソフト\\表.txt", "new table");
    WriteFileBytes(folder + "\\データ.pak", ArchiveOfRevision(5, "old"));
    WriteFileBytes(folder + "\\ソフト\\表.txt", "old table");

    const SessionResult run = Run({Press(IDOK), Press(IDOK)});

    ASSERT_EQ(run.windows.size(), 2u) << run.problem;
    EXPECT_EQ(run.windows[0].caption, kCaptionJa);
    EXPECT_EQ(ControlTexts(run.windows[0]), DialogTexts(Utf8FromCp932(folder)));
    EXPECT_EQ(run.lines[1], BoxLine(kCaptionJa, kDone));
    ExpectCleanEnd(run);
    EXPECT_EQ(ReadFileBytes(folder + "\\データ.pak"), ArchiveOfRevision(7, "new"));
    EXPECT_EQ(ReadFileBytes(folder + "\\画像\\タイトル.bmp"), "title");
    EXPECT_EQ(ReadFileBytes(folder + "\\ソフト\\表.txt"), "new table");
    EXPECT_EQ(ListFolder(install), "") << "nothing lands in the folder the registry did not name";
}

TEST_F(EveryCodePage, NoticePromptAndErrorNameJapanesePaths)
{
    // No product entry: the notice, then a folder typed in the field, where
    // the item cannot be replaced.
    const std::string folder = scratch.Path("新しい表");
    WriteJapaneseIni("表.txt", name + "Absent");
    Ship("表.txt", "new");
    WriteFileBytes(folder + "\\表.txt", "old");
    SetFileAttributesW(Wide(folder + "\\表.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string target = Utf8FromCp932(folder + "\\表.txt");

    const SessionResult run =
        Run({Press(IDOK), TypeAndPress(Utf8FromCp932(folder), IDOK), Press(IDABORT), Press(IDOK)});

    EXPECT_EQ(run.lines,
              (std::vector<std::string>{
                  BoxLine(u8"エラー",
                          u8"星の表示 のインストール先が見つかりませんでした。\n"
                          u8"インストール済みの場合、お手数ですがインストール先を指定してください。"),
                  DialogLine(kCaptionJa, Utf8FromCp932(ProgramFilesDir())),
                  PromptLine(u8"ファイル " + target + u8" が開けません。"),
                  BoxLine(u8"エラー", u8"エラーが発生しました。\nCode 0x5 :ファイル " + target +
                                         u8" が開けませんでした。")}));
    ExpectCleanEnd(run);
    EXPECT_EQ(ReadFileBytes(folder + "\\表.txt"), "old");
}

TEST_F(EveryCodePage, FolderBrowserTexts)
{
    WriteJapaneseIni("notes.txt", name);

    const SessionResult run = Run({Press(1001), Press(IDCANCEL), Press(IDCANCEL)});

    ASSERT_EQ(run.windows.size(), 3u) << run.problem;
    const WindowSnapshot& browser = run.windows[1];
    EXPECT_EQ(browser.caption, u8"フォルダの指定");
    bool prompt = false;
    for (const auto& control : browser.controls)
        prompt = prompt || control.text == u8"インストール先を指定してください。";
    EXPECT_TRUE(prompt) << browser.Describe();
    ExpectCleanEnd(run);
}

TEST_F(EveryCodePage, ProgressWindowTexts)
{
    // The first item's prompt is answered after more than a second, so the
    // window shows while the big one is copied.
    WriteJapaneseIni("先頭.txt;大きい.bin", name);
    Ship("先頭.txt", "new");
    Installed("先頭.txt", "old");
    SetFileAttributesW(Wide(InstalledPath("先頭.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
    Ship("大きい.bin", std::string(16 << 20, 'b'));
    const auto slowRetry = [this] {
        // Lets time pass, waits for nothing: the window is due once the
        // update has run kProgressDelayMs, and on a busy machine more time
        // passing only makes it more so.
        Sleep(kProgressDelayMs + 200);
        SetFileAttributesW(Wide(InstalledPath("先頭.txt")).c_str(), FILE_ATTRIBUTE_NORMAL);
    };

    const SessionResult run =
        Run({Press(IDOK), After(slowRetry, Press(IDRETRY)), Press(IDOK)});

    ExpectCleanEnd(run);
    ASSERT_EQ(run.progress.size(), 1u) << run.problem;
    EXPECT_EQ(run.progress[0].caption, kCaptionJa);
    const std::string item = run.progress[0].Text(IDC_PROGRESS_ITEM);
    EXPECT_TRUE(item == u8"コピー中：先頭.txt" || item == u8"コピー中：大きい.bin") << item;
    EXPECT_EQ(ReadFileBytes(InstalledPath("大きい.bin")).size(), size_t(16 << 20));
}

TEST_F(EveryCodePage, InstallFolderOutsideCodePage932IsUsedAsItIs)
{
    // Code page 932 has no É: a conversion would best-fit the folder to
    // "Ete", a folder nobody installed to.
    const std::wstring jeux = Wide(scratch.Path("Jeux"));
    const std::wstring ete = jeux + L"\\\u00C9t\u00E9";
    CreateDirectoryW(jeux.c_str(), nullptr);
    CreateDirectoryW(ete.c_str(), nullptr);
    key.SetExecute(ete + L"\\game.exe");
    WriteIni("notes.txt");
    Ship("notes.txt", "new notes");
    const auto contents = [](const std::wstring& path) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return std::string("<missing>");
        char bytes[64] = {};
        DWORD got = 0;
        ReadFile(file, bytes, sizeof bytes, &got, nullptr);
        CloseHandle(file);
        return std::string(bytes, got);
    };

    const SessionResult run = Run({Press(IDOK), Press(IDOK)});

    ASSERT_EQ(run.windows.size(), 2u) << run.problem;
    EXPECT_EQ(run.windows[0].Text(IDC_DESTINATION_EDIT),
              Utf8FromCp932(scratch.Path("Jeux")) + "\\\xC3\x89t\xC3\xA9");  // UTF-8 Été
    ExpectCleanEnd(run);
    EXPECT_EQ(contents(ete + L"\\notes.txt"), "new notes");
    EXPECT_EQ(GetFileAttributesW((jeux + L"\\Ete").c_str()), INVALID_FILE_ATTRIBUTES)
        << "no best-fitted Ete beside the real folder";
}
