// update.ini's file= list cut into items.

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "settings/update_settings.h"

TEST(FileList, SplitsOnSemicolonsKeepingEverythingElse)
{
    struct Row {
        const char* list;
        std::vector<std::string> items;
    };
    const Row rows[] = {
        {"a.pak;;b.exe;", {"a.pak", "b.exe"}},
        {"a.pak; b.exe", {"a.pak", " b.exe"}},
        {";;;", {}},
        {"", {}},
        {"x;x", {"x", "x"}},
        {"ソフト\\表示.exe;b", {"ソフト\\表示.exe", "b"}},
    };
    for (const Row& row : rows) {
        String list;
        list.Assign(row.list);
        std::vector<String> files;
        files.push_back(String());  // replaced, not appended to
        SplitFileList(list, files);
        std::vector<std::string> got;
        for (const String& file : files)
            got.push_back(file.text ? file.text : "");
        EXPECT_EQ(row.items, got) << "list \"" << row.list << "\"";
    }
}
