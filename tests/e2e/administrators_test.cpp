// What administrators and support meet around a run: the default run that
// keeps no record and ends with 0, /silent and its exit codes, /dir=, the
// record's first and last lines, an installed file a program holds (never
// replaced by an older one), and the programs named before the first write.

#include "tests/e2e/e2e_fixture.h"
#include "tests/support/archive_writer.h"

#include <regex>

namespace {

const char kHeldBox[] = u8"インストール先のファイルを次のプログラムが使用しています。\n"
                        u8"プログラムを終了してから［再試行］を押してください。［キャンセル］を押すと、何も変更せずに終了します。\n\n";

// The record's lines without their time stamps.
std::vector<std::string> RecordLines(const std::string& path)
{
    std::vector<std::string> lines;
    const std::string log = ReadFileBytes(path);
    for (size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2) {
        const std::string line = log.substr(at, end - at);
        const size_t text = line.find("  ");
        lines.push_back(text == std::string::npos ? line : line.substr(text + 2));
    }
    return lines;
}

// The files a folder holds, by name.
std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// Opens path as a program does that lets nobody else in; Release closes it.
class HeldFile {
public:
    explicit HeldFile(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr))
    {
        EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << path;
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    virtual ~HeldFile() { Release(); }
    void Release()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

// A program started from path that holds target open until it is ended.
class HoldingProgram {
public:
    HoldingProgram(const std::string& path, const std::string& target)
    {
        std::string line = "\"" + path + "\" \"" + target + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        if (!CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_)) {
            ADD_FAILURE() << "cannot start " << path;
            return;
        }
        CloseHandle(process_.hThread);
        EXPECT_TRUE(WaitUntil([&] {
            const HANDLE probe = CreateFileA(target.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, 0, nullptr);
            if (probe != INVALID_HANDLE_VALUE)
                CloseHandle(probe);
            return probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
        })) << path << " never held " << target;
    }
    HoldingProgram(const HoldingProgram&) = delete;
    HoldingProgram& operator=(const HoldingProgram&) = delete;
    virtual ~HoldingProgram() { End(); }
    void End()
    {
        if (!process_.hProcess)
            return;
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, kWaitMs);
        CloseHandle(process_.hProcess);
        process_.hProcess = nullptr;
    }

private:
    PROCESS_INFORMATION process_ = {};
};

class AdministratorsTest : public E2ETest {
protected:
    AdministratorsTest() : temporary(scratch.Path("temp"))
    {
        CreateDirectoryA(temporary.c_str(), nullptr);
        WriteIni("a.txt;b.txt");
        Ship("a.txt", "new a");
        Ship("b.txt", "new b");
        Installed("b.txt", "old b");
    }

    // Runs the updater with arguments, its temporary folder this test's own.
    SessionResult RunWith(const std::wstring& arguments, const std::vector<Step>& steps)
    {
        char previous[MAX_PATH] = {};
        GetEnvironmentVariableA("TMP", previous, MAX_PATH);
        SetEnvironmentVariableA("TMP", temporary.c_str());
        SessionOptions options;
        options.arguments = arguments;
        const SessionResult run = RunSession(UpdaterExe(), update, steps, options);
        SetEnvironmentVariableA("TMP", previous[0] ? previous : nullptr);
        return run;
    }

    void ForgetInstallFolder()
    {
        HKEY product = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\" + brand + "\\" + name).c_str(), 0, KEY_SET_VALUE,
                                &product),
                  ERROR_SUCCESS);
        RegDeleteValueA(product, "execute");
        RegCloseKey(product);
    }

    std::string Installed2() const
    {
        return ReadFileBytes(InstalledPath("a.txt")) + " | " + ReadFileBytes(InstalledPath("b.txt"));
    }

    std::string temporary;
};

}  // namespace

