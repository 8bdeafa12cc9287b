#include "paths/device_name.h"
#include "paths/folder_listing.h"
#include "paths/paths.h"
#include "paths/wide_paths.h"
#include "base/text_932.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <vector>
#include "tests/support/scratch_dir.h"

// Literals are code page 932: 表 is 95 5C and ソ is 83 5C, both with the
// backslash byte as their trail byte.

TEST(Paths, EndsWithSeparator)
{
    struct Row { const char* text; bool expected; } rows[] = {
        {"", false},
        {"C:\\Games\\", true},
        {"C:\\Games", false},
        {"\\", true},
        {"表", false},
        {"C:\\表", false},
        {"C:\\ソ\\", true},
        {"a\\\\", true},
    };
    EXPECT_FALSE(EndsWithSeparator(nullptr));
    for (const Row& row : rows)
        EXPECT_EQ(EndsWithSeparator(row.text), row.expected) << "text: " << row.text;
}

TEST(Paths, IsAbsolutePath)
{
    struct Row { const char* text; bool expected; } rows[] = {
        {"C:", true},
        {"C:file", true},
        {"\\x", true},
        {"\\\\server\\share", true},
        {"", false},
        {"data\\x", false},
        {"ab:", false},
        {"表:", true},     // a double-byte first character, then the colon
    };
    EXPECT_FALSE(IsAbsolutePath(nullptr));
    for (const Row& row : rows)
        EXPECT_EQ(IsAbsolutePath(row.text), row.expected) << "text: " << row.text;
}

TEST(Paths, DirectoryPart)
{
    struct Row { const char* path; const char* expected; } rows[] = {
        {"C:\\Games\\Demo\\game.exe", "C:\\Games\\Demo"},
        {"C:\\Games\\Demo\\", "C:\\Games\\Demo\\"},
        {"game.exe", "game.exe"},
        {"C:\\ゲーム\\表", "C:\\ゲーム"},
        {"data\\ソ表", "data"},
        {"表\\ソ", "表"},
        {"ソ", "ソ"},
        {"\\file", ""},
    };
    for (const Row& row : rows) {
        FilePath path;
        path.SetPath(WideFrom932(row.path));
        std::wstring result;
        path.DirectoryPart(result);
        EXPECT_EQ(result, WideFrom932(row.expected)) << "path: " << row.path;
    }
}

