// What check and plan say, as a publisher reads it: each error once and
// where it belongs, one JSON document also when the run fails.

#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>
#include "tests/updtool/tool_rows.h"
#include "tests/updtool/tool_runner.h"

namespace {

const std::string kUtf8Title = "Title=\xE3\x82\xB9\xE3\x82\xBF\xE3\x83\xBC\r\n";  // UTF-8 スター

}  // namespace

// update.ini saved as UTF-8, and an item that leaves its folder: errors,
// not silence or a warning.
TEST(CheckAndPlanOutput, UpdateIniInUtf8AndItemsOutsideTheFolderAreErrors)
{
    RunToolRows({
        {"update.ini with a UTF-8 byte-order mark passed check",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("upd\\update.ini"), "\xEF\xBB\xBF[update]\r\nName=Utf8Bom\r\nfile=a.txt\r\n");
             WriteFileBytes(s.Path("upd\\a.txt"), "a");
         },
         {"check", "upd"}, 1,
         {"error: update.ini is saved as UTF-8 (it begins with a UTF-8 byte-order mark)"}, {}, nullptr},
        {"update.ini in UTF-8 without a mark passed check",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("upd\\update.ini"), "[update]\r\nName=Utf8Plain\r\n" + kUtf8Title +
                                                           "file=a.txt\r\n");
             WriteFileBytes(s.Path("upd\\a.txt"), "a");
         },
         {"check", "upd"}, 1,
         {"error: update.ini is saved as UTF-8 (its non-ASCII text is UTF-8, not code page 932)"}, {},
         nullptr},
        {"check called an item that leaves its folder a warning",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("upd\\update.ini"), "[update]\r\nName=Rooted\r\nfile=a.txt;\\windows\\win.ini\r\n");
             WriteFileBytes(s.Path("upd\\a.txt"), "a");
         },
         {"check", "upd"}, 1,
         {"error: item \"\\windows\\win.ini\" is refused by the updater, as it begins with a separator"},
         {}, nullptr},
    });
}

// What a publisher found in check's and plan's output, one row each: parts
// that must be in standard output, parts that must not, and standard error
// whole.
TEST(CheckAndPlanOutput, SayEachThingOnce)
{
    struct OutputRow {
        const char* defect;
        std::function<void(ScratchDir&)> setup;
        std::vector<std::string> args;
        int exitCode;
        std::vector<std::string> out, notOut;
        const char* err;  // null: not compared
    };
    const auto folder = [](const std::string& ini) {
        return [ini](ScratchDir& s) {
            WriteFileBytes(s.Path("upd\\update.ini"), ini);
            WriteFileBytes(s.Path("upd\\a.txt"), "a");
        };
    };
    std::string many = "[update]\r\nBrand=QuillmarkDefects\r\nName=Many\r\nTitle=T\r\nVersion=1\r\nfile=";
    for (int i = 0; i < 200; ++i)
        many += "item" + std::to_string(i) + ".txt;";
    const std::vector<OutputRow> rows = {
        {"a --json plan that failed wrote no JSON", [](ScratchDir&) {}, {"plan", "nofolder", "--json"}, 2,
         {"{\"error\":\"updtool plan: cannot enter the folder \\\"nofolder\\\"\"}\n"}, {}, nullptr},
        {"a --json check that failed wrote no JSON", [](ScratchDir&) {}, {"check", "nofolder", "--json"}, 2,
         {"{\"error\":\"updtool check: cannot enter the folder \\\"nofolder\\\"\"}\n"}, {}, nullptr},
        {"a --json run with a bad option wrote no JSON", [](ScratchDir&) {}, {"plan", "--json", "--nope"}, 2,
         {"{\"error\":\"updtool plan: unknown option \\\"--nope\\\""}, {}, nullptr},
        {"plan --json printed the registry notice twice",
         folder("[update]\r\nBrand=QuillmarkDefects\r\nName=NoEntry\r\nfile=a.txt\r\n"), {"plan", "upd", "--json"},
         0, {"\"destinationFrom\":\"program-files\",\"notice\":\"" + std::string(u8"アップデート のインストール先")},
         {}, ""},
        {"plan listed every item twice",
         folder("[update]\r\nBrand=QuillmarkDefects\r\nName=Once\r\nfile=a.txt\r\n"),
         {"plan", "upd", "--dest", "inst"}, 0, {"  apply   \"a.txt\"  plain"}, {"targets:", "\\inst\\a.txt"}, ""},
        {"check printed file= as one line of thousands of characters", folder(many), {"check", "upd"}, 0,
         {"200 items, listed under items"}, {"item199.txt;"}, ""},
        {"check passed silently without Brand, Name, Title and Version", folder("[update]\r\nfile=a.txt\r\n"),
         {"check", "upd"}, 0,
         {"warning: Brand, Name, Title, Version are not read from [update]: the updater uses its defaults "
          "(Brand \"Quillmark\", Name \"Installer\", "},
         {}, ""},
    };
    for (const OutputRow& row : rows) {
        ScratchDir scratch;
        row.setup(scratch);
        const ToolResult result = RunTool(row.args, scratch.Path());
        EXPECT_EQ(row.exitCode, result.exitCode) << row.defect << "\n" << result.out << result.err;
        ExpectParts(row.out, result.out, true, row.defect);
        ExpectParts(row.notOut, result.out, false, row.defect);
        if (row.err) {
            EXPECT_EQ(row.err, result.err) << row.defect;
        }
    }
}
