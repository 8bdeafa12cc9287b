// The console layer in process: how every command reads its options, and the
// report that renders one model as text or as one JSON document.

#include <gtest/gtest.h>

#include <windows.h>
#include <functional>
#include "tests/support/scratch_dir.h"
#include "updtool/console/command_line.h"
#include "updtool/console/command_report.h"

namespace {

// What write puts on the standard stream which (STD_OUTPUT_HANDLE or
// STD_ERROR_HANDLE), caught in a file.
std::string Caught(DWORD which, const std::function<void()>& write)
{
    ScratchDir scratch;
    const std::string path = scratch.Path("caught.txt");
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file);
    const HANDLE previous = GetStdHandle(which);
    SetStdHandle(which, file);
    write();
    SetStdHandle(which, previous);
    CloseHandle(file);
    return ReadFileBytes(path);
}

}  // namespace

TEST(CommandLine, OptionsAndUsageErrors)
{
    const std::vector<OptionSpec> specs = {{"--json", false}, {"--dest", true}};
    const struct {
        Arguments args;
        const char* error;  // "": parsed
        std::vector<std::wstring> positional, dests;
        bool json;
    } rows[] = {
        {{L"a", L"--json", L"b"}, "", {L"a", L"b"}, {}, true},
        {{L"--dest", L"x", L"--dest=y=z", L"--dest="}, "", {}, {L"x", L"y=z", L""}, false},
        {{L"--dest", L"--json"}, "", {}, {L"--json"}, false},
        {{L"-", L"--", L"--json", L"-x"}, "", {L"-", L"--json", L"-x"}, {}, false},
        {{L"--json=1"}, "option \"--json\" takes no value", {}, {}, false},
        {{L"a", L"--dest"}, "option \"--dest\" needs a value", {}, {}, false},
        {{L"--jsonx", L"--json"}, "unknown option \"--jsonx\"", {}, {}, false},
        {{L"-q=1"}, "unknown option \"-q\"", {}, {}, false},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        CommandLine line;
        bool parsed = false;
        const std::string err = Caught(STD_ERROR_HANDLE, [&] {
            parsed = line.Parse("demo", rows[i].args, specs);
        });
        const std::string error = rows[i].error;
        EXPECT_EQ(error.empty(), parsed) << "row " << i;
        const std::string usage = "updtool demo: " + error + " (see \"updtool demo --help\")\n";
        EXPECT_EQ(error.empty() ? "" : usage, err) << "row " << i;
        if (!parsed)
            continue;
        EXPECT_EQ(rows[i].positional, line.positional) << "row " << i;
        EXPECT_EQ(rows[i].dests, line.Values("--dest")) << "row " << i;
        const std::wstring* last = line.Value("--dest");
        EXPECT_EQ(rows[i].dests.empty() ? L"-" : rows[i].dests.back(), last ? *last : L"-") << i;
        EXPECT_EQ(rows[i].json, line.Has("--json")) << "row " << i;
    }
}

TEST(CommandReport, OneModelAsTextAndAsJson)
{
    // Columns count a character outside ASCII as two; a cell without words
    // is JSON only, one without key words only.
    const auto written = [](bool json) {
        return Caught(STD_OUTPUT_HANDLE, [json] {
            Report report(json);
            report.Field("ok", ReportValue::Flag(true), "ok: 2 items");
            report.Begin("items", true, "items:");
            report.Row({QuotedCell("item", "a.txt"), PlainCell("kind", "plain"),
                        ReportCell("size", ReportValue::Number(12))});
            report.Row({QuotedCell("item", "\x83\x5C.exe"), PlainCell("kind", "executable"),
                        ReportCell("size", ReportValue::Null())});
            report.End();
            report.Begin("notes", true, "notes:", LayoutLines);
            report.Row({ReportCell("severity", ReportValue::Text("warning"), "warning:"),
                        PlainCell("message", "a  b")});
            report.End();
            report.Begin("names", true, "", LayoutFlat);
            report.Row({ReportCell(nullptr, ReportValue::Text932("x\ty"))});
            report.Row({ReportCell("words only")});
            report.End();
            report.Write();
        });
    };
    EXPECT_EQ(u8"ok: 2 items\nitems:\n  \"a.txt\"   plain\n  \"\u30bd.exe\"  executable\n"
              u8"notes:\n  warning: a  b\nwords only\n",
              written(false));
    EXPECT_EQ(u8"{\"ok\":true,\"items\":[{\"item\":\"a.txt\",\"kind\":\"plain\",\"size\":12},"
              u8"{\"item\":\"\u30bd.exe\",\"kind\":\"executable\",\"size\":null}],"
              u8"\"notes\":[{\"severity\":\"warning\",\"message\":\"a  b\"}],"
              u8"\"names\":[\"x\\ty\"]}\n",
              written(true));
}