TEST(Paths, FolderAndLeaf)
{
    struct Row { const wchar_t* path; const wchar_t* folder; const wchar_t* leaf; } rows[] = {
        {L"C:\\Games\\Demo\\game.exe", L"C:\\Games\\Demo", L"game.exe"},
        {L"data\\a.pak", L"data", L"a.pak"},
        {L"a.pak", L"", L"a.pak"},
        {L"dir\\", L"dir", L""},
        {L"\\name", L"", L"name"},
        {L"C:name", L"", L"name"},
        {L"\\\\?\\C:\\x\\upd0001.tmp", L"\\\\?\\C:\\x", L"upd0001.tmp"},
        {L"", L"", L""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(std::wstring(row.folder), FolderOf(row.path)) << (&row - rows);
        EXPECT_EQ(std::wstring(row.leaf), LeafOf(row.path)) << (&row - rows);
    }
}

TEST(Paths, FullPathOf)
{
    const std::wstring here = CurrentFolder();
    ASSERT_FALSE(here.empty());
    struct Row { const wchar_t* path; std::wstring full; } rows[] = {
        {L"a\\..\\b.txt", here + L"\\b.txt"},
        {L".\\dir\\", here + L"\\dir\\"},
        {L"C:\\x\\.\\y", L"C:\\x\\y"},
        {L"C:\\", L"C:\\"},
        {L"", L""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.full, FullPathOf(row.path)) << (&row - rows);
}

TEST(Paths, CreateDirectoriesRelativeWithRunsOfBackslashes)
{
    ScratchDir scratch;
    CurrentDirectory here(scratch.Path());
    CreateDirectories("a\\\\b\\");
    EXPECT_EQ(ListFolder(scratch.Path()), "a");
    EXPECT_EQ(ListFolder(scratch.Path("a")), "b");
    EXPECT_EQ(ListFolder(scratch.Path("a\\b")), "");

    // All there already: nothing changes, nothing is reported.
    CreateDirectories("a\\b");
    EXPECT_EQ(ListFolder(scratch.Path("a")), "b");
}

TEST(Paths, CreateDirectoriesAbsoluteAndShiftJis)
{
    ScratchDir scratch;
    // Wine without the ja_JP locale on the host cannot store non-ASCII names.
    if (!CreateDirectoryA(scratch.Path("ア").c_str(), nullptr))
        GTEST_SKIP() << "this file system takes no Japanese names (error " << GetLastError() << ")";
    RemoveDirectoryA(scratch.Path("ア").c_str());
    CreateDirectories(scratch.Path("表\\ソ\\deep").c_str());
    EXPECT_TRUE(FileExists(scratch.Path("表")));
    EXPECT_TRUE(FileExists(scratch.Path("表\\ソ")));
    EXPECT_TRUE(FileExists(scratch.Path("表\\ソ\\deep")));
    // Had the trail byte been taken for a separator, a folder named by the
    // lone lead byte would have been made.
    EXPECT_EQ(ListFolder(scratch.Path()), "表");
}

TEST(Paths, CreateDirectoriesSkipsDriveLikeComponents)
{
    ScratchDir scratch;
    CurrentDirectory here(scratch.Path());
    CreateDirectories("x\\y:\\z");
    EXPECT_EQ(ListFolder(scratch.Path()), "x");
    EXPECT_EQ(ListFolder(scratch.Path("x")), "");
}

TEST(Paths, CreateDirectoriesRootRelativeStaysOnRoot)
{
    ScratchDir scratch;
    CreateDirectoryA(scratch.Path("cwd").c_str(), nullptr);
    CurrentDirectory here(scratch.Path("cwd"));
    const std::string full = scratch.Path("r\\s");
    ASSERT_EQ(full[1], ':');
    CreateDirectories(full.substr(2).c_str());  // \users\...\r\s on this drive
    EXPECT_TRUE(FileExists(full));
    EXPECT_EQ(ListFolder(scratch.Path("cwd")), "");
}

// One rule for the updater's items (code page 932 bytes) and the tool's
// entry and file names (UTF-16): each ASCII row is judged in both forms.
TEST(Paths, NamesDevice)
{
    struct Row { const char* part; bool device; } rows[] = {
        {"CON", true}, {"con", true}, {"PRN", true}, {"Aux", true}, {"nul", true},
        {"CONIN$", true}, {"conout$", true}, {"COM0", true}, {"com1", true}, {"COM9", true},
        {"LPT0", true}, {"lpt9", true}, {"NUL.txt", true}, {"prn.tar.gz", true},
        {"COM1 .txt", true}, {"nul .txt", true}, {"CON.", true}, {"CON. .", true}, {"AUX  ", true},
        {"lpt0.log", true},
        {"", false}, {"CONFIG.SYS", false}, {"CONSOLE", false}, {"COM10", false}, {"COM", false},
        {"LPTX", false}, {"nul_device.txt", false}, {" CON", false}, {".CON", false}, {"CONIN", false},
        {"CON$", false}, {"a.CON", false},
        {"COM\xB2", false},  // code page 932: a half-width katakana, no superscript
        {"表", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.device, NamesDevice(row.part, std::strlen(row.part))) << "bytes: " << row.part;
        const std::string part = row.part;
        if (std::all_of(part.begin(), part.end(), [](char c) { return (c & 0x80) == 0; })) {
            EXPECT_EQ(row.device, NamesDevice(WideFrom932(row.part))) << "UTF-16: " << row.part;
        }
    }
    // Only the UTF-16 form can hold superscript digits.
    struct WideRow { const wchar_t* part; bool device; } wideRows[] = {
        {L"COM\u00B9", true}, {L"com\u00B2.txt", true}, {L"LPT\u00B3", true}, {L"LPT\u00B3 . ", true},
        {L"COM\u2074", false}, {L"COM\uFF11", false}, {L"\uFF23ON", false},
    };
    for (const WideRow& row : wideRows)
        EXPECT_EQ(row.device, NamesDevice(std::wstring(row.part))) << "UTF-16 row " << (&row - wideRows);
    EXPECT_FALSE(NamesDevice(nullptr, 0));
    EXPECT_TRUE(NamesDevice("CON\\x", 3));  // only length bytes count
}

namespace {

// Every entry a listing gives, sorted, each folder marked with a trailing
// backslash; then its error.
std::string Listed(const std::wstring& pattern, DWORD& error)
{
    std::vector<std::string> names;
    FolderListing list(pattern);
    while (list.Next()) {
        const std::wstring name = list.Name();
        names.push_back(std::string(name.begin(), name.end()) + (list.IsFolder() ? "\\" : ""));
    }
    EXPECT_FALSE(list.Next()) << "a finished listing stays finished";
    error = list.Error();
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names)
        joined += name + " ";
    return joined;
}

}  // namespace

TEST(Paths, FolderListing)
{
    ScratchDir scratch;
    WriteFileBytes(scratch.Path("a.pak"), "x");
    WriteFileBytes(scratch.Path("b.txt"), "");
    WriteFileBytes(scratch.Path("sub.pak\\inner.pak"), "y");
    CreateDirectoryA(scratch.Path("empty").c_str(), nullptr);
    const std::wstring root = Wide(scratch.Path());
    struct Row { std::wstring pattern; const char* expected; DWORD error; } rows[] = {
        {root + L"\\*", "a.pak b.txt empty\\ sub.pak\\ ", 0},
        {root + L"\\*.pak", "a.pak sub.pak\\ ", 0},
        {root + L"\\*.none", "", 0},
        {root + L"\\empty\\*", "", 0},  // only . and .. there
        {root + L"\\sub.pak\\*", "inner.pak ", 0},
        {root + L"\\missing\\*", "", ERROR_PATH_NOT_FOUND},
    };
    for (const Row& row : rows) {
        DWORD error = 1;
        EXPECT_EQ(row.expected, Listed(row.pattern, error)) << std::string(row.pattern.begin(), row.pattern.end());
        EXPECT_EQ(row.error, error) << std::string(row.pattern.begin(), row.pattern.end());
    }
}
