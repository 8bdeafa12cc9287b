// The window that follows a long update, as the user meets it: absent while
// the update is young, then below the prompts (which stay topmost and
// answerable), and gone before the completion box.

#include "tests/e2e/e2e_fixture.h"

#include <commctrl.h>
#include "app/resource_ids.h"
#include "app/run_sequence.h"

namespace {

bool IsAbove(HWND upper, HWND lower)
{
    for (HWND window = GetWindow(upper, GW_HWNDNEXT); window;
         window = GetWindow(window, GW_HWNDNEXT))
        if (window == lower)
            return true;
    return false;
}

}  // namespace

TEST_F(E2ETest, LongUpdateShowsProgressBelowPromptsUntilTheEnd)
{
    // a.txt's prompt is answered after more than a second, so the update is
    // long when it copies; c.txt's prompt comes while the window shows.
    WriteIni("a.txt;big.bin;c.txt;d.txt");
    for (const char* item : {"a.txt", "c.txt", "d.txt"}) {
        Ship(item, "new");
        Installed(item, "old");
    }
    const std::string big(16 << 20, 'b');
    Ship("big.bin", big);
    SetFileAttributesA(InstalledPath("a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(InstalledPath("c.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    // For each other window: where the progress window stood, and its bar.
    HWND progress = nullptr;
    std::vector<std::string> behind;
    SessionOptions options;
    options.onWindow = [&](const WindowSnapshot& window) {
        if (window.IsProgress()) {
            progress = window.handle;
            EXPECT_EQ(GetWindowLongA(progress, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
            return;
        }
        if (!progress || !IsWindowVisible(progress)) {
            behind.push_back("none");
            return;
        }
        DWORD_PTR position = 0, end = 0;
        HWND bar = GetDlgItem(progress, IDC_PROGRESS_BAR);
        SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kWaitMs, &position);
        SendMessageTimeoutA(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, kWaitMs, &end);
        behind.push_back(std::string(IsAbove(window.handle, progress) ? "below" : "above") +
                         (position > 0 && position < end ? ", bar within" : ", bar off"));
    };
    const auto slowRetry = [this] {
        // Lets time pass, waits for nothing: the window is due once the
        // update has run kProgressDelayMs, and on a busy machine more time
        // passing only makes it more so.
        Sleep(kProgressDelayMs + 200);
        SetFileAttributesA(InstalledPath("a.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    };

    const SessionResult run = RunSession(
        UpdaterExe(), update,
        {Press(IDOK), After(slowRetry, Press(IDRETRY)), Press(IDIGNORE), Press(IDOK)}, options);

    const auto prompt = [this](const char* item) {
        return PromptLine(u8"ファイル " + InstalledPath(item) + u8" が開けません。");
    };
    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install), prompt("a.txt"),
                                                   prompt("c.txt"), BoxLine(kCaption, kDone)}));
    ExpectCleanEnd(run);
    EXPECT_EQ(behind, (std::vector<std::string>{"none", "none", "below, bar within", "none"}));
    ASSERT_EQ(run.progress.size(), 1u);
    EXPECT_EQ(run.progress[0].caption, kCaption);
    const std::string item = run.progress[0].Text(IDC_PROGRESS_ITEM);
    EXPECT_EQ(item.rfind(u8"コピー中：", 0), 0u) << item;
    EXPECT_TRUE(ReadFileBytes(InstalledPath("big.bin")) == big);
    EXPECT_EQ(ReadFileBytes(InstalledPath("c.txt")) + ReadFileBytes(InstalledPath("d.txt")),
              "oldnew");
}
