// The archive commands as a publisher runs them: updtool.exe as a child,
// its archives read back by the updater's own lookup.

#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include "pak/archive_file.h"
#include "tests/support/archive_writer.h"
#include "tests/support/folder_link.h"
#include "tests/support/scratch_dir.h"
#include "tests/updtool/tool_runner.h"

namespace {

// Literals are code page 932: ソ (83 5C) and 表 (95 5C) end in a backslash
// byte; ａｂ and ＡＢ are one name to the lookup.
struct Source {
    const char* name;
    std::string data;
};

std::string Noise(size_t n)
{
    std::string out(n, '\0');
    uint32_t state = 7;
    for (char& c : out) {
        state = state * 1103515245u + 12345u;
        c = char(state >> 24);
    }
    return out;
}

std::vector<Source> Sources()
{
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "line " + std::to_string(i % 7) + " of the resource\n";
    return {
        {"ソフト\\表示.txt", text},
        {"ソフト\\表", "short"},
        {"ＡＢ.txt.bak", text + "bak"},
        {"ａｂ.txt", text + "ab"},
        {"noise.bin", Noise(5000)},
        {"img\\pic.png", text},
        {"empty.dat", ""},
    };
}

// The lookup's order: a name before the longer ones it begins, case folded.
const char* const kOrderUtf8[] = {u8"empty.dat", u8"img\\\\pic.png", u8"noise.bin",
                                  u8"ａｂ.txt", u8"ＡＢ.txt.bak", u8"ソフト\\\\表",
                                  u8"ソフト\\\\表示.txt"};

// The value of field in the JSON object whose name is nameUtf8 (escaped).
std::string FieldOf(const std::string& json, const std::string& nameUtf8, const std::string& field)
{
    const size_t at = json.find("{\"name\":\"" + nameUtf8 + "\"");
    if (at == std::string::npos)
        return "<no entry>";
    const size_t value = json.find("\"" + field + "\":", at) + field.size() + 3;
    return json.substr(value, json.find_first_of(",}", value) - value);
}

class ArchiveCommands : public ::testing::Test {
protected:
    ScratchDir scratch;

    void PutSources(const std::string& dir, bool reversed = false)
    {
        const std::vector<Source> forward = Sources();
        std::vector<Source> sources = forward;
        if (reversed)
            sources.assign(forward.rbegin(), forward.rend());
        for (const Source& source : sources)
            WriteFileBytes(scratch.Path(dir + "\\" + source.name), source.data);
    }

    ToolResult Run(const std::vector<std::string>& args) { return RunTool(args, scratch.Path()); }
};

}  // namespace

