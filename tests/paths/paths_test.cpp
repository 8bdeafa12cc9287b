#include "paths/paths.h"
#include "paths/wide_paths.h"
#include "base/text_932.h"

#include <gtest/gtest.h>
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
