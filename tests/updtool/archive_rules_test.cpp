// The rules behind the archive commands, one table each.

#include <gtest/gtest.h>
#include <algorithm>
#include <climits>
#include <cstring>
#include <windows.h>
#include "pak/archive_file.h"
#include "pak/archive_revision.h"
#include "pak/name_matcher.h"
#include "tests/support/archive_writer.h"
#include "tests/support/scratch_dir.h"
#include "updtool/archives/archive_input.h"
#include "updtool/archives/entry_names.h"
#include "updtool/archives/revision_rule.h"
#include "update/update_decision.h"
#include "update/version_order.h"
#include "updtool/folders/settings_lint.h"
#include "updtool/console/command_line.h"
#include "base/shown_text.h"
#include "base/text_932.h"
#include "updtool/console/tool_output.h"

TEST(ArchiveRules, ExtractionNames)
{
    // Code page 932 literals: ソ (83 5C) and 表 (95 5C) end in a backslash byte.
    const struct {
        const char* name;
        bool refused;
    } rows[] = {
        {"ok.txt", false}, {"dir\\sub\\file.bin", false}, {"ソフト\\表示.txt", false},
        {"表", false}, {"..dots", false}, {"CONSOLE.txt", false}, {"com10", false}, {"a.b.c", false},
        {"", true}, {"..", true}, {"..\\x", true}, {"a\\..\\..\\x", true}, {"a\\.\\x", true},
        {"\\x", true}, {"\\\\server\\share\\x", true}, {"C:\\x", true}, {"C:x", true},
        {"a\\\\b", true}, {"a\\", true}, {"file:stream", true}, {"a/../x", true},
        {"CON", true}, {"con", true}, {"NUL.txt", true}, {"dir\\aux.tar.gz", true},
        {"nul .txt", true}, {"COM1", true}, {"lpt9.log", true}, {"COM0", true},
        {"CONIN$", true}, {"name.", true}, {"name ", true}, {"dir.\\x", true},
        {"a<b", true}, {"a?b", true}, {"a*b", true}, {"tab\there", true},
        {"\x83", true},  // a lead byte without its trail byte
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.refused, !EntryNameRefusal(row.name).empty()) << "'" << row.name << "'";
    EXPECT_EQ("holds a NUL byte", EntryNameRefusal(std::string("a\0b", 3)));
    EXPECT_EQ("names a drive", EntryNameRefusal("C:\\x"));
    EXPECT_EQ("holds \":\", which names an alternate data stream", EntryNameRefusal("a:b.txt"));
    EXPECT_EQ("names the device LPT0", EntryNameRefusal("dir\\LPT0.txt"));
}

TEST(ArchiveRules, RevisionsAsTheUpdaterOrdersThem)
{
    EXPECT_GT(CompareVersionTexts("90", "9"), 0);
    EXPECT_LT(CompareVersionTexts("10", "9"), 0);
    EXPECT_EQ(0, CompareVersionTexts("9", "9"));
    EXPECT_GT(CompareVersionTexts("0", "-1"), 0);
    EXPECT_EQ("-2147483648", RevisionText(INT32_MIN));
    const struct {
        int32_t older;
        bool found;
        int32_t suggestion;
    } rows[] = {
        {0, true, 1}, {9, true, 90}, {19, true, 20}, {99, true, 990}, {-10, true, -9},
        {-5, true, 0}, {214748364, true, 214748365}, {999999999, false, 0}, {INT32_MAX, false, 0},
    };
    for (const auto& row : rows) {
        int32_t suggestion = 0;
        EXPECT_EQ(row.found, RevisionAfter(row.older, suggestion)) << row.older;
        if (row.found) {
            EXPECT_EQ(row.suggestion, suggestion) << row.older;
            EXPECT_GT(CompareVersionTexts(RevisionText(suggestion).c_str(),
                                          RevisionText(row.older).c_str()), 0);
        }
    }
}

TEST(ArchiveRules, OrderAgreesWithTheLookup)
{
    // ｱ is single-byte (B1); ａ/Ａ and ア/ヂ (83 41 / 83 61, which differ
    // only in the case of their trail byte) are double-byte.
    const char* names[] = {"a", "A.txt", "ab", "ａ", "Ａｂ", "ア", "ヂ", "アa", "ｱ", "ソ", "ソ\\x",
                           "表", "表示", "b\\c", "B\\C.d", ""};
    for (const char* sought : names) {
        const NameMatcher matcher(sought, uint32_t(strlen(sought)));
        for (const char* name : names)
            EXPECT_EQ(matcher.BeginsWith(name, uint32_t(strlen(name))),
                      KeyBegins(LookupKeyOf(sought), LookupKeyOf(name)))
                << "'" << sought << "' in '" << name << "'";
    }
    // pack's order: a name before those it begins; names that differ only
    // in case found (on Linux folders they can both exist).
    const LookupOrder order({"b.txt", "A.TXT", "ｂ", "表示", "a.txt.bak", "a.txt", "Ｂ", "表"});
    EXPECT_EQ((std::vector<size_t>{1, 5, 4, 0, 2, 6, 7, 3}), order.order);
    EXPECT_EQ((std::vector<std::pair<size_t, size_t>>{{1, 5}, {2, 6}}), order.sameName);
    EXPECT_EQ((std::vector<std::pair<size_t, size_t>>{{5, 4}, {7, 3}}), order.begins);
}

