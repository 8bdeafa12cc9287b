#include "update/file_version.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

// The fixture libraries are built next to the test executable.
std::string FixturePath(const char* name)
{
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string path = module;
    path.erase(path.rfind('\\') + 1);
    return path + name;
}

}  // namespace

TEST(FileVersion, ReadsFirstTranslationOnly)
{
    const char* const kept = "kept";
    struct Row {
        const char* file;
        const char* want;
    };
    const Row rows[] = {
        {"ver_1_9.dll", "1.9"},
        {"ver_1_10.dll", "1.10"},
        {"ver_1_0_0_2.dll", "1, 0, 0, 2"},
        // Language 0x0411, code page 0x04b0: \StringFileInfo\041104b0.
        {"ver_japanese.dll", "3.0.1.7"},
        // Only the second translation has a FileVersion.
        {"ver_second_translation.dll", kept},
        {"ver_none.dll", kept},
        {"no_such_file.dll", kept},
    };
    for (const Row& row : rows) {
        const std::string path = FixturePath(row.file);
        if (row.want != kept) {
            ASSERT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
        }
        String result;
        result.Assign(kept);
        GetFileVersionText(path.c_str(), result);
        EXPECT_STREQ(result.text, row.want) << row.file;
    }
}

TEST(FileVersion, EmptyResultStaysEmptyForMissingVersion)
{
    String result;
    GetFileVersionText(FixturePath("ver_none.dll").c_str(), result);
    EXPECT_TRUE(result.IsEmpty());
    GetFileVersionText(FixturePath("ver_1_10.dll").c_str(), result);
    EXPECT_STREQ(result.text, "1.10");
}
