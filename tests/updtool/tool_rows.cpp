#include "tests/updtool/tool_rows.h"

#include <gtest/gtest.h>
#include "tests/updtool/tool_runner.h"

void ExpectParts(const std::vector<std::string>& parts, const std::string& text, bool present,
                 const std::string& what)
{
    for (const std::string& part : parts) {
        EXPECT_EQ(present, text.find(part) != std::string::npos)
            << what << (present ? ": no\n" : ": still\n") << part << "\nin\n" << text;
    }
}

void RunToolRows(const std::vector<ToolRow>& rows)
{
    for (const ToolRow& row : rows) {
        ScratchDir scratch;
        row.setup(scratch);
        const ToolResult result = RunTool(row.args, scratch.Path());
        EXPECT_EQ(row.exitCode, result.exitCode) << row.what << "\n" << result.out << result.err;
        ExpectParts(row.out, result.out, true, row.what);
        ExpectParts(row.err, result.err, true, row.what);
        if (row.after)
            row.after(scratch, row.what);
    }
}

std::string Pak(const std::vector<PakEntry>& entries, uint32_t version, int32_t revision)
{
    PakSpec spec;
    spec.version = version;
    spec.revision = revision;
    spec.entries = entries;
    return BuildPak(spec);
}
