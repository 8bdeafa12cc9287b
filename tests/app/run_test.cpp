// Whole runs in-process: settings file in a scratch folder, the product key
// in the registry, the dialog and message boxes answered through their real
// windows.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <new>

#include "app/progress_window.h"
#include "app/resource_ids.h"
#include "app/run_sequence.h"
#include "app/run_state.h"
#include "base/exceptions.h"
#include "tests/app/app_test_support.h"
#include "tests/support/message_box_answerer.h"
#include "tests/support/scratch_dir.h"

namespace {

struct Window {
    std::string caption;
    std::string text;    // message text of a box
    std::string field;   // destination field of the dialog
    bool isDialog;
    bool progressShown;  // the progress window still stood when it appeared
};

struct ProgressSeen {
    std::string caption, text, font;
    LONG style, exStyle;
};

// Records every dialog and box of the run and answers each: the destination
// dialog with dialogAnswer, message boxes with the next of boxAnswers (then OK).
// The progress window is recorded apart and not answered.
class RunWatcher {
public:
    RunWatcher(int dialogAnswer, std::vector<int> boxAnswers = {})
        : dialogAnswer_(dialogAnswer), boxAnswers_(std::move(boxAnswers)),
          watcher_([this](HWND window) { OnWindow(window); })
    {
    }
    virtual ~RunWatcher() = default;

    std::vector<Window> windows;
    std::vector<ProgressSeen> progress;

private:
    void OnWindow(HWND window)
    {
        if (GetDlgItem(window, IDC_PROGRESS_BAR)) {
            progressWindow_ = window;
            LOGFONTA font = {};
            GetObjectA(HFONT(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof font, &font);
            progress.push_back({WindowText(window), ControlText(window, IDC_PROGRESS_ITEM),
                                font.lfFaceName, GetWindowLongA(window, GWL_STYLE),
                                GetWindowLongA(window, GWL_EXSTYLE)});
            return;
        }
        const bool isDialog = GetDlgItem(window, IDC_DESTINATION_EDIT) != nullptr;
        windows.push_back({WindowText(window), isDialog ? "" : ControlText(window, 0xFFFF),
                           isDialog ? ControlText(window, IDC_DESTINATION_EDIT) : "", isDialog,
                           progressWindow_ && IsWindow(progressWindow_)});
        int answer = dialogAnswer_;
        if (!isDialog)
            answer = next_ < boxAnswers_.size() ? boxAnswers_[next_++] : IDOK;
        PostMessageA(window, WM_COMMAND, answer, 0);
    }

    int dialogAnswer_;
    std::vector<int> boxAnswers_;
    size_t next_ = 0;
    HWND progressWindow_ = nullptr;
    DialogWatcher watcher_;
};

class Run : public ::testing::Test {
protected:
    ScratchDir scratch;
    std::string shipped = scratch.Path("shipped");
    std::string installed = scratch.Path("installed");
    std::string brand = UniqueName("TestRunBrand");
    std::string name = UniqueName("TestRunName");

    void SetUp() override
    {
        CreateDirectoryA(shipped.c_str(), nullptr);
        CreateDirectoryA(installed.c_str(), nullptr);
    }

    void WriteSettings(const std::string& files)
    {
        WriteFileBytes(shipped + "\\update.ini",
                       "[update]\r\nBrand=" + brand + "\r\nName=" + name +
                           "\r\nTitle=デモ\r\nVersion=3.2\r\nfile=" + files + "\r\n");
    }

