// The run's record: what a support reader finds in it after a run that
// finished, one that was aborted, one that was killed, and where it goes.

#include "tests/e2e/e2e_fixture.h"
#include "tests/support/archive_writer.h"
#include "tests/support/folder_link.h"

#include <regex>

namespace {

const char kBom[] = "\xEF\xBB\xBF";

std::vector<std::string> Lines(const std::string& log)
{
    std::vector<std::string> lines;
    size_t at = log.compare(0, 3, kBom) == 0 ? 3 : 0;
    for (size_t end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(log.substr(at, end - at));
    if (at < log.size())
        lines.push_back(log.substr(at));  // unterminated: a line cut short
    return lines;
}

// The first line holding every part, or "".
std::string LineWith(const std::vector<std::string>& lines, const std::vector<std::string>& parts)
{
    for (const std::string& line : lines) {
        bool all = true;
        for (const std::string& part : parts)
            all = all && line.find(part) != std::string::npos;
        if (all)
            return line;
    }
    return "";
}

std::string Pak(int32_t revision)
{
    PakSpec spec;
    spec.version = 2;
    spec.revision = revision;
    PakEntry entry;
    entry.name = "script.txt";
    entry.data = "rev " + std::to_string(revision);
    spec.entries.push_back(entry);
    return BuildPak(spec);
}

class RunLogTest : public E2ETest {
protected:
    RunLogTest() : logPath(scratch.Path("records\\run.log"))
    {
        CreateDirectoryA(scratch.Path("records").c_str(), nullptr);
    }

    SessionResult RunWith(const std::wstring& arguments, const std::vector<Step>& steps)
    {
        SessionOptions options;
        options.arguments = arguments;
        return RunSession(UpdaterExe(), update, steps, options);
    }
    std::wstring LogArgument() const { return L"\"/log=" + Wide(logPath) + L"\""; }

    // Checks the form every record has, and returns its lines.
    std::vector<std::string> Record(const std::string& path)
    {
        const std::string log = ReadFileBytes(path);
        EXPECT_EQ(log.substr(0, 3), kBom) << path;
        const std::regex stamped(
            "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} [+-]\\d\\d:\\d\\d  .+");
        const std::vector<std::string> lines = Lines(log);
        for (const std::string& line : lines)
            EXPECT_TRUE(std::regex_match(line, stamped)) << line;
        EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
        return lines;
    }

    std::string logPath;
};

}  // namespace

TEST_F(RunLogTest, AFinishedRunNamesEachItemWithItsDecisionAndTheVersionsCompared)
{
    struct Item {
        const char* name;
        std::string shipped, installed;
        std::vector<std::string> logged;  // parts of the item's line
    } items[] = {
        {"readme.txt", "new", "old", {"\"readme.txt\"", "to be copied", "plain file"}},
        {"newer.exe", StubBytes("app-2.0.exe"), StubBytes("app-1.9.exe"),
         {"\"newer.exe\"", "to be copied", "FileVersion \"2.0\"", "FileVersion \"1.9\""}},
        {"older.exe", StubBytes("app-1.10.exe"), StubBytes("app-1.9.exe"),
         {"\"older.exe\"", "skipped", "FileVersion \"1.10\"", "FileVersion \"1.9\"", "kept"}},
        {"data.pak", Pak(7), Pak(6),
         {"\"data.pak\"", "to be copied", "revision \"7\"", "revision \"6\""}},
        {"gone.txt", "", "", {"\"gone.txt\"", "skipped, not in the update folder"}},
    };
    std::string list;
    for (const Item& item : items) {
        list += std::string(list.empty() ? "" : ";") + item.name;
        if (!item.shipped.empty())
            Ship(item.name, item.shipped);
        if (!item.installed.empty())
            Installed(item.name, item.installed);
    }
    WriteIni(list);

    const SessionResult run = RunWith(L"/quiet " + LogArgument() + L" \"two words\"",
                                      {Press(IDOK), Press(IDOK)});
    ExpectCleanEnd(run);

    const std::vector<std::string> lines = Record(logPath);
    for (const Item& item : items) {
        EXPECT_NE(LineWith(lines, item.logged), "") << item.name;
        EXPECT_NE(LineWith(lines, {item.name, "target " + InstalledPath(item.name)}), "");
    }
    const std::vector<std::vector<std::string>> expected = {
        {"argument ignored: \"/quiet\""},
        {"argument ignored: \"two words\""},
        {"setting [update] Title = \"Demo\"", "plain file"},
        {"value execute", install},
        {"dialog answered OK", install},
        {"replaced " + InstalledPath("newer.exe")},
        {"message box", kDone},
        {"exit code 0: finished"},
    };
    for (const auto& parts : expected)
        EXPECT_NE(LineWith(lines, parts), "") << parts[0];
}

TEST_F(RunLogTest, AnAbortLogsTheFailingPathAndItsError)
{
    WriteIni("a.txt;b.txt");
    Ship("a.txt", "new a");
    Ship("b.txt", "new b");
    Installed("b.txt", "old b");
    SetFileAttributesA(InstalledPath("b.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    const SessionResult run =
        RunWith(LogArgument(), {Press(IDOK), Press(IDABORT), Press(IDOK)});
    ExpectCleanEnd(run);
    SetFileAttributesA(InstalledPath("b.txt").c_str(), FILE_ATTRIBUTE_NORMAL);

    const std::vector<std::string> lines = Record(logPath);
    EXPECT_NE(LineWith(lines, {"failed on " + InstalledPath("b.txt"), "error 5 (0x5)"}), "");
    EXPECT_NE(LineWith(lines, {"message box", u8"ファイル " + InstalledPath("b.txt")}), "");
    EXPECT_NE(LineWith(lines, {"answered: Abort"}), "");
    EXPECT_NE(LineWith(lines, {"the run ends in its error box", "error 5 (0x5)"}), "");
    EXPECT_EQ(lines.back().substr(lines.back().find("  ") + 2),
              "exit code 0: ended by its error box; 1 item applied (1 added), 0 skipped, 5 bytes written");
}

TEST_F(RunLogTest, AKilledRunLeavesEveryLineUpToItsLastEvent)
{
    WriteIni("a.txt;b.txt");
    Ship("a.txt", "new a");
    Ship("b.txt", "new b");
    Installed("b.txt", "old b");
    SetFileAttributesA(InstalledPath("b.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    {
        UpdaterProcess process(UpdaterExe(), update, LogArgument());
        WindowSnapshot window;
        ASSERT_TRUE(process.NextWindow(window));
        process.Press(window, IDOK);
        ASSERT_TRUE(process.NextWindow(window));  // the prompt for b.txt
        EXPECT_TRUE(window.Has(IDRETRY));
        EXPECT_TRUE(process.Kill());
    }
    SetFileAttributesA(InstalledPath("b.txt").c_str(), FILE_ATTRIBUTE_NORMAL);

    const std::vector<std::string> lines = Record(logPath);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(LineWith(lines, {"added " + InstalledPath("a.txt")}), "");
    EXPECT_NE(lines[lines.size() - 2].find("failed on " + InstalledPath("b.txt")), std::string::npos)
        << lines[lines.size() - 2];
    EXPECT_NE(lines.back().find(u8"message box \"ファイルエラー\""), std::string::npos) << lines.back();
}

TEST_F(RunLogTest, TheTemporaryFolderRecordTakesTheFirstFreeNameAndNeverFollowsOne)
{
    WriteIni("a.txt");
    Ship("a.txt", "new a");
    const std::string temporary = scratch.Path("temp");
    CreateDirectoryA(temporary.c_str(), nullptr);
    SYSTEMTIME today;
    GetLocalTime(&today);
    char day[16];
    wsprintfA(day, "%04u-%02u-%02u", today.wYear, today.wMonth, today.wDay);
    const auto named = [&](int number) {
        char name[48];
        wsprintfA(name, "\\updater %s #%03d.log", day, number);
        return temporary + name;
    };
    WriteFileBytes(named(1), "planted");
    WriteFileBytes(scratch.Path("victim.txt"), "victim");
    ASSERT_TRUE(MakeFileLink(named(2), scratch.Path("victim.txt")));
    // Dangling: an open that followed it would create the file it names.
    DeleteFileA(scratch.Path("victim.txt").c_str());

    // The updater inherits this process's temporary folder.
    char previous[MAX_PATH] = {};
    GetEnvironmentVariableA("TMP", previous, MAX_PATH);
    SetEnvironmentVariableA("TMP", temporary.c_str());
    const SessionResult run = RunWith(L"/log", {Press(IDOK), Press(IDOK)});
    SetEnvironmentVariableA("TMP", previous[0] ? previous : nullptr);
    ExpectCleanEnd(run);

    EXPECT_EQ(ReadFileBytes(named(1)), "planted");
    EXPECT_FALSE(FileExists(scratch.Path("victim.txt")));
    const std::vector<std::string> lines = Record(named(3));
    EXPECT_NE(LineWith(lines, {"this record: " + named(3)}), "");
    EXPECT_NE(LineWith(lines, {"exit code 0: finished"}), "");
    EXPECT_FALSE(FileExists(named(4)));
}

TEST_F(RunLogTest, ARecordThatCannotBeCreatedAtTheGivenPathEndsTheRunInAnErrorBox)
{
    WriteIni("a.txt");
    Ship("a.txt", "new a");
    WriteFileBytes(logPath, "an earlier record");
    const struct {
        std::string path;
        const char* code;
    } cases[] = {
        {logPath, "0x50"},                                      // exists: never overwritten
        {scratch.Path("no such folder\\run.log"), "0x3"},
    };
    for (const auto& given : cases) {
        const SessionResult run =
            RunWith(L"\"/LOG=" + Wide(given.path) + L"\"", {Press(IDOK)});
        ExpectCleanEnd(run);
        EXPECT_EQ(run.lines, std::vector<std::string>{BoxLine(
                                 u8"エラー", u8"エラーが発生しました。\nCode " + std::string(given.code) +
                                                u8" :ログファイル " + given.path +
                                                u8" を作成できませんでした。")});
    }
    EXPECT_EQ(ReadFileBytes(logPath), "an earlier record");
    EXPECT_EQ(ReadFileBytes(InstalledPath("a.txt")), "<missing>");
}
