// The run's record as a file: its name, its bound, and what a line may hold.

#include <gtest/gtest.h>
#include <windows.h>
#include "system/run_log.h"
#include "tests/support/scratch_dir.h"

namespace {

uint64_t FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

}  // namespace

TEST(RunLog, NamesCountFromTheDayAndNumber)
{
    SYSTEMTIME day = {};
    day.wYear = 2026;
    day.wMonth = 3;
    day.wDay = 9;
    EXPECT_EQ(RunLogName(day, 1), L"updater 2026-03-09 #001.log");
    EXPECT_EQ(RunLogName(day, 42), L"updater 2026-03-09 #042.log");
}

TEST(RunLog, LinesShowControlCharactersAndStopAtTheLimitWithALastWord)
{
    ScratchDir scratch;
    const std::string path = scratch.Path("run.log");
    ASSERT_TRUE(StartRunLog(Wide(path)));
    LogEvent("line\r\nbreak\ttab\x01");
    const std::string line(1000, 'x');
    for (uint32_t written = 0; written < kRunLogLimit + 100000; written += 1000)
        LogEvent(line);
    EndRunLog();
    LogEvent("after the end");  // nothing is open: nothing happens

    const std::string log = ReadFileBytes(path);
    EXPECT_LE(log.size(), kRunLogLimit);
    EXPECT_GT(log.size(), kRunLogLimit - 2000);
    EXPECT_EQ(log.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(log.find("  line\\r\\nbreak\\ttab\\x01\r\n"), std::string::npos);
    const std::string last = log.substr(log.rfind("\r\n", log.size() - 3) + 2);
    EXPECT_NE(last.find("the rest of this run's record was left out"), std::string::npos) << last;
    EXPECT_EQ(log.find("after the end"), std::string::npos);
    EXPECT_EQ(FileSize(path), log.size());
}

// Nothing a value holds can end a line or pass for another, and no value
// fills the record.
TEST(RunLog, NoValueEndsOrFakesALineOrFillsTheRecord)
{
    const struct {
        std::string logged;
        std::string shown;
    } rows[] = {
        {u8"a\u2028b\u2029c\u0085d", "a\\u2028b\\u2029c\\u0085d"},
        {u8"\u202Eevil\u2066x\uFEFF", "\\u202Eevil\\u2066x\\uFEFF"},
        {"\x7F\x1B[2J", "\\x7F\\x1B[2J"},
        {"bad \xC0\xAF \xED\xA0\x80 \xFF", "bad \\xC0\\xAF \\xED\\xA0\\x80 \\xFF"},
        {u8"\u30C7\u30FC\u30BF \U0001F600", u8"\u30C7\u30FC\u30BF \U0001F600"},
        {LogText(std::wstring(2000, L'x') + L"y"), std::string(1024, 'x') + "\xE2\x80\xA6 2,001 bytes"},
        {LogText(std::wstring(1023, L'x') + L"\u30C7"), std::string(1023, 'x') + "\xE2\x80\xA6 1,026 bytes"},
    };
    ScratchDir scratch;
    const std::string path = scratch.Path("run.log");
    ASSERT_TRUE(StartRunLog(Wide(path)));
    for (const auto& row : rows)
        LogEvent("[" + row.logged + "]");
    EndRunLog();
    const std::string log = ReadFileBytes(path);
    for (const auto& row : rows)
        EXPECT_NE(log.find("  [" + row.shown + "]\r\n"), std::string::npos) << row.shown << "\nin\n" << log;
}

TEST(RunLog, TakesTheFirstFreeNumberAndNeverOpensAnExistingName)
{
    ScratchDir scratch;
    SYSTEMTIME today;
    GetLocalTime(&today);
    const std::wstring folder = Wide(scratch.Path());
    const auto planted = [&](unsigned number) {
        const std::wstring name = RunLogName(today, number);
        return scratch.Path(std::string(name.begin(), name.end()));  // ASCII
    };
    WriteFileBytes(planted(1), "planted");
    WriteFileBytes(planted(2), "planted");

    const std::wstring predicted = NextRunLogPath(folder);
    ASSERT_TRUE(StartRunLogIn(folder));
    EXPECT_EQ(RunLogPath(), folder + L"\\" + RunLogName(today, 3));
    EXPECT_EQ(RunLogPath(), predicted);
    EXPECT_FALSE(StartRunLog(Wide(planted(1))));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(RunLogPath(), L"");
    EXPECT_EQ(ReadFileBytes(planted(1)), "planted");
    EXPECT_EQ(ReadFileBytes(planted(2)), "planted");
}