// Callers of the updater rely on what it always did: no file left behind,
// exit code 0, whichever way the run ends.
TEST_F(AdministratorsTest, TheDefaultRunKeepsNoRecordAndEndsWithZero)
{
    const struct {
        const char* how;
        std::function<void()> lay;
        std::vector<Step> steps;
    } rows[] = {
        {"finished", [] {}, {Press(IDOK), Press(IDOK)}},
        {"cancelled in the dialog", [] {}, {Press(IDCANCEL)}},
        {"aborted at an open prompt",
         [this] { SetFileAttributesA(InstalledPath("b.txt").c_str(), FILE_ATTRIBUTE_READONLY); },
         {Press(IDOK), Press(IDABORT), Press(IDOK)}},
        {"a refused item's error box", [this] { WriteIni("..\\a.txt"); }, {Press(IDOK)}},
    };
    for (const auto& row : rows) {
        row.lay();
        const SessionResult run = RunWith(L"", row.steps);
        SetFileAttributesA(InstalledPath("b.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
        ExpectCleanEnd(run);
        EXPECT_EQ(run.windows.size(), row.steps.size()) << row.how;
        EXPECT_EQ(FilesIn(temporary), std::vector<std::string>()) << row.how;
    }
}

// /silent: nothing on screen, a record always, and an exit code a deployment
// tool acts on: 0 done, 1618 try again later, 1603 failed.
TEST_F(AdministratorsTest, SilentRunsShowNothingAndEndWithTheirCodes)
{
    const std::string given = scratch.Path("given");
    const struct {
        const char* how;
        std::wstring arguments;
        std::function<void()> lay;
        DWORD code;
        std::string endsAs;  // the record's last line begins so
        std::string installed;
    } rows[] = {
        {"finished", L"/silent", [] {}, 0, "exit code 0: finished; 2 items applied (1 added), 0 skipped, 10 bytes written",
         "new a | new b"},
        {"no install folder recorded, none given", L"/SILENT", [this] { ForgetInstallFolder(); }, 1603,
         "exit code 1603: no install folder", "<missing> | old b"},
        {"the folder given with /dir=", L"/silent \"/dir=" + Wide(given) + L"\"", [this] { ForgetInstallFolder(); },
         0, "exit code 0: finished", "<missing> | old b"},
        {"a read-only target: the open prompt answered Abort", L"/silent",
         [this] { SetFileAttributesA(InstalledPath("b.txt").c_str(), FILE_ATTRIBUTE_READONLY); }, 1603,
         "exit code 1603: ended by its error box", "new a | old b"},
        {"a volume without the room", L"/silent",
         [this] {
             ULARGE_INTEGER free = {};
             ASSERT_TRUE(GetDiskFreeSpaceExA(install.c_str(), &free, nullptr, nullptr));
             ASSERT_TRUE(WriteSparseFile(ShippedPath("big.bin"), int64_t(free.QuadPart) + (int64_t(1) << 30)));
             WriteIni("a.txt;b.txt;big.bin");
         },
         1603, "exit code 1603: not enough room for the copies: ended, nothing written", "<missing> | old b"},
    };
    for (const auto& row : rows) {
        row.lay();
        const SessionResult run = RunWith(row.arguments, {});
        SetFileAttributesA(InstalledPath("b.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(run.problem, "") << row.how;
        EXPECT_TRUE(run.windows.empty() && run.progress.empty()) << row.how;
        EXPECT_TRUE(run.exited) << row.how;
        EXPECT_EQ(run.exitCode, row.code) << row.how;
        EXPECT_EQ(Installed2(), row.installed) << row.how;
        const std::vector<std::string> records = FilesIn(temporary);
        ASSERT_EQ(records.size(), 1u) << row.how;
        const std::vector<std::string> lines = RecordLines(temporary + "\\" + records[0]);
        ASSERT_FALSE(lines.empty()) << row.how;
        EXPECT_EQ(lines.back().substr(0, row.endsAs.size()), row.endsAs) << row.how;
        DeleteFileA((temporary + "\\" + records[0]).c_str());
        SetFileAttributesA(ShippedPath("big.bin").c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(ShippedPath("big.bin").c_str());
        WriteIni("a.txt;b.txt");
        key.SetExecute(install + "\\demo.exe");
        DeleteFileA(InstalledPath("a.txt").c_str());
        Installed("b.txt", "old b");
    }
    EXPECT_EQ(ReadFileBytes(given + "\\a.txt"), "new a");
}

TEST_F(AdministratorsTest, SilentRunsEndWith1618WhileAnotherUpdaterRunsOrATargetIsHeld)
{
    const std::wstring silent = L"\"/log=" + Wide(scratch.Path("run.log")) + L"\" /silent";
    {
        HeldFile held(InstalledPath("b.txt"));
        const SessionResult run = RunWith(silent, {});
        EXPECT_EQ(run.problem, "");
        EXPECT_TRUE(run.windows.empty());
        EXPECT_EQ(run.exitCode, 1618u);
    }
    EXPECT_EQ(Installed2(), "<missing> | old b");
    const std::vector<std::string> lines = RecordLines(scratch.Path("run.log"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().substr(0, 16), "exit code 1618: ");

    UpdaterProcess first(UpdaterExe(), update);
    WindowSnapshot dialog;
    ASSERT_TRUE(first.NextWindow(dialog)) << first.StartError();
    const SessionResult second = RunWith(L"/silent", {});
    EXPECT_EQ(second.problem, "");
    EXPECT_EQ(second.exitCode, 1618u);
    first.Press(dialog, IDCANCEL);
}

// Without /silent, /dir= is what the dialog proposes.
TEST_F(AdministratorsTest, TheDialogProposesTheFolderGivenWithDir)
{
    const std::string given = scratch.Path("given folder");
    const SessionResult run = RunWith(L"\"/Dir=" + Wide(given) + L"\"", {Press(IDOK), Press(IDOK)});
    ExpectCleanEnd(run);
    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, given), BoxLine(kCaption, kDone)}));
    EXPECT_EQ(ReadFileBytes(given + "\\a.txt"), "new a");
    EXPECT_EQ(Installed2(), "<missing> | old b");
}

// Support reads which build ran, and how the run ended, without reading
// everything between.
TEST_F(AdministratorsTest, TheRecordBeginsWithTheBuildAndEndsWithTheSum)
{
    const std::string record = scratch.Path("run.log");
    const SessionResult run = RunWith(L"\"/log=" + Wide(record) + L"\"", {Press(IDOK), Press(IDOK)});
    ExpectCleanEnd(run);
    const std::vector<std::string> lines = RecordLines(record);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(std::regex_search(
        lines.front(), std::regex("^updater [0-9.]+ \\(commit ([0-9a-f]{12}(\\+changes)?|unknown)\\) started: ")))
        << lines.front();
    EXPECT_EQ(lines.back(), "exit code 0: finished; 2 items applied (1 added), 0 skipped, 10 bytes written");
}

// An installed file a program holds cannot be read: it is asked about, and
// once it can be read, a newer installed copy stays.
TEST_F(AdministratorsTest, AHeldNewerFileIsAskedAboutAndNeverDowngraded)
{
    const struct {
        const char* item;
        std::string installed, shipped;
        int answer;
    } rows[] = {
        {"app.exe", StubBytes("app-2.0.exe"), StubBytes("app-1.9.exe"), IDRETRY},
        {"data.pak", ArchiveOfRevision(900, "rev 900"), ArchiveOfRevision(130, "rev 130"), IDRETRY},
        {"app.exe", StubBytes("app-2.0.exe"), StubBytes("app-1.9.exe"), IDIGNORE},
    };
    for (const auto& row : rows) {
        WriteIni(row.item);
        Ship(row.item, row.shipped);
        Installed(row.item, row.installed);
        HeldFile held(InstalledPath(row.item));
        const SessionResult run =
            RunWith(L"", {Press(IDOK), After([&held] { held.Release(); }, Press(row.answer)), Press(IDOK)});
        ExpectCleanEnd(run);
        EXPECT_EQ(run.lines, (std::vector<std::string>{
                                 DialogLine(kCaption, install),
                                 PromptLine(u8"ファイル " + InstalledPath(row.item) + u8" が開けません。"),
                                 BoxLine(kCaption, kDone)}))
            << row.item;
        EXPECT_TRUE(ReadFileBytes(InstalledPath(row.item)) == row.installed) << row.item;
    }
}

// A program of the product, running from the install folder, holds a
// target: named before anything is written; Cancel writes nothing, Retry
// once it has ended applies.
TEST_F(AdministratorsTest, AProgramHoldingATargetIsNamedBeforeTheFirstWrite)
{
    Installed("viewer.exe", StubBytes("file_holder.exe"));
    for (const int answer : {IDCANCEL, IDRETRY}) {
        HoldingProgram viewer(InstalledPath("viewer.exe"), InstalledPath("b.txt"));
        const SessionResult run =
            answer == IDCANCEL ? RunWith(L"", {Press(IDOK), Press(IDCANCEL)})
                               : RunWith(L"", {Press(IDOK), After([&viewer] { viewer.End(); }, Press(IDRETRY)),
                                               Press(IDOK)});
        viewer.End();
        ExpectCleanEnd(run);
        ASSERT_GE(run.lines.size(), 2u) << answer;
        EXPECT_EQ(run.lines[1], std::string(kCaption) + " | " + kHeldBox + "viewer.exe | 4 2") << answer;
        EXPECT_EQ(Installed2(), answer == IDCANCEL ? "<missing> | old b" : "new a | new b") << answer;
    }
}

// The folders made for an item that was then left out (Ignore, or a run
// ended at the prompt and recovered by the next) are not left behind empty;
// one that holds anything stays.
TEST_F(AdministratorsTest, AnItemLeftOutLeavesNoEmptyFolderTheRunMade)
{
    WriteIni("sub\\deep\\a.txt;kept\\b.txt");
    Ship("sub\\deep\\a.txt", "new a");
    Ship("kept\\b.txt", "new b");
    Installed("kept\\old.txt", "old");
    for (const bool killed : {false, true}) {
        HeldFile held(ShippedPath("sub\\deep\\a.txt"));
        const std::string prompt = PromptLine(u8"ファイル sub\\deep\\a.txt が開けません。");
        if (!killed) {
            const SessionResult run = RunWith(L"", {Press(IDOK), Press(IDIGNORE), Press(IDOK)});
            ExpectCleanEnd(run);
            ASSERT_EQ(run.lines.size(), 3u);
            EXPECT_EQ(run.lines[1], prompt);
        } else {
            UpdaterProcess process(UpdaterExe(), update);
            WindowSnapshot window;
            ASSERT_TRUE(process.NextWindow(window));
            process.Press(window, IDOK);
            ASSERT_TRUE(process.NextWindow(window));
            EXPECT_EQ(window.Line(), prompt);
            EXPECT_TRUE(FileExists(InstalledPath("sub\\deep")));
            EXPECT_TRUE(process.Kill());
            // The next run recovers before its dialog.
            ExpectCleanEnd(RunWith(L"", {Press(IDCANCEL)}));
        }
        EXPECT_FALSE(FileExists(InstalledPath("sub"))) << killed;
        EXPECT_EQ(ReadFileBytes(InstalledPath("kept\\old.txt")), "old") << killed;
    }
}
