#include <gtest/gtest.h>

#include "tests/updtool/tool_runner.h"
#include "tests/support/scratch_dir.h"

// Every command answers --help on standard output with exit code 0, and a
// bad call with one line on standard error and exit code 2.
TEST(UpdtoolUsage, HelpAndBadCalls)
{
    ScratchDir scratch;
    for (const char* command : {"make", "pack", "list", "verify", "extract", "compare", "revision", "check", "plan"}) {
        const ToolResult help = RunTool({command, "--help"}, scratch.Path());
        EXPECT_EQ(0, help.exitCode) << command;
        EXPECT_EQ(0u, help.out.find(std::string("usage: updtool ") + command)) << help.out;
        EXPECT_EQ("", help.err) << command;

        const ToolResult bad = RunTool({command, "--no-such-option"}, scratch.Path());
        EXPECT_EQ(2, bad.exitCode) << command;
        EXPECT_EQ(std::string("updtool ") + command + ": unknown option \"--no-such-option\" (see \"updtool " +
                      command + " --help\")\n",
                  bad.err);
    }
    const ToolResult unknown = RunTool({"frobnicate"}, scratch.Path());
    EXPECT_EQ(2, unknown.exitCode);
    EXPECT_EQ("updtool: unknown command \"frobnicate\" (see \"updtool --help\")\n", unknown.err);
    EXPECT_EQ(2, RunTool({}, scratch.Path()).exitCode);
}

// --version prints the project's version as CMake's project() sets it
// (VERSION_FROM_CMAKE); the overall help names the option.
TEST(UpdtoolUsage, VersionIsTheProjectVersion)
{
    ScratchDir scratch;
    const ToolResult version = RunTool({"--version"}, scratch.Path());
    EXPECT_EQ(0, version.exitCode);
    EXPECT_EQ(std::string("updtool ") + VERSION_FROM_CMAKE + "\n", version.out);
    EXPECT_EQ("", version.err);

    const ToolResult help = RunTool({"--help"}, scratch.Path());
    EXPECT_EQ(0, help.exitCode);
    EXPECT_NE(std::string::npos, help.out.find("\n  --version print updtool's version\n")) << help.out;
}