TEST(ArchiveRules, StorePatterns)
{
    const NamePatterns store({"*.PNG", "music\\??.ogg", "表*"});
    const struct {
        const char* name;
        bool stored;
    } rows[] = {
        {"a.png", true}, {"img\\b.Png", true}, {"a.png.txt", false}, {"music\\01.ogg", true},
        {"music\\ソフ.ogg", true}, {"music\\001.ogg", false}, {"表示.txt", true}, {"x表", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.stored, store.Matches(LookupKeyOf(row.name))) << row.name;
}

TEST(ArchiveRules, PatternArguments)
{
    // The one reader of pack's and make's patterns and extract's names:
    // slashes become backslashes, the text code page 932 (表 ends in a 0x5C
    // byte), and a character no entry name can hold is a usage error.
    const struct {
        Arguments args;
        int code;
        std::vector<std::string> patterns;
    } rows[] = {
        {{}, ExitOk, {}},
        {{L"--exclude", L"cache/*.tmp", L"--exclude=\u8868*"}, ExitOk, {"cache\\*.tmp", "表*"}},
        {{L"--store", L"*.png"}, ExitOk, {}},
        {{L"--exclude", L"a", L"--exclude", L"caf\u00e9"}, ExitTrouble, {}},
        {{L"--exclude", L"\u00e9*", L"--exclude", L"b"}, ExitTrouble, {}},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        CommandLine line;
        ASSERT_TRUE(line.Parse("make", rows[i].args, {{"--exclude", true}, {"--store", true}}));
        std::vector<std::string> patterns;
        const int code = EntryTexts("make", line.Values("--exclude"), "--exclude", patterns);
        EXPECT_EQ(rows[i].code, code) << "row " << i;
        if (code == ExitOk) {
            EXPECT_EQ(rows[i].patterns, patterns) << "row " << i;
        }
    }
}

TEST(ArchiveRules, ListedFilesAreReadAsListed)
{
    // Names a folder walk lists that Windows would otherwise take for a
    // device or cut short, and a name gone since the walk that an archive
    // of the current folder holds: never read from there.
    ScratchDir scratch;
    const std::wstring folder = Wide(scratch.Path());
    for (const wchar_t* name : {L"con.txt", L"dot.", L"trail. "}) {
        HANDLE file = CreateFileW((L"\\\\?\\" + folder + L"\\" + name).c_str(), GENERIC_WRITE, 0,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        const std::string data = "read " + Utf8(name);
        DWORD written = 0;
        WriteFile(file, data.data(), DWORD(data.size()), &written, nullptr);
        CloseHandle(file);
    }
    PakSpec spec;
    spec.entries = {Raw("gone.txt", "from the archive")};
    WriteFileBytes(scratch.Path("data.pak"), BuildPak(spec));
    CurrentDirectory here(scratch.Path());
    const struct {
        const wchar_t* name;
        std::string read;
    } rows[] = {
        {L"con.txt", "read con.txt"},
        {L"dot.", "read dot."},
        {L"trail. ", "read trail. "},
        {L"gone.txt", "cannot read \"gone.txt\": it does not exist (error 2)"},
    };
    for (const auto& row : rows) {
        std::string read;
        try {
            Handle file;
            OpenListedFile(file, folder + L"\\" + row.name, Shown(row.name));
            char buffer[64];
            read.assign(buffer, ReadListedFile(file.Get(), buffer, sizeof buffer, "it"));
        } catch (const ToolError& error) {
            read = error.message;
        }
        EXPECT_EQ(row.read, read) << Utf8(row.name);
    }
}

TEST(ArchiveRules, SettingsSavedAsUtf8)
{
    // Literals are code page 932; the UTF-8 ones are spelled in bytes.
    const struct {
        const char* what;
        std::string bytes;
        bool utf8;
    } rows[] = {
        {"ASCII only", "[update]\r\nName=Demo\r\n", false},
        {"code page 932 kana and kanji", "Title=スター表示\r\n", false},
        {"half-width kana in code page 932", "Title=ｽﾀｰ\r\n", false},
        {"a byte-order mark", "\xEF\xBB\xBF[update]\r\n", true},
        {"UTF-8 kana", "Title=\xE3\x82\xB9\xE3\x82\xBF\xE3\x83\xBC\r\n", true},
        {"bytes that are no UTF-8", "Title=caf\xC3\xA9\x81\r\n", false},
        {"UTF-8 whose two-byte letters read as code page 932 too", "Title=caf\xC3\xA9\r\n", false},
        {"UTF-8 letters that no code page 932 text holds", "Title=\xC3\x81\r\n", true},
        {"an overlong UTF-8 form", "Title=\xE0\x80\xAF\r\n", false},
        {"a UTF-8 surrogate half", "Title=\xED\xA0\x80\r\n", false},
        {"a UTF-8 sequence cut at the end", "Title=\xE3\x82", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.utf8, !Utf8Evidence(row.bytes).empty()) << row.what;
}

// The order a person reads into version texts: digit runs as numbers.
TEST(ArchiveRules, VersionsAsNumbers)
{
    const struct {
        const char* a;
        const char* b;
        int order;
    } rows[] = {
        {"1.10", "1.9", 1},      {"1.9", "1.10", -1},    {"1.01", "1.1", 0},
        {"1.0", "1.00", 0},      {"2.0", "10.0", -1},    {"1.2a", "1.2B", -1},
        {"1.2", "1.2.1", -1},    {"1.2.1", "1.2", 1},    {"", "", 0},
        {"v9", "v009", 0},       {"0", "00", 0},         {"1.x", "1.2", 1},
    };
    for (const auto& row : rows) {
        const int order = CompareAsNumbers(row.a, row.b);
        EXPECT_EQ(row.order, (order > 0) - (order < 0)) << row.a << " vs " << row.b;
    }
}
