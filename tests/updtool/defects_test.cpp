// What a publisher found wrong with the tool, one row each: the folder it
// is run in, the command, and what must come of it, files around it
// included.

#include <gtest/gtest.h>
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "tests/support/archive_writer.h"
#include "tests/support/scratch_dir.h"
#include "tests/updtool/tool_runner.h"

namespace {

std::string Pak(const std::vector<PakEntry>& entries, uint32_t version = 2, int32_t revision = 9)
{
    PakSpec spec;
    spec.version = version;
    spec.revision = revision;
    spec.entries = entries;
    return BuildPak(spec);
}

// A second name for the file at target, as a planted link would be.
void HardLink(const std::string& link, const std::string& target)
{
    ASSERT_TRUE(CreateHardLinkA(link.c_str(), target.c_str(), nullptr)) << link << " " << GetLastError();
}

// A file of size bytes that takes no room (Wine makes it sparse).
void BigFile(const std::string& path, int64_t size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER to;
    to.QuadPart = size;
    EXPECT_TRUE(SetFilePointerEx(file, to, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
}

struct Row {
    const char* defect;
    std::function<void(ScratchDir&)> setup;
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> out;  // each a part of standard output
    std::vector<std::string> err;  // each a part of standard error
    std::function<void(ScratchDir&, const char*)> after;
};

// A file a row holds open while the tool runs.
HANDLE held = INVALID_HANDLE_VALUE;

const std::string kUtf8Title = "Title=\xE3\x82\xB9\xE3\x82\xBF\xE3\x83\xBC\r\n";  // UTF-8 スター

// Each part must be found in text (or, present false, must not be).
void ExpectParts(const std::vector<std::string>& parts, const std::string& text, bool present,
                 const std::string& defect)
{
    for (const std::string& part : parts) {
        EXPECT_EQ(present, text.find(part) != std::string::npos)
            << defect << (present ? ": no\n" : ": still\n") << part << "\nin\n" << text;
    }
}

}  // namespace

TEST(UpdtoolDefects, EachIsMended)
{
    const std::vector<Row> rows = {
        {"extract wrote through files under its fixed temporary names",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("x.pak"), Pak({Raw("f.txt", "new f"), Raw("g.txt", "new g")}));
             WriteFileBytes(s.Path("keep.txt"), "mine");
             WriteFileBytes(s.Path("out\\f.txt.updtool-tmp"), "stale");
             HardLink(s.Path("out\\g.txt.updtool-tmp"), s.Path("keep.txt"));
         },
         {"extract", "x.pak", "-C", "out"}, 0, {"f.txt\n", "g.txt\n"}, {},
         [](ScratchDir& s, const char* defect) {
             EXPECT_EQ("mine", ReadFileBytes(s.Path("keep.txt"))) << defect;
             EXPECT_EQ("stale", ReadFileBytes(s.Path("out\\f.txt.updtool-tmp"))) << defect;
             EXPECT_EQ("mine", ReadFileBytes(s.Path("out\\g.txt.updtool-tmp"))) << defect;
             EXPECT_EQ("new g", ReadFileBytes(s.Path("out\\g.txt"))) << defect;
             EXPECT_EQ("f.txt f.txt.updtool-tmp g.txt g.txt.updtool-tmp", ListFolder(s.Path("out")))
                 << defect;
         }},
        {"an entry named like extract's temporary file hid another",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("x.pak"), Pak({Raw("f.txt.updtool-tmp", "tmp"), Raw("f.txt", "f")}));
             CreateDirectoryA(s.Path("out").c_str(), nullptr);
         },
         {"extract", "x.pak", "-C", "out"}, 0, {"f.txt.updtool-tmp\n", "f.txt\n"}, {},
         [](ScratchDir& s, const char* defect) {
             EXPECT_EQ("tmp", ReadFileBytes(s.Path("out\\f.txt.updtool-tmp"))) << defect;
             EXPECT_EQ("f", ReadFileBytes(s.Path("out\\f.txt"))) << defect;
         }},
        {"pack deleted files under its fixed temporary names",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("src\\a.txt"), "a");
             WriteFileBytes(s.Path("keep.txt"), "mine");
             WriteFileBytes(s.Path("out.pak.updtool-tmp"), "stale");
             HardLink(s.Path("out.pak.updtool-data"), s.Path("keep.txt"));
         },
         {"pack", "out.pak", "src", "--revision", "1"}, 0, {"packed 1 entry"}, {},
         [](ScratchDir& s, const char* defect) {
             EXPECT_EQ("mine", ReadFileBytes(s.Path("out.pak.updtool-data"))) << defect;
             EXPECT_EQ("stale", ReadFileBytes(s.Path("out.pak.updtool-tmp"))) << defect;
             EXPECT_EQ("keep.txt out.pak out.pak.updtool-data out.pak.updtool-tmp src",
                       ListFolder(s.Path()))
                 << defect;
         }},
        {"verify passed names that extract refuses",
         [](ScratchDir& s) {
             std::vector<PakEntry> entries;
             for (const char* name : {"..\\x", "C:\\x", "\\\\srv\\s\\x", "CON", "ab:c", "x.", "x ", "",
                                      "a\x01" "b", "\x83", "ok.txt", "OK.TXT"})
                 entries.push_back(Raw(name, "d"));
             WriteFileBytes(s.Path("x.pak"), Pak(entries, 1));
         },
         {"verify", "x.pak"}, 1,
         {"\"..\\x\": the name has a \"..\" part", "\"C:\\x\": the name names a drive",
          "\"\\\\srv\\s\\x\": the name is absolute", "\"CON\": the name names the device CON",
          "\"ab:c\": the name holds \":\"", "\"x.\": the name has a part ending in a dot or space",
          "\"x \": the name has a part ending in a dot or space", "\"\": the name is empty",
          "\"a<01>b\": the name holds a character Windows does not allow",
          "\"<83>\": the name is not valid code page 932 text",
          "\"OK.TXT\": an earlier entry, ok.txt, has the same name to the updater's lookup",
          "11 problems (format 1, 12 of 12 entries checked"},
         {}, nullptr},
        {"list printed names raw",
         [](ScratchDir& s) { WriteFileBytes(s.Path("x.pak"), Pak({Raw("a\rb", "1"), Raw("z\x83", "2")})); },
         {"list", "x.pak"}, 0, {"  no          a<CR>b\n", "  no          z<83>\n"}, {},
         [](ScratchDir&, const char*) {}},
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
        {"--after took a text file as revision 0",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("src\\a.txt"), "a");
             WriteFileBytes(s.Path("old.pak"), "just some text, no archive\r\n");
         },
         {"pack", "new.pak", "src", "--after", "old.pak"}, 1, {},
         {"updtool pack: \"old.pak\" is no sound archive (unknown format version"},
         [](ScratchDir& s, const char* defect) { EXPECT_FALSE(FileExists(s.Path("new.pak"))) << defect; }},
        {"--after took a damaged archive",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("src\\a.txt"), "a");
             WriteFileBytes(s.Path("old.pak"), Pak({Raw("a", "abc")}).substr(0, 290));
         },
         {"pack", "new.pak", "src", "--after", "old.pak"}, 1, {},
         {"updtool pack: \"old.pak\" is no sound archive ("}, nullptr},
        {"the equal-revision refusal said what is not so",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("src\\a.txt"), "a");
             WriteFileBytes(s.Path("old.pak"), Pak({Raw("a", "abc")}, 2, 9));
         },
         {"pack", "new.pak", "src", "--after", "old.pak", "--revision", "9"}, 1, {},
         {"revision 9 is the revision of \"old.pak\": the updater copies an archive of the same "
          "revision text again, so either would replace the other wherever it is shipped"},
         nullptr},
        {"pack wrote to a device", [](ScratchDir& s) { WriteFileBytes(s.Path("src\\a.txt"), "a"); },
         {"pack", "con.pak", "src", "--revision", "1"}, 2, {},
         {"updtool pack: \"con.pak\" names a device, not a file\n"}, nullptr},
        {"verify read a device", [](ScratchDir&) {}, {"verify", "CON"}, 2, {},
         {"updtool verify: \"CON\" names a device, not a file\n"}, nullptr},
        {"list read the NUL device", [](ScratchDir&) {}, {"list", "NUL"}, 2, {},
         {"updtool list: \"NUL\" names a device, not a file\n"}, nullptr},
        {"a missing folder came out as a bare error number", [](ScratchDir&) {},
         {"list", "nofolder\\x.pak"}, 2, {},
         {"cannot read \"nofolder\\x.pak\": the folder \"nofolder\" does not exist (error 3)\n"}, nullptr},
        {"extract of an empty file passed where list calls it damaged",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("empty.pak"), "");
             CreateDirectoryA(s.Path("out").c_str(), nullptr);
         },
         {"extract", "empty.pak", "-C", "out"}, 1, {},
         {"\"empty.pak\" is damaged: the file ends inside the header (0 of 8 bytes)"}, nullptr},
        {"pack read a 4.4 GB file to its end before refusing it",
         [](ScratchDir& s) {
             CreateDirectoryA(s.Path("src").c_str(), nullptr);
             BigFile(s.Path("src\\big.bin"), 4400000000LL);
             // Held for writing while pack runs: any open for reading fails,
             // so only a refusal that reads nothing names the size.
             held = CreateFileA(s.Path("src\\big.bin").c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
             ASSERT_NE(INVALID_HANDLE_VALUE, held);
         },
         {"pack", "big.pak", "src", "--revision", "1"}, 1, {},
         {"updtool pack: cannot store \"big.bin\": it is larger than an entry can be (4 GiB)\n"
          "updtool pack: 1 refusal; nothing was written\n"},
         [](ScratchDir& s, const char* defect) {
             CloseHandle(held);
             EXPECT_EQ("src", ListFolder(s.Path())) << defect;
         }},
        {"check called an item that leaves its folder a warning",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("upd\\update.ini"), "[update]\r\nName=Rooted\r\nfile=a.txt;\\windows\\win.ini\r\n");
             WriteFileBytes(s.Path("upd\\a.txt"), "a");
         },
         {"check", "upd"}, 1,
         {"error: item \"\\windows\\win.ini\" is refused by the updater, as it begins with a separator"},
         {}, nullptr},
    };
    for (const Row& row : rows) {
        ScratchDir scratch;
        row.setup(scratch);
        const ToolResult result = RunTool(row.args, scratch.Path());
        EXPECT_EQ(row.exitCode, result.exitCode) << row.defect << "\n" << result.out << result.err;
        ExpectParts(row.out, result.out, true, row.defect);
        ExpectParts(row.err, result.err, true, row.defect);
        if (row.after)
            row.after(scratch, row.defect);
    }
}

// What a publisher found in check's and plan's output, one row each: parts
// that must be in standard output, parts that must not, and standard error
// whole.
TEST(UpdtoolDefects, CheckAndPlanSayEachThingOnce)
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
