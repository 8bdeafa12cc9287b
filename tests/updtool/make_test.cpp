// updtool make, end to end: an update built from two releases, planned, and
// installed by the real updater over a copy of the old release; and each
// change the updater would not install, refused with nothing written.

#include <windows.h>
#include <algorithm>
#include <functional>
#include "tests/e2e/e2e_fixture.h"
#include "tests/support/archive_writer.h"
#include "tests/updtool/tool_runner.h"

namespace {

std::string Pak(int32_t revision, const std::string& text)
{
    PakSpec spec;
    spec.revision = revision;
    PakEntry entry;
    entry.name = "image\\title.bmp";
    entry.data = text + std::string(3000, 'x');
    entry.compress = true;
    spec.entries.push_back(entry);
    return BuildPak(spec);
}

// Every file below dir, as "name" -> bytes, names relative with backslashes.
void ReadTree(const std::string& dir, const std::string& prefix,
              std::vector<std::pair<std::string, std::string>>& files)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string leaf = found.cFileName;
        if (leaf == "." || leaf == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ReadTree(dir + "\\" + leaf, prefix + leaf + "\\", files);
        else
            files.emplace_back(prefix + leaf, ReadFileBytes(dir + "\\" + leaf));
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(files.begin(), files.end());
}

void WriteTree(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& files)
{
    for (const auto& file : files)
        WriteFileBytes(dir + "\\" + file.first, file.second);
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size())
        ++count;
    return count;
}

}  // namespace

TEST_F(E2ETest, MakeBuildsAnUpdateTheUpdaterInstalls)
{
    // Literals are code page 932: ソ (83 5C) and 表 (95 5C) end in a
    // backslash byte.
    const std::vector<std::pair<std::string, std::string>> oldFiles = {
        {"demo.exe", StubBytes("app-1.9.exe")},
        {"lib.dll", StubBytes("lib-1.9.dll")},
        {"data.pak", Pak(6, "six")},
        {"readme.txt", "old readme"},
        {"ソフト\\表示.txt", "old text"},
        {"same.txt", "the same"},
        {"gone.txt", "removed later"},
        {"maps\\forest.map", "forest"},
    };
    const std::vector<std::pair<std::string, std::string>> newFiles = {
        {"demo.exe", StubBytes("app-2.0.exe")},
        {"lib.dll", StubBytes("lib-1.9.dll")},
        {"data.pak", Pak(7, "seven")},
        {"readme.txt", "new readme"},
        {"ソフト\\表示.txt", "new text"},
        {"same.txt", "the same"},
        {"maps\\forest.map", "forest, grown"},
        {"maps\\desert.map", "desert"},
        {"データ\\画像.bmp", std::string(70000, 'b')},
    };
    const std::string oldDir = scratch.Path("old"), newDir = scratch.Path("new");
    WriteTree(oldDir, oldFiles);
    WriteTree(newDir, newFiles);

    const ToolResult made = RunTool({"make", oldDir, newDir, update, "--brand", brand, "--name", name,
                                     "--title", "Demo", "--version", "2.0"},
                                    scratch.Path());
    ASSERT_EQ(0, made.exitCode) << made.out << made.err;
    EXPECT_NE(std::string::npos, made.out.find("made the update in " + update + ": 7 items listed in "
                                               "update.ini; place updater.exe beside them"))
        << made.out;
    EXPECT_NE(std::string::npos, made.out.find("warning   \"gone.txt\" is removed in the new release"))
        << made.out;
    EXPECT_EQ("data.pak demo.exe maps readme.txt update.ini ソフト データ", ListFolder(update));
    const std::string ini = ReadFileBytes(update + "\\update.ini");
    EXPECT_EQ(0u, ini.find("[update]\r\nBrand=" + brand + "\r\nName=" + name +
                           "\r\nTitle=Demo\r\nVersion=2.0\r\nfile="))
        << ini;

    // The old release, installed.
    WriteTree(install, oldFiles);
    const ToolResult plan = RunTool({"plan", update, "--dest", install, "--json"}, scratch.Path());
    EXPECT_EQ(0, plan.exitCode) << plan.out << plan.err;
    EXPECT_EQ(7u, Count(plan.out, "\"action\":\"apply\"")) << plan.out;
    EXPECT_EQ(7u, Count(plan.out, "\"action\":")) << plan.out;

    const SessionResult run = Run({Press(IDOK), Press(IDOK)});
    EXPECT_EQ(run.lines, (std::vector<std::string>{DialogLine(kCaption, install),
                                                   BoxLine(kCaption, kDone)}));
    ExpectCleanEnd(run);

    // Every file of the new release in place; the removed one stays.
    std::vector<std::pair<std::string, std::string>> installed, expected = newFiles;
    expected.emplace_back("gone.txt", "removed later");
    std::sort(expected.begin(), expected.end());
    ReadTree(install, "", installed);
    EXPECT_TRUE(installed == expected);
    for (size_t i = 0; i < std::min(installed.size(), expected.size()); ++i)
        EXPECT_TRUE(installed[i] == expected[i]) << installed[i].first << " / " << expected[i].first;
}