    bool EventExists()
    {
        HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, name.c_str());
        if (event)
            CloseHandle(event);
        return event != nullptr;
    }
};

TEST_F(Run, OkCopiesTheListedFilesAndReportsCompletion)
{
    WriteSettings("a.txt;;missing.txt;sub\\b.txt;");
    WriteFileBytes(shipped + "\\a.txt", "new a");
    WriteFileBytes(shipped + "\\sub\\b.txt", "new b");
    WriteFileBytes(installed + "\\a.txt", "old a");
    MachineKey key("SOFTWARE\\" + brand + "\\" + name);
    key.SetText("execute", installed + "\\product.exe");

    CurrentDirectory inShipped(shipped);
    RunWatcher watcher(IDOK);
    EXPECT_EQ(0, RunUpdate());

    ASSERT_EQ(2u, watcher.windows.size());
    EXPECT_TRUE(watcher.windows[0].isDialog);
    EXPECT_EQ("デモ Version 3.2 アップデート", watcher.windows[0].caption);
    EXPECT_EQ(installed, watcher.windows[0].field);
    EXPECT_EQ("デモ Version 3.2 アップデート", watcher.windows[1].caption);
    EXPECT_EQ("アップデートが終了しました。", watcher.windows[1].text);

    EXPECT_EQ("new a", ReadFileBytes(installed + "\\a.txt"));
    EXPECT_EQ("new b", ReadFileBytes(installed + "\\sub\\b.txt"));
    EXPECT_EQ("a.txt sub", ListFolder(installed));
    EXPECT_FALSE(EventExists()) << "the instance event is closed at the end";
}

// Reads the bar back after each message that sets it, and the item line
// after each text. At the first position within the update a message is
// posted to the window: pumpedAt counts the positions read when the copy let
// it run (0: never).
class ProgressRecorder {
public:
    ProgressRecorder()
        : sent_(SetWindowsHookExA(WH_CALLWNDPROCRET, Sent, nullptr, GetCurrentThreadId())),
          taken_(SetWindowsHookExA(WH_GETMESSAGE, Taken, nullptr, GetCurrentThreadId()))
    {
        active = this;
    }
    virtual ~ProgressRecorder()
    {
        UnhookWindowsHookEx(sent_);
        UnhookWindowsHookEx(taken_);
        active = nullptr;
    }