TEST_F(ArchiveCommands, RoundTripOfEveryFormat)
{
    PutSources("src");
    for (const char* format : {"0", "1", "2"}) {
        SCOPED_TRACE(std::string("format ") + format);
        const std::string dir = std::string("f") + format;
        const std::string pak = dir + "\\data.pak";
        std::vector<std::string> pack = {"pack", pak, "src", "--format", format, "-q"};
        if (format[0] == '2')
            pack.insert(pack.end(), {"--revision", "-3"});
        if (format[0] != '0')
            pack.insert(pack.end(), {"--store", "IMG/*.PNG"});
        CreateDirectoryA(scratch.Path(dir).c_str(), nullptr);
        const ToolResult packed = Run(pack);
        ASSERT_EQ(0, packed.exitCode) << packed.err;
        EXPECT_EQ("", packed.out);

        const ToolResult list = Run({"list", pak, "--json"});
        ASSERT_EQ(0, list.exitCode) << list.err;
        EXPECT_EQ(0u, list.out.find(std::string("{\"version\":") + format + ",\"count\":7,\"revision\":" +
                                    (format[0] == '2' ? "-3" : "0") + ",\"entries\":[{"))
            << list.out;
        size_t last = 0;
        for (const char* name : kOrderUtf8) {
            const size_t at = list.out.find(std::string("\"name\":\"") + name + "\"");
            EXPECT_TRUE(at != std::string::npos && at >= last) << name << " out of order in " << list.out;
            last = at;
        }
        const bool compresses = format[0] != '0';
        EXPECT_EQ(compresses ? "true" : "false", FieldOf(list.out, u8"ソフト\\\\表示.txt", "compressed"));
        EXPECT_EQ("false", FieldOf(list.out, "img\\\\pic.png", "compressed"));  // --store
        EXPECT_EQ("false", FieldOf(list.out, "noise.bin", "compressed"));  // not smaller
        EXPECT_EQ("false", FieldOf(list.out, "empty.dat", "compressed"));

        const ToolResult verify = Run({"verify", pak});
        EXPECT_EQ(0, verify.exitCode);
        size_t unpacked = 0;
        for (const Source& source : Sources())
            unpacked += source.data.size();
        EXPECT_EQ(std::string("ok: format ") + format + ", 7 of 7 entries checked, " +
                      std::to_string(unpacked) + " bytes unpacked\n",
                  verify.out);

        {
            // The updater's own lookup, from the archive's folder.
            CurrentDirectory here(scratch.Path(dir));
            quietOpen = 1;
            for (const Source& source : Sources()) {
                ArchiveFile file;
                ASSERT_TRUE(file.Open(source.name, ModeRead)) << source.name;
                EXPECT_STREQ(source.name, file.name.text);
                std::string data(file.Size(), '\0');
                data.resize(file.Read(&data[0], uint32_t(data.size())));
                EXPECT_EQ(source.data, data) << source.name;
            }
            quietOpen = 0;
        }

        const std::string out = dir + "\\out";
        CreateDirectoryA(scratch.Path(out).c_str(), nullptr);
        const ToolResult extract = Run({"extract", pak, "-C", out});
        EXPECT_EQ(0, extract.exitCode) << extract.err;
        for (const Source& source : Sources())
            EXPECT_EQ(source.data, ReadFileBytes(scratch.Path(out + "\\" + source.name))) << source.name;
    }
}

