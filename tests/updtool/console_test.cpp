// The console layer in process: how every command reads its options, the
// report that renders one model as text or as one JSON document, JSON's
// escapes, and names as UTF-8.

#include <gtest/gtest.h>

#include <windows.h>
#include <functional>
#include "base/text_932.h"
#include "tests/support/scratch_dir.h"
#include "updtool/console/command_line.h"
#include "updtool/console/command_report.h"
#include "base/shown_text.h"
#include "updtool/console/tool_output.h"

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

TEST(JsonWriter, EscapesStrings)
{
    const struct {
        std::string text;
        const char* json;
    } rows[] = {
        {"ab\"d\\efgh\x01ijklmn\tq\xE3\x82\xBDrst",
         "\"ab\\\"d\\\\efgh\\u0001ijklmn\\tq\xE3\x82\xBDrst\""},
        {std::string("a\nb\rc\0d\x1F", 8), "\"a\\nb\\rc\\u0000d\\u001f\""},
    };
    for (const auto& row : rows) {
        JsonWriter writer;
        writer.BeginObject();
        writer.Key("k");
        writer.Text(row.text);
        writer.EndObject();
        EXPECT_EQ(std::string("{\"k\":") + row.json + "}", writer.Take()) << row.json;
    }
}

TEST(TextConversion, NamesAsUtf8)
{
    // Every double-byte character comes out as the system converts it with
    // code page 932, whatever this system's own code page.
    int compared = 0;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        std::string name = "x\\";
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            std::string pair = {char(lead), char(trail)};
            std::wstring wide;
            if (trail != 0x7F && WideFrom932Exactly(pair.data(), 2, wide))
                name += pair;
        }
        std::wstring wide;
        if (name.size() == 2 || !WideFrom932Exactly(name.data(), uint32_t(name.size()), wide))
            continue;
        EXPECT_EQ(Utf8(wide), Utf8From932(name)) << std::hex << lead;
        ++compared;
    }
    EXPECT_GE(compared, 40);
    EXPECT_EQ(u8"ｱｲ\\ソフト", Utf8From932("ｱｲ\\ソフト"));
    // Bytes that are no text show by their value; control characters too
    // where names are shown to a reader.
    const struct {
        std::string name;
        const char* json;
        const char* shown;
    } rows[] = {
        {"a\x83", "a<83>", "a<83>"},
        {"\x83\x5C\x81 b", u8"ソ<81> b", u8"ソ<81> b"},
        {"a\rb\n\tc\x01", "a\rb\n\tc\x01", "a<CR>b<LF><TAB>c<01>"},
        {"\x83", "<83>", "<83>"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.json, Utf8From932(row.name)) << row.shown;
        EXPECT_EQ(row.shown, ShownName(row.name)) << row.shown;
    }
}
