#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include "tests/updtool/tool_runner.h"
#include "tests/support/scratch_dir.h"
#include "updtool/commands/commands.h"

namespace {

// Every command of the tool, with the usage its --help prints. The tool's
// own list (updtool --help) is held against this table, so a command added
// there without a row here fails the test.
const struct {
    const char* name;
    const char* const* usage;
} kCommands[] = {
    {"make", &makeUsage},       {"pack", &packUsage},       {"list", &listUsage},
    {"verify", &verifyUsage},   {"extract", &extractUsage}, {"compare", &compareUsage},
    {"revision", &revisionUsage}, {"check", &checkUsage},   {"plan", &planUsage},
    {"keygen", &keygenUsage},   {"sign", &signUsage},
};

// The command names updtool --help lists: "  NAME    summary" lines.
std::vector<std::string> ListedCommands(const std::string& help)
{
    std::vector<std::string> names;
    std::istringstream lines(help);
    std::string line;
    while (std::getline(lines, line))
        if (line.size() > 2 && line.compare(0, 2, "  ") == 0 && line[2] >= 'a' && line[2] <= 'z')
            names.push_back(line.substr(2, line.find(' ', 2) - 2));
    return names;
}

}  // namespace

// Every command answers --help with its usage on standard output and exit
// code 0, and a bad call with one line on standard error and exit code 2.
TEST(UpdtoolUsage, HelpAndBadCalls)
{
    ScratchDir scratch;
    const ToolResult overall = RunTool({"--help"}, scratch.Path());
    EXPECT_EQ(0, overall.exitCode);
    std::vector<std::string> listed = ListedCommands(overall.out), tested;
    for (const auto& command : kCommands)
        tested.push_back(command.name);
    std::sort(listed.begin(), listed.end());
    std::sort(tested.begin(), tested.end());
    EXPECT_EQ(listed, tested) << "updtool --help lists:\n" << overall.out;

    for (const auto& command : kCommands) {
        const std::string name = command.name;
        const ToolResult help = RunTool({name, "--help"}, scratch.Path());
        EXPECT_EQ(0, help.exitCode) << name;
        EXPECT_EQ(*command.usage, help.out) << name;
        EXPECT_EQ(0u, help.out.find("usage: updtool " + name + " ")) << help.out;
        EXPECT_EQ("", help.err) << name;

        const ToolResult bad = RunTool({name, "--no-such-option"}, scratch.Path());
        EXPECT_EQ(2, bad.exitCode) << name;
        EXPECT_EQ("updtool " + name + ": unknown option \"--no-such-option\" (see \"updtool " + name +
                      " --help\")\n",
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