TEST_F(ArchiveCommands, SameFilesSameBytes)
{
    PutSources("a");
    PutSources("b", true);  // created in the other order
    // Other times for every file of b.
    FILETIME old = {0x12345678, 0x01C00000};
    for (const Source& source : Sources()) {
        HANDLE file = CreateFileA(scratch.Path(std::string("b\\") + source.name).c_str(),
                                  FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << source.name;
        SetFileTime(file, &old, &old, &old);
        CloseHandle(file);
    }
    // The archive is written into the folder it packs: never an entry.
    ToolResult packed;
    for (int round = 0; round < 2; ++round) {
        packed = Run({"pack", "a\\x.pak", "a", "--revision", "5"});
        ASSERT_EQ(0, packed.exitCode);
        ASSERT_EQ(0, Run({"pack", "b\\x.pak", "b", "--revision", "5"}).exitCode);
    }
    const std::string a = ReadFileBytes(scratch.Path("a\\x.pak"));
    EXPECT_EQ("packed 7 entries (4 compressed) into \"a\\x.pak\": format 2, revision 5, " +
                  std::to_string(a.size()) + " bytes\n",
              packed.out);
    EXPECT_EQ(a, ReadFileBytes(scratch.Path("b\\x.pak")));
    EXPECT_EQ(std::string::npos, Run({"list", "a\\x.pak"}).out.find("x.pak"));
    EXPECT_EQ("a b", ListFolder(scratch.Path()));  // no temporary file left
    EXPECT_EQ("empty.dat img noise.bin x.pak ＡＢ.txt.bak ａｂ.txt ソフト", ListFolder(scratch.Path("a")));
}

TEST_F(ArchiveCommands, RevisionThatSortsBeforeIsRefused)
{
    WriteFileBytes(scratch.Path("src\\a.txt"), "a");
    ASSERT_EQ(0, Run({"pack", "r9.pak", "src", "--revision", "9"}).exitCode);
    // 9 + 1 is 10, whose text sorts before 9: the updater would skip it.
    const ToolResult after = Run({"pack", "r10.pak", "src", "--after", "r9.pak"});
    EXPECT_EQ(1, after.exitCode);
    EXPECT_NE(std::string::npos, after.err.find("so \"10\" sorts before \"9\" and the archive "
                                                "would be skipped as older; use a revision whose "
                                                "text sorts after \"9\", e.g. --revision 90\n"))
        << after.err;
    EXPECT_FALSE(FileExists(scratch.Path("r10.pak")));
    EXPECT_EQ(1, Run({"pack", "r9b.pak", "src", "--after", "r9.pak", "--revision", "9"}).exitCode);
    EXPECT_EQ(0, Run({"pack", "r90.pak", "src", "--after", "r9.pak", "--revision", "90"}).exitCode);
    EXPECT_EQ("90\n", Run({"revision", "r90.pak"}).out);
    EXPECT_EQ(2, Run({"pack", "r1.pak", "src", "--format", "1", "--after", "r9.pak"}).exitCode);
    EXPECT_EQ(2, Run({"revision", "missing.pak"}).exitCode);
    // Format 1 carries no revision: the updater reads 0, so 1 follows it.
    ASSERT_EQ(0, Run({"pack", "v1.pak", "src", "--format", "1"}).exitCode);
    EXPECT_EQ("0\n", Run({"revision", "v1.pak"}).out);
    EXPECT_EQ(0, Run({"pack", "v2.pak", "src", "--after", "v1.pak"}).exitCode);
    EXPECT_EQ("1\n", Run({"revision", "v2.pak"}).out);
}

TEST_F(ArchiveCommands, NamesThatCannotBeStoredAreRefused)
{
    WriteFileBytes(scratch.Path("src\\ok.txt"), "ok");
    // é has no code page 932 form; a best-fit stand-in would be a lie.
    const std::string src = scratch.Path("src");
    HANDLE file = CreateFileW((std::wstring(src.begin(), src.end()) + L"\\caf\u00e9.txt").c_str(),
                              GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    WriteFileBytes(scratch.Path("src\\" + std::string(201, 'n')), "long");
    WriteFileBytes(scratch.Path("one\\a.txt"), "a");
    ASSERT_EQ(0, Run({"pack", "r9.pak", "one", "--revision", "9"}).exitCode);
    // Every kind in one run, each on a line of its own that is a sentence
    // (names that differ only in case cannot be made on this file system).
    const ToolResult pack = Run({"pack", "x.pak", "src", "--after", "r9.pak"});
    EXPECT_EQ(1, pack.exitCode);
    const std::string n201 = std::string(201, 'n');
    for (const std::string& line : std::vector<std::string>{
             "updtool pack: \"caf\xC3\xA9.txt\" has characters that code page 932 cannot hold\n",
             "updtool pack: cannot store \"" + n201 + "\": its name is longer than 200 bytes\n",
             std::string("updtool pack: revision 10 would not be taken as newer than \"r9.pak\""),
             std::string("updtool pack: 3 refusals; nothing was written\n")})
        EXPECT_NE(std::string::npos, pack.err.find(line)) << line << "\nin\n" << pack.err;
    EXPECT_FALSE(FileExists(scratch.Path("x.pak")));
    EXPECT_EQ("one r9.pak src", ListFolder(scratch.Path()));
}

TEST_F(ArchiveCommands, FailedPackLeavesTheOldArchive)
{
    WriteFileBytes(scratch.Path("src\\a.txt"), "a");
    WriteFileBytes(scratch.Path("src\\b.txt"), "b");
    ASSERT_EQ(0, Run({"pack", "out.pak", "src", "--revision", "1"}).exitCode);
    const std::string old = ReadFileBytes(scratch.Path("out.pak"));
    {
        // b.txt held without sharing: it cannot be read while a.txt has
        // been written already.
        HANDLE held = CreateFileA(scratch.Path("src\\b.txt").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        const ToolResult pack = Run({"pack", "out.pak", "src", "--revision", "2"});
        CloseHandle(held);
        EXPECT_EQ(2, pack.exitCode);
        EXPECT_NE(std::string::npos, pack.err.find("cannot read \"b.txt\": another program has it open "
                                                   "(error 32); nothing was written"))
            << pack.err;
    }
    EXPECT_EQ(old, ReadFileBytes(scratch.Path("out.pak")));
    EXPECT_EQ("out.pak src", ListFolder(scratch.Path()));
    CreateDirectoryA(scratch.Path("empty").c_str(), nullptr);
    EXPECT_EQ(1, Run({"pack", "e.pak", "empty", "--revision", "1"}).exitCode);
    EXPECT_EQ(0, Run({"pack", "e.pak", "empty", "--format", "0"}).exitCode);
    EXPECT_EQ(std::string(8, '\0'), ReadFileBytes(scratch.Path("e.pak")));
}

TEST_F(ArchiveCommands, ExtractWritesOnlyBelowItsFolder)
{
    PakSpec spec;
    spec.version = 1;
    for (const char* name : {"..\\evil.txt", "C:\\evil.txt", "\\\\server\\share\\evil.txt",
                             "sub\\..\\..\\evil.txt", "NUL.txt", "a:stream", "ok\\good.txt",
                             "OK\\GOOD.TXT"}) {
        PakEntry entry;
        entry.name = name;
        entry.data = name;
        spec.entries.push_back(entry);
    }
    WriteFileBytes(scratch.Path("x.pak"), BuildPak(spec));
    CreateDirectoryA(scratch.Path("out").c_str(), nullptr);
    const ToolResult extract = Run({"extract", "x.pak", "-C", "out"});
    EXPECT_EQ(1, extract.exitCode);
    EXPECT_EQ("ok\\good.txt\n", extract.out);
    EXPECT_EQ("ok\\good.txt", ReadFileBytes(scratch.Path("out\\ok\\good.txt")));
    EXPECT_EQ("out x.pak", ListFolder(scratch.Path()));
    EXPECT_EQ("ok", ListFolder(scratch.Path("out")));
    EXPECT_FALSE(FileExists("C:\\evil.txt"));
    EXPECT_EQ(7u, size_t(std::count(extract.err.begin(), extract.err.end(), '\n'))) << extract.err;

    // Named ones only, case ignored; an existing file is kept unless
    // --force; of two entries of one name the first is the updater's (the
    // second is refused each time).
    WriteFileBytes(scratch.Path("out\\ok\\good.txt"), "mine");
    const ToolResult kept = Run({"extract", "x.pak", "-C", "out", "ok/good.txt"});
    EXPECT_EQ(1, kept.exitCode);
    EXPECT_EQ("", kept.out);
    EXPECT_NE(std::string::npos, kept.err.find("kept the existing \"ok\\good.txt\"")) << kept.err;
    EXPECT_EQ("mine", ReadFileBytes(scratch.Path("out\\ok\\good.txt")));
    EXPECT_EQ(1, Run({"extract", "x.pak", "-C", "out", "OK\\good.txt", "--force"}).exitCode);
    EXPECT_EQ("ok\\good.txt", ReadFileBytes(scratch.Path("out\\ok\\good.txt")));
    EXPECT_EQ(1, Run({"extract", "x.pak", "-C", "out", "absent.txt"}).exitCode);

    // A folder at the file's place is refused with --force or without, and
    // stays as it was.
    for (const char* folder : {"dirs", "dirs\\ok", "dirs\\ok\\good.txt"})
        CreateDirectoryA(scratch.Path(folder).c_str(), nullptr);
    for (const std::string force : {"", "--force"}) {
        std::vector<std::string> args = {"extract", "x.pak", "-C", "dirs", "ok\\good.txt"};
        if (!force.empty())
            args.push_back(force);
        const ToolResult refused = Run(args);
        EXPECT_EQ(1, refused.exitCode) << force;
        EXPECT_EQ("", refused.out) << force;
        EXPECT_NE(std::string::npos, refused.err.find("refused \"ok\\good.txt\": a folder of that "
                                                      "name exists\n"))
            << force << refused.err;
        EXPECT_EQ("", ListFolder(scratch.Path("dirs\\ok\\good.txt"))) << force;
    }

    // A link where a folder of the entry goes leads nowhere: refused, and
    // nothing is written where it points.
    CreateDirectoryA(scratch.Path("linked").c_str(), nullptr);
    CreateDirectoryA(scratch.Path("elsewhere").c_str(), nullptr);
    ASSERT_TRUE(MakeFolderLink(scratch.Path("linked\\ok"), scratch.Path("elsewhere")));
    const ToolResult linked = Run({"extract", "x.pak", "-C", "linked", "ok\\good.txt"});
    EXPECT_EQ(1, linked.exitCode);
    EXPECT_NE(std::string::npos, linked.err.find("refused \"ok\\good.txt\": its path passes through a link"))
        << linked.err;
    EXPECT_EQ("", ListFolder(scratch.Path("elsewhere")));
}

TEST_F(ArchiveCommands, CompareListDigestsAndExclude)
{
    PutSources("src");
    WriteFileBytes(scratch.Path("src\\cache\\tmp.bin"), "left out");
    WriteFileBytes(scratch.Path("src\\notes.old"), "left out");
    const ToolResult pack = Run({"pack", "x.pak", "src", "--revision", "1", "--exclude", "cache",
                                 "--exclude", "*.OLD", "-q"});
    ASSERT_EQ(0, pack.exitCode) << pack.err;
    const ToolResult list = Run({"list", "x.pak", "--json"});
    EXPECT_EQ(std::string::npos, list.out.find("cache")) << list.out;
    EXPECT_EQ(std::string::npos, list.out.find("notes.old")) << list.out;
    // Digests of the data as delivered, compressed or not.
    EXPECT_EQ("\"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\"",
              FieldOf(list.out, "empty.dat", "sha256"));
    EXPECT_EQ(66u, FieldOf(list.out, u8"ソフト\\\\表示.txt", "sha256").size());

    // The folder packed, less what was left out: the same. Then a file
    // changed, one gone and one new: each told, exit code 1.
    RemoveTree(scratch.Path("src\\cache"));
    DeleteFileA(scratch.Path("src\\notes.old").c_str());
    const ToolResult same = Run({"compare", "x.pak", "src"});
    EXPECT_EQ(0, same.exitCode) << same.out << same.err;
    EXPECT_EQ("7 entries the same as the folder's files, 0 differences\n", same.out);
    WriteFileBytes(scratch.Path("src\\noise.bin"), "changed");
    DeleteFileA(scratch.Path("src\\empty.dat").c_str());
    WriteFileBytes(scratch.Path("src\\added.txt"), "new");
    const ToolResult differ = Run({"compare", "x.pak", "src"});
    EXPECT_EQ(1, differ.exitCode);
    EXPECT_EQ("missing    empty.dat\ndiffers    noise.bin\nonly in the folder: added.txt\n"
              "5 entries the same as the folder's files, 3 differences\n",
              differ.out);
    const ToolResult json = Run({"compare", "x.pak", "src", "--json"});
    EXPECT_EQ(1, json.exitCode);
    EXPECT_NE(std::string::npos, json.out.find("{\"name\":\"noise.bin\",\"status\":\"differs\"}"))
        << json.out;
    EXPECT_NE(std::string::npos, json.out.find("\"onlyInFolder\":[\"added.txt\"],\"same\":5}")) << json.out;
}

// Enough files over several folders that compare reads them on several
// threads: each verdict must land on its own entry, in index order, and of
// two files that cannot be read the first in index order is reported.
TEST_F(ArchiveCommands, CompareJudgesEachFileByItsOwnData)
{
    auto nameOf = [](int i) {
        char name[16];
        wsprintfA(name, "d%d\\f%03d.txt", i / 100, i);
        return std::string(name);
    };
    auto fill = [&](const std::string& dir) {
        for (int i = 0; i < 300; ++i)
            WriteFileBytes(scratch.Path(dir + "\\" + nameOf(i)), "data " + nameOf(i));
    };
    fill("src");
    ASSERT_EQ(0, Run({"pack", "x.pak", "src", "--revision", "1", "-q"}).exitCode);
    const std::string same = " the same as the folder's files, ";
    const struct {
        const char* what;
        std::vector<std::pair<int, std::string>> changes;  // file, new data
        std::vector<int> held;                            // files held open, unshared
        int exitCode;
        std::string out;
        int errorFile;  // the file named in the error, -1: none
    } cases[] = {
        {"untouched", {}, {}, 0, "300 entries" + same + "0 differences\n", -1},
        {"same size, last file", {{299, "data D2\\F299.TXT"}}, {}, 1,
         "differs    d2\\f299.txt\n299 entries" + same + "1 difference\n", -1},
        {"two files' data swapped", {{1, "data " + nameOf(2)}, {2, "data " + nameOf(1)}}, {}, 1,
         "differs    d0\\f001.txt\ndiffers    d0\\f002.txt\n298 entries" + same +
             "2 differences\n", -1},
        {"changes over every folder, one size",
         {{250, "x"}, {0, "data D0\\F000.TXT"}, {150, "data D1\\F150.TXT"}}, {}, 1,
         "differs    d0\\f000.txt\ndiffers    d1\\f150.txt\ndiffers    d2\\f250.txt\n"
         "297 entries" + same + "3 differences\n", -1},
        {"two files held open", {}, {260, 70}, 2, "", 70},
    };
    int row = 0;
    for (const auto& c : cases) {
        const std::string dir = "case" + std::to_string(row++);
        fill(dir);
        for (const auto& change : c.changes)
            WriteFileBytes(scratch.Path(dir + "\\" + nameOf(change.first)), change.second);
        std::vector<HANDLE> held;
        for (int i : c.held)
            held.push_back(CreateFileA(scratch.Path(dir + "\\" + nameOf(i)).c_str(), GENERIC_READ,
                                       0, nullptr, OPEN_EXISTING, 0, nullptr));
        const ToolResult result = Run({"compare", "x.pak", dir});
        for (HANDLE h : held)
            CloseHandle(h);
        EXPECT_EQ(c.exitCode, result.exitCode) << c.what << result.err;
        EXPECT_EQ(c.out, result.out) << c.what;
        EXPECT_EQ(c.errorFile < 0 ? "" : "updtool compare: cannot read \"" +
                                            scratch.Path(dir + "\\" + nameOf(c.errorFile)) +
                                            "\": another program has it open (error 32)\n",
                  result.err)
            << c.what;
    }
}

// compare reads each file as the folder lists it, as pack does: a trailing
// dot or space is kept and a device name is a file's name there.
TEST_F(ArchiveCommands, CompareReadsEachFileAsListed)
{
    for (const char* name : {"plain.txt", "dot.", "trail. ", "con.txt"}) {
        const std::string dir = scratch.Path(std::string("listed ") + name[0]);
        CreateDirectoryA(dir.c_str(), nullptr);
        const std::wstring file = L"\\\\?\\" + Wide(dir + "\\" + name);
        const HANDLE made = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(made, INVALID_HANDLE_VALUE) << name;
        DWORD written = 0;
        WriteFile(made, "data", 4, &written, nullptr);
        CloseHandle(made);
        PakSpec spec;
        spec.entries.push_back(Raw(name, "data"));
        WriteFileBytes(dir + ".pak", BuildPak(spec));
        const ToolResult result = Run({"compare", dir + ".pak", dir});
        EXPECT_EQ(0, result.exitCode) << name << result.err;
        EXPECT_EQ("1 entry the same as the folder's files, 0 differences\n", result.out) << name;
    }
}

// Against a second archive, each entry meets what that archive delivers
// for its name: its own later entries of a name are never delivered.
TEST_F(ArchiveCommands, CompareTwoArchives)
{
    PakEntry broken = Packed("bad.txt", std::string(4000, 'z'));
    broken.packedSize = 5;
    PakSpec first, second;
    first.entries = {Raw("same.txt", "s"), Raw("diff.txt", "a"), Raw("gone.txt", "g"),
                     Raw("dup.txt", "1"), Raw("DUP.TXT", "2"), Raw("bad.txt", "b"),
                     Raw("sized.txt", "abc")};
    second.entries = {Raw("SAME.TXT", "s"), Raw("diff.txt", "b"), Raw("dup.txt", "1"),
                      Raw("dup.txt", "other"), Raw("new.txt", "n"), broken, Raw("sized.txt", "abcd")};
    WriteFileBytes(scratch.Path("a.pak"), BuildPak(first));
    WriteFileBytes(scratch.Path("b.pak"), BuildPak(second));
    const ToolResult text = Run({"compare", "a.pak", "b.pak"});
    EXPECT_EQ(1, text.exitCode) << text.err;
    EXPECT_EQ("differs    diff.txt\nmissing    gone.txt\nshadowed   DUP.TXT\nunreadable bad.txt\n"
              "differs    sized.txt\nonly in \"b.pak\": new.txt\n"
              "2 entries the same in both archives, 5 differences\n",
              text.out);
    const ToolResult json = Run({"compare", "a.pak", "b.pak", "--json"});
    EXPECT_NE(std::string::npos, json.out.find("\"onlyInArchive\":[\"new.txt\"],\"same\":2}")) << json.out;
    const ToolResult itself = Run({"compare", "b.pak", "b.pak"});
    EXPECT_EQ(1, itself.exitCode);
    EXPECT_EQ("shadowed   dup.txt\nunreadable bad.txt\n5 entries the same in both archives, 1 difference\n",
              itself.out);
    EXPECT_EQ(2, Run({"compare", "a.pak", "none.pak"}).exitCode);
    // An entry that cannot be delivered still accounts for its file.
    WriteFileBytes(scratch.Path("folder\\bad.txt"), "b");
    const ToolResult folder = Run({"compare", "b.pak", "folder"});
    EXPECT_NE(std::string::npos, folder.out.find("unreadable bad.txt\n")) << folder.out;
    EXPECT_EQ(std::string::npos, folder.out.find("only in the folder")) << folder.out;
}

// A listing far longer than the pieces it is written out in: every entry
// once, in index order, in one document or one table.
TEST_F(ArchiveCommands, LongListingWrittenWhole)
{
    PakSpec spec;
    for (int i = 0; i < 6000; ++i)
        spec.entries.push_back(Raw("folder\\entry-with-a-long-name-" + std::to_string(100000 + i), "x"));
    WriteFileBytes(scratch.Path("x.pak"), BuildPak(spec));
    const struct {
        const char* mode;
        const char* begins;
        const char* ends;
        const char* perEntry;  // what each entry's row begins with
        size_t lines;
    } rows[] = {
        {"", "format 2, 6000 entries, revision 0\n    offset", "-105999\n", "  no          folder\\",
         6002},
        {"--json", "{\"version\":2,\"count\":6000,\"revision\":0,\"entries\":[{", "}]}\n",
         "{\"name\":\"folder\\\\", 1},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args = {"list", "x.pak"};
        if (*row.mode)
            args.push_back(row.mode);
        const ToolResult list = Run(args);
        ASSERT_EQ(0, list.exitCode) << row.mode << list.err;
        EXPECT_EQ(0u, list.out.find(row.begins)) << row.mode << list.out.substr(0, 200);
        ASSERT_GT(list.out.size(), 300000u) << row.mode;
        EXPECT_EQ(list.out.size() - strlen(row.ends), list.out.rfind(row.ends)) << row.mode;
        EXPECT_EQ(row.lines, size_t(std::count(list.out.begin(), list.out.end(), '\n'))) << row.mode;
        size_t found = 0, at = 0, entry = 100000;
        while ((at = list.out.find(row.perEntry, at)) != std::string::npos) {
            at += strlen(row.perEntry);
            EXPECT_EQ("entry-with-a-long-name-" + std::to_string(entry++),
                      list.out.substr(at, 29)) << row.mode << " row " << found;
            if (++found > 6000)
                break;
        }
        EXPECT_EQ(6000u, found) << row.mode;
    }
}