TEST(UpdtoolMake, RefusesWhatTheUpdaterWouldNotInstall)
{
    struct Row {
        const char* label;
        std::vector<std::pair<std::string, std::string>> oldFiles, newFiles;
        std::string problem;  // a part of the error reported
        std::vector<std::string> options = {};
    };
    const std::string cut = Pak(8, "eight").substr(0, 300);
    const std::vector<Row> rows = {
        {"FileVersion lower as text", {{"app.exe", StubBytes("app-1.9.exe")}},
         {{"app.exe", StubBytes("app-1.10.exe")}},
         "\"app.exe\": the updater would skip it: 1.10 compares lower than 1.9 as text, though as "
         "numbers it is higher\n"},
        {"FileVersion lost", {{"lib.dll", StubBytes("lib-1.9.dll")}},
         {{"lib.dll", StubBytes("app-none.exe")}},
         "\"lib.dll\": the updater would skip it: the shipped copy has no FileVersion, the installed "
         "one has 1.9\n"},
        {"revision lower as text", {{"data.pak", Pak(9, "nine")}}, {{"data.pak", Pak(10, "ten")}},
         "\"data.pak\": the updater would skip it: 10 compares lower than 9 as text, though as numbers "
         "it is higher"},
        {"damaged archive", {{"a.txt", "a"}}, {{"a.txt", "a"}, {"data.pak", cut}},
         "\"data.pak\": the updater would stop with its error box"},
        {"a name update.ini's reader reads as a line break", {{"a.txt", "a"}},
         {{"a.txt", "a"}, {"maps\\new.map", "n"}},
         "\"maps\\new.map\": update.ini cannot list it: the updater's reader reads it as "
         "\"maps<LF>ew.map\""},
        {"a name holding the list's separator", {{"a.txt", "a"}}, {{"a.txt", "a"}, {"a;b.txt", "ab"}},
         "\"a;b.txt\": update.ini cannot list it"},
        {"update.ini in the release", {{"a.txt", "a"}}, {{"a.txt", "a"}, {"update.ini", "[x]"}},
         "\"update.ini\": update.ini is the update's own settings file"},
        {"a file where a folder was", {{"x\\y.txt", "y"}}, {{"x", "now a file"}},
         "\"x\": it is a folder in the old release, and the updater cannot replace a folder with a "
         "file"},
        {"a file where a folder goes", {{"x", "now a folder"}}, {{"x\\y.txt", "y"}},
         "\\old\\x\" is a file in the old release"},
        {"nothing changed", {{"a.txt", "a"}}, {{"a.txt", "a"}},
         "nothing was added or changed: an update would list no items"},
        {"a title update.ini's reader reads otherwise", {{"a.txt", "a"}}, {{"a.txt", "b"}},
         "Title \"Star\\new\" would be read by the updater as \"Star<LF>ew\"",
         {"--title", "Star\\new"}},
    };
    for (const Row& row : rows) {
        ScratchDir scratch;
        WriteTree(scratch.Path("old"), row.oldFiles);
        WriteTree(scratch.Path("new"), row.newFiles);
        std::vector<std::string> args = {"make", "old", "new", "out"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        const ToolResult made = RunTool(args, scratch.Path());
        EXPECT_EQ(1, made.exitCode) << row.label << "\n" << made.out << made.err;
        EXPECT_NE(std::string::npos, made.out.find(row.problem))
            << row.label << ": no\n" << row.problem << "\nin\n" << made.out;
        EXPECT_NE(std::string::npos, made.out.find("\nrefused: 1 error; nothing was written\n"))
            << row.label;
        EXPECT_EQ("new old", ListFolder(scratch.Path())) << row.label;
    }

    // The same as one JSON document: written false, the problem an error.
    ScratchDir scratch;
    WriteTree(scratch.Path("old"), {{"app.exe", StubBytes("app-1.9.exe")}});
    WriteTree(scratch.Path("new"), {{"app.exe", StubBytes("app-1.10.exe")}, {"b.txt", "b"}});
    const ToolResult json = RunTool({"make", "old", "new", "out", "--json"}, scratch.Path());
    EXPECT_EQ(1, json.exitCode);
    EXPECT_EQ(0u, json.out.find("{\"out\":\"")) << json.out;
    EXPECT_NE(std::string::npos,
              json.out.find("\",\"written\":false,\"updater\":\"\",\"items\":[{\"item\":\"b.txt\","
                            "\"change\":\"added\",\"kind\":\"plain\",\"oldVersion\":\"\",\"newVersion\":\"\"}],"
                            "\"removed\":[],\"problems\":[{\"severity\":\"error\",\"message\":\"\\\"app.exe\\\": "
                            "the updater would skip it"))
        << json.out;
}

namespace {

// Files named in UTF-16 and written through \\?\, so that names Windows reads
// otherwise (con.txt, a trailing dot or space) are made as named.
void WriteNamed(const std::string& dir, const std::vector<std::pair<std::wstring, std::string>>& files)
{
    const std::wstring folder = L"\\\\?\\" + Wide(dir);
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const auto& file : files) {
        HANDLE handle = CreateFileW((folder + L"\\" + file.first).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, handle) << dir;
        DWORD written = 0;
        WriteFile(handle, file.second.data(), DWORD(file.second.size()), &written, nullptr);
        CloseHandle(handle);
        ASSERT_EQ(file.second.size(), written);
    }
}

}  // namespace

