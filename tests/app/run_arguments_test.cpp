// The updater's command line as the system's runtime would split it.

#include <gtest/gtest.h>
#include "app/run_arguments.h"

TEST(RunArguments, OnlyLogMeansAnythingAndEveryOtherArgumentIsNamed)
{
    const struct {
        const wchar_t* commandLine;
        bool logGiven;
        const wchar_t* logPath;
        std::vector<std::wstring> ignored;
    } cases[] = {
        {L"updater.exe", false, L"", {}},
        {L"\"C:\\a b\\updater.exe\"", false, L"", {}},
        {L"\"C:\\a b\\updater.exe\" /log=C:\\r.log", true, L"C:\\r.log", {}},
        {L"updater.exe \"/log=C:\\a b\\r.log\"", true, L"C:\\a b\\r.log", {}},
        {L"updater.exe /log=\"C:\\a b\\r.log\" /x", true, L"C:\\a b\\r.log", {L"/x"}},
        {L"updater.exe /LOG=r.log", true, L"r.log", {}},
        {L"updater.exe /log=", true, L"", {}},
        {L"updater.exe /logfile x", false, L"", {L"/logfile", L"x"}},
        {L"updater.exe /log=a /log=b", true, L"b", {}},
        {L"updater.exe  \t a\\\\\"b c\" d\\\"e \"\"", false, L"", {L"a\\b c", L"d\"e", L""}},
    };
    for (const auto& c : cases) {
        const RunArguments arguments = ParseRunArguments(c.commandLine);
        EXPECT_EQ(arguments.logGiven, c.logGiven) << c.commandLine;
        EXPECT_EQ(arguments.logPath, c.logPath) << c.commandLine;
        EXPECT_EQ(arguments.ignored, c.ignored) << c.commandLine;
    }
}