    std::vector<std::pair<int, int>> positions;  // position, end of range
    std::vector<std::string> items;
    size_t pumpedAt = 0;

private:
    static LRESULT CALLBACK Sent(int code, WPARAM wParam, LPARAM lParam)
    {
        const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        const int id = code == HC_ACTION ? GetDlgCtrlID(sent->hwnd) : 0;
        if (id == IDC_PROGRESS_ITEM && sent->message == WM_SETTEXT)
            active->items.push_back(WindowText(sent->hwnd));
        if (id == IDC_PROGRESS_BAR &&
            (sent->message == PBM_SETPOS || sent->message == PBM_SETRANGE32)) {
            const int position = int(SendMessageA(sent->hwnd, PBM_GETPOS, 0, 0));
            const int end = int(SendMessageA(sent->hwnd, PBM_GETRANGE, FALSE, 0));
            if (position > 0 && position < end && !active->posted_)
                active->posted_ = PostMessageA(GetParent(sent->hwnd), WM_APP, 0, 0);
            active->positions.push_back({position, end});
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static LRESULT CALLBACK Taken(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HC_ACTION && reinterpret_cast<const MSG*>(lParam)->message == WM_APP)
            active->pumpedAt = active->positions.size();
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static ProgressRecorder* active;
    HHOOK sent_, taken_;
    bool posted_ = false;
};

ProgressRecorder* ProgressRecorder::active = nullptr;

TEST_F(Run, ProgressFollowsTheBytesAndClosesBeforeTheCompletionBox)
{
    WriteSettings("a.txt;big.bin;sub\\c.txt");
    WriteFileBytes(shipped + "\\a.txt", "new a");
    const std::string big(3 * 65536 + 100, 'b');  // four chunks
    WriteFileBytes(shipped + "\\big.bin", big);
    WriteFileBytes(shipped + "\\sub\\c.txt", "new c");
    MachineKey key("SOFTWARE\\" + brand + "\\" + name);
    key.SetText("execute", installed + "\\product.exe");

    CurrentDirectory inShipped(shipped);
    ProgressRecorder recorder;
    RunWatcher watcher(IDOK);
    EXPECT_EQ(0, RunUpdate(0));

    ASSERT_EQ(1u, watcher.progress.size());
    EXPECT_EQ("デモ Version 3.2 アップデート", watcher.progress[0].caption);
    EXPECT_EQ("コピー中：a.txt", watcher.progress[0].text);
    EXPECT_EQ("ＭＳ Ｐゴシック", watcher.progress[0].font);
    EXPECT_EQ(0, watcher.progress[0].style & WS_SYSMENU) << "no close box";
    EXPECT_EQ(0, watcher.progress[0].exStyle & WS_EX_TOPMOST);
    EXPECT_EQ((std::vector<std::string>{"コピー中：a.txt", "コピー中：big.bin",
                                        "コピー中：sub\\c.txt"}),
              recorder.items);
    ASSERT_EQ(2u, watcher.windows.size());
    EXPECT_EQ("アップデートが終了しました。", watcher.windows[1].text);
    EXPECT_FALSE(watcher.windows[1].progressShown) << "closed before the completion box";

    // a.txt is too small to move the bar; each chunk of big.bin moves it.
    const std::vector<std::pair<int, int>> expected = {
        {0, 10000},    {0, 10000},    {3331, 10000},  {6663, 10000},
        {9994, 10000}, {9999, 10000}, {10000, 10000}};
    EXPECT_EQ(expected, recorder.positions);
    EXPECT_GT(recorder.pumpedAt, 0u) << "the window's messages run during the copy";
    EXPECT_LT(recorder.pumpedAt, recorder.positions.size()) << "... not only after it";
    EXPECT_TRUE(big == ReadFileBytes(installed + "\\big.bin"));
}

TEST_F(Run, ProgressWindowClosesBeforeTheErrorBox)
{
    WriteSettings("a.txt;b.txt;c.txt");
    for (const char* item : {"\\a.txt", "\\b.txt", "\\c.txt"}) {
        WriteFileBytes(shipped + item, "new");
        WriteFileBytes(installed + item, "old");
    }
    SetFileAttributesA((installed + "\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    MachineKey key("SOFTWARE\\" + brand + "\\" + name);
    key.SetText("execute", installed + "\\product.exe");

    CurrentDirectory inShipped(shipped);
    RunWatcher watcher(IDOK, {IDABORT});
    EXPECT_EQ(0, RunUpdate(0));

    EXPECT_EQ(1u, watcher.progress.size());
    ASSERT_EQ(3u, watcher.windows.size());
    EXPECT_EQ("ファイルエラー", watcher.windows[1].caption);
    EXPECT_TRUE(watcher.windows[1].progressShown) << "the prompt comes while it shows";
    EXPECT_EQ(0u, watcher.windows[2].text.find("エラーが発生しました。")) << watcher.windows[2].text;
    EXPECT_FALSE(watcher.windows[2].progressShown) << "closed before the error box";
    EXPECT_EQ("new old old", ReadFileBytes(installed + "\\a.txt") + " " +
                                 ReadFileBytes(installed + "\\b.txt") + " " +
                                 ReadFileBytes(installed + "\\c.txt"));
}

TEST_F(Run, CancelTouchesNothingAndShowsNothingMore)
{
    WriteSettings("a.txt");
    WriteFileBytes(shipped + "\\a.txt", "new a");
    MachineKey key("SOFTWARE\\" + brand + "\\" + name);
    key.SetText("execute", installed + "\\product.exe");

    CurrentDirectory inShipped(shipped);
    RunWatcher watcher(IDCANCEL);
    EXPECT_EQ(0, RunUpdate());
    ASSERT_EQ(1u, watcher.windows.size());
    EXPECT_TRUE(watcher.windows[0].isDialog);
    EXPECT_EQ("", ListFolder(installed));
    EXPECT_FALSE(EventExists());
}

TEST_F(Run, SecondStartEndsAtOnceWithoutAWindow)
{
    WriteSettings("a.txt");
    WriteFileBytes(shipped + "\\a.txt", "new a");
    HANDLE running = CreateEventA(nullptr, TRUE, TRUE, name.c_str());
    ASSERT_NE(nullptr, running);

    CurrentDirectory inShipped(shipped);
    RunWatcher watcher(IDOK);
    EXPECT_EQ(0, RunUpdate());
    EXPECT_TRUE(watcher.windows.empty());
    EXPECT_EQ("", ListFolder(installed));
    CloseHandle(running);
}

TEST_F(Run, NoKeyShowsTheNoticeBeforeTheDialog)
{
    WriteSettings("");
    CurrentDirectory inShipped(shipped);
    RunWatcher watcher(IDOK);
    EXPECT_EQ(0, RunUpdate());
    ASSERT_EQ(3u, watcher.windows.size());
    EXPECT_EQ("エラー", watcher.windows[0].caption);
    EXPECT_EQ(0u, watcher.windows[0].text.find("デモ のインストール先が見つかりませんでした。"));
    EXPECT_TRUE(watcher.windows[1].isDialog);
    EXPECT_FALSE(watcher.windows[1].field.empty()) << "the program-files folder is proposed";
    EXPECT_EQ("アップデートが終了しました。", watcher.windows[2].text) << "shown for an empty list too";
}

TEST_F(Run, AbortOnTheMissingSettingsFileEndsInTheErrorBox)
{
    CurrentDirectory inShipped(shipped);
    RunWatcher watcher(IDOK, {IDABORT});
    EXPECT_EQ(0, RunUpdate());
    ASSERT_EQ(2u, watcher.windows.size());
    EXPECT_FALSE(watcher.windows[0].isDialog);
    EXPECT_EQ("エラー", watcher.windows[1].caption) << "the platform's own caption";
    EXPECT_EQ(0u, watcher.windows[1].text.find("エラーが発生しました。\nCode 0x"))
        << watcher.windows[1].text;
    EXPECT_EQ(std::string::npos, watcher.windows[1].text.find("Code 0x0 ")) << "carries the last error";
}

TEST(RunAndReport, EveryFailureEndsInOneErrorBox)
{
    struct Row {
        const char* label;
        std::function<void()> fail;
        std::string text;
    };
    const Row rows[] = {
        {"OCErrorException",
         [] {
             SetLastError(ERROR_FILE_NOT_FOUND);
             throw OCErrorException("ファイル a が開けません。");
         },
         "エラーが発生しました。\nCode 0x2 :ファイル a が開けません。"},
        {"OCException", [] { throw OCException(0x1234u); },
         "エラーが発生しました。\nCode 0x1234 :処理を続行できませんでした。"},
        {"bare STATUS_NO_MEMORY", [] { RaiseNoMemory(); },
         "エラーが発生しました。\nCode 0xc0000017 :メモリが不足しています。"},
        {"std::bad_alloc", [] { throw std::bad_alloc(); },
         "エラーが発生しました。\nCode 0xc0000017 :メモリが不足しています。"},
        {"anything else", [] { throw 42; },
         "エラーが発生しました。\nCode 0x0 :予期しないエラーが発生しました。"},
    };
    for (const Row& row : rows) {
        MessageBoxAnswerer answerer;
        RunAndReport(row.fail);
        ASSERT_EQ(1u, answerer.boxes.size()) << row.label;
        EXPECT_EQ("エラー", answerer.boxes[0].caption) << row.label;
        EXPECT_EQ(row.text, answerer.boxes[0].text) << row.label;
    }
}

TEST(RunAndReport, NothingShownWhenNothingFails)
{
    MessageBoxAnswerer answerer;
    bool ran = false;
    RunAndReport([&ran] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(answerer.boxes.empty());
}

}