// What a new publisher met: the updater's version rule followed, with a
// warning where it surprises; only shipped names judged; names Windows cannot
// open refused by name; the defaults, AllOrNothing and the updater spoken of.
TEST(UpdtoolMake, FollowsTheUpdaterAndJudgesOnlyShippedFiles)
{
    struct Row {
        const char* label;
        std::vector<std::pair<std::wstring, std::string>> oldFiles, newFiles;
        std::vector<std::string> options;
        int exitCode;
        std::string said;     // a part of standard output (UTF-8)
        std::string unsaid = {};   // no part of it ("": not checked)
        std::string written = {};  // OUT_DIR's names when made
        std::wstring readOnly = {};  // an old release's file made read-only
    };
    const std::string v2 = StubBytes("app-2.0.exe"), none = StubBytes("app-none.exe");
    const std::pair<std::wstring, std::string> a = {L"a.txt", "a"}, b = {L"a.txt", "b"};
    const std::vector<Row> rows = {
        {"an equal FileVersion", {{L"app.exe", v2}}, {{L"app.exe", v2 + "patched"}}, {}, 0,
         "\"app.exe\": its FileVersion \"2.0\" is the old release's, so the updater installs it (it "
         "copies when the text compares greater or equal) but cannot tell the two apart: every run "
         "copies it again\n", "", "app.exe update.ini"},
        {"no FileVersion on either side", {{L"app.exe", none}}, {{L"app.exe", none + "patched"}}, {},
         0, "\"app.exe\": neither release's copy has a FileVersion, so the updater installs it", "",
         "app.exe update.ini"},
        {"a plain downgrade: no hint", {{L"app.exe", v2}}, {{L"app.exe", StubBytes("app-1.9.exe")}},
         {}, 1, "the updater would skip it: 1.9 compares lower than 2.0 as text\n"},
        {"an unchanged name beyond code page 932", {{L"\u00C9t\u00E9.txt", "e"}, a},
         {{L"\u00C9t\u00E9.txt", "e"}, b}, {}, 0, "", u8"Été", "a.txt update.ini"},
        {"an added name beyond code page 932", {a}, {b, {L"\u00DCnew.txt", "u"}}, {}, 1,
         u8"\"Ünew.txt\": code page 932 cannot hold the name, and update.ini lists items in code "
         "page 932 (leave it out with --exclude)"},
        {"left out with --exclude", {a}, {b, {L"\u00DCnew.txt", "u"}}, {"--exclude", "?new.txt"}, 0,
         "", "new.txt", "a.txt update.ini"},
        {"a removed name beyond code page 932", {a, {L"gone-\u00DF.txt", "g"}}, {b}, {}, 0,
         u8"\"gone-ß.txt\" is removed in the new release: the updater cannot remove files", "",
         "a.txt update.ini"},
        {"a device name", {a}, {b, {L"con.txt", "c"}}, {"--json"}, 1,
         "\\\"con.txt\\\": the name names the device con, so the updater could not install it "
         "(leave it out with --exclude)", "{\"item\":\"con.txt\""},
        {"a trailing dot", {a}, {b, {L"dot.", "d"}}, {}, 1,
         "\"dot.\": the name has a part ending in a dot or space, which Windows drops"},
        {"a trailing space", {a}, {b, {L"trail. ", "t"}}, {}, 1, "\"trail. \": the name has a part"},
        {"an unchanged device name", {a, {L"con.txt", "c"}}, {b, {L"con.txt", "c"}}, {}, 0, "",
         "con.txt", "a.txt update.ini"},
        {"no naming keys", {a}, {b}, {}, 0,
         "no --brand, --name, --title, --version: the updater will use its defaults, Brand "
         "\"Quillmark\", Name \"Installer\"", "", "a.txt update.ini"},
        {"all or nothing, the updater copied", {a}, {b},
         {"--all-or-nothing", "--updater", "updater.exe", "--brand", "B", "--name", "N", "--title",
          "T", "--version", "V"},
         0, "listed in update.ini, with \"updater.exe\" beside them\n", "warning",
         "a.txt update.ini updater.exe"},
        {"the updater where an item goes", {a}, {b}, {"--updater", "new\\a.txt"}, 1,
         "\\new\\a.txt\" would take the place of \"a.txt\" in the update folder\n"},
        {"a read-only copy in the old release", {a}, {b}, {}, 0,
         "warning   \"a.txt\": in the old release its target is read-only, which the updater "
         "cannot replace; the updater asks", "", "a.txt update.ini", L"a.txt"},
    };
    for (const Row& row : rows) {
        ScratchDir scratch;
        WriteNamed(scratch.Path("old"), row.oldFiles);
        WriteNamed(scratch.Path("new"), row.newFiles);
        if (!row.readOnly.empty()) {
            ASSERT_TRUE(SetFileAttributesW((Wide(scratch.Path("old")) + L"\\" + row.readOnly).c_str(),
                                           FILE_ATTRIBUTE_READONLY));
        }
        WriteFileBytes(scratch.Path("updater.exe"), "MZ stand-in");
        std::vector<std::string> args = {"make", "old", "new", "out"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        const ToolResult made = RunTool(args, scratch.Path());
        EXPECT_EQ(row.exitCode, made.exitCode) << row.label << "\n" << made.out << made.err;
        EXPECT_NE(std::string::npos, made.out.find(row.said)) << row.label << "\n" << made.out;
        if (!row.unsaid.empty()) {
            EXPECT_EQ(std::string::npos, made.out.find(row.unsaid)) << row.label << "\n" << made.out;
        }
        EXPECT_EQ(row.exitCode == 0 ? row.written : "<none>",
                  FileExists(scratch.Path("out")) ? ListFolder(scratch.Path("out")) : "<none>")
            << row.label;
    }
    // AllOrNothing goes after the list, as the updater reads it.
    ScratchDir scratch;
    WriteNamed(scratch.Path("old"), {a});
    WriteNamed(scratch.Path("new"), {b});
    ASSERT_EQ(0, RunTool({"make", "old", "new", "out", "--all-or-nothing", "-q"}, scratch.Path()).exitCode);
    EXPECT_EQ("[update]\r\nfile=a.txt\r\nAllOrNothing=1\r\n", ReadFileBytes(scratch.Path("out\\update.ini")));
}
