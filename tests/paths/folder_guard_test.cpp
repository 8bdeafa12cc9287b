#include "paths/folder_guard.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "paths/item_rule.h"
#include "tests/support/folder_link.h"
#include "tests/support/scratch_dir.h"

TEST(FolderGuard, RefusesEveryLinkBelowTheInstallFolder)
{
    ScratchDir scratch;
    const std::string install = scratch.Path("install"), elsewhere = scratch.Path("elsewhere");
    CreateDirectoryW(Wide(install).c_str(), nullptr);
    CreateDirectoryW(Wide(elsewhere).c_str(), nullptr);
    CreateDirectoryW(Wide(install + "\\real").c_str(), nullptr);
    ASSERT_TRUE(MakeFolderLink(install + "\\sub", elsewhere)) << GetLastError();
    ASSERT_TRUE(MakeFolderLink(install + "\\real\\deep", elsewhere)) << GetLastError();
    WriteFileBytes(install + "\\file", "a file in the way");

    const struct {
        const char* folder;
        bool held;
    } rows[] = {
        {"", true},
        {"real", true},
        {"new\\newer", true},
        {"file\\below", true},  // left to the copy, which asks
        {"sub", false},
        {"sub\\x", false},
        {"sub/x", false},
        {"real\\deep", false},
        {"real\\deep\\x", false},
    };
    FolderGuard guard(Wide(install));
    FolderGuard looking(Wide(install), false);  // as recovery and plan look: nothing made
    for (const auto& row : rows) {
        EXPECT_EQ(guard.Hold(Wide(row.folder)), row.held) << row.folder;
        EXPECT_EQ(looking.Hold(Wide(row.folder)), row.held) << row.folder;
        if (row.held) {
            // Files are reached through the held folder's handle.
            EXPECT_EQ(guard.Place(ItemKey(Wide(row.folder)), L"x.txt").Held() != nullptr,
                      std::string(row.folder).find("file") == std::string::npos)
                << row.folder;
        }
    }
    EXPECT_TRUE(FileExists(install + "\\new\\newer")) << "a missing folder is made";
    EXPECT_EQ(ListFolder(elsewhere), "") << "nothing made through a link";
    EXPECT_TRUE(IsLink(Wide(install + "\\sub")));
    EXPECT_FALSE(IsLink(Wide(install + "\\real")));
}
