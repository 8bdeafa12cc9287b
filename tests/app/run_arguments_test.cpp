// The updater's command line as the system's runtime would split it.

#include <gtest/gtest.h>
#include "app/run_arguments.h"

TEST(RunArguments, SwitchesForAdministratorsAndEveryOtherArgumentNamed)
{
    const struct {
        const wchar_t* commandLine;
        bool log;
        const wchar_t* logPath;
        bool silent;
        const wchar_t* dir;
        std::vector<std::wstring> ignored;
    } cases[] = {
        {L"updater.exe", false, L"", false, L"", {}},
        {L"\"C:\\a b\\updater.exe\"", false, L"", false, L"", {}},
        {L"\"C:\\a b\\updater.exe\" /log=C:\\r.log", true, L"C:\\r.log", false, L"", {}},
        {L"updater.exe \"/log=C:\\a b\\r.log\"", true, L"C:\\a b\\r.log", false, L"", {}},
        {L"updater.exe /log=\"C:\\a b\\r.log\" /x", true, L"C:\\a b\\r.log", false, L"", {L"/x"}},
        {L"updater.exe /LOG=r.log", true, L"r.log", false, L"", {}},
        {L"updater.exe /Log", true, L"", false, L"", {}},
        {L"updater.exe /log=", true, L"", false, L"", {}},
        {L"updater.exe /log=a /log", true, L"", false, L"", {}},
        {L"updater.exe /logfile x", false, L"", false, L"", {L"/logfile", L"x"}},
        {L"updater.exe /log=a /log=b", true, L"b", false, L"", {}},
        {L"updater.exe /SILENT \"/Dir=C:\\Games\\Star fall\"", false, L"", true, L"C:\\Games\\Star fall", {}},
        {L"updater.exe /silent /silently /dir", false, L"", true, L"", {L"/silently", L"/dir"}},
        {L"updater.exe  \t a\\\\\"b c\" d\\\"e \"\"", false, L"", false, L"", {L"a\\b c", L"d\"e", L""}},
    };
    for (const auto& c : cases) {
        const RunArguments arguments = ParseRunArguments(c.commandLine);
        EXPECT_EQ(arguments.log, c.log) << c.commandLine;
        EXPECT_EQ(arguments.logPath, c.logPath) << c.commandLine;
        EXPECT_EQ(arguments.silent, c.silent) << c.commandLine;
        EXPECT_EQ(arguments.dir, c.dir) << c.commandLine;
        EXPECT_EQ(arguments.ignored, c.ignored) << c.commandLine;
        EXPECT_EQ(arguments.Records(), c.log || c.silent) << c.commandLine;
    }
}
