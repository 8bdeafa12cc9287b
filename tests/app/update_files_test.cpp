// The copy of the listed items as a run makes it: only those whose step
// passes, below the destination as the dialog gave it. The decision itself
// is tested with the update's tests.

#include <gtest/gtest.h>

#include "app/run_sequence.h"
#include "update/run_walk.h"
#include "tests/app/app_test_support.h"
#include "tests/support/scratch_dir.h"

namespace {

std::string V19() { return ReadFileBytes(FixturePath("version_1_9.dll")); }
std::string V110() { return ReadFileBytes(FixturePath("version_1_10.dll")); }
const char* const kPlain = "plain bytes without any version resource";

// The updater's items stage over items of the current folder, copied into
// installFolder.
void UpdateItems(const std::vector<const char*>& items, const std::wstring& installFolder)
{
    UpdateSettings settings;
    RunWalk walk(RunWrites, settings);
    for (const char* item : items) {
        settings.files.emplace_back();
        settings.files.back().Assign(item);
    }
    walk.items = MakeItemRecords(settings.files);
    walk.AfterDialog(installFolder);
    UpdateFiles(walk, "", kProgressDelayMs);
}

// Sources live in the current folder under their listed names, targets in
// a separate destination folder, as in a real run.
class UpdateFilesTest : public ::testing::Test {
protected:
    ScratchDir scratch;
    std::string sourceFolder = scratch.Path("source");
    std::string destinationFolder = scratch.Path("installed");

    void SetUp() override
    {
        CreateDirectoryA(sourceFolder.c_str(), nullptr);
        CreateDirectoryA(destinationFolder.c_str(), nullptr);
        // A fixture without its version would make the rows below pass for
        // the wrong reason.
        ASSERT_NE("<missing>", V19());
        ASSERT_NE("<missing>", V110());
    }
};

}  // namespace

TEST_F(UpdateFilesTest, ItemIsCopiedOnlyWhenItPasses)
{
    CurrentDirectory inSource(sourceFolder);
    WriteFileBytes(sourceFolder + "\\new.exe", V19());
    WriteFileBytes(destinationFolder + "\\new.exe", V110());
    WriteFileBytes(sourceFolder + "\\old.exe", V110());
    WriteFileBytes(destinationFolder + "\\old.exe", V19());
    WriteFileBytes(sourceFolder + "\\sub\\readme.txt", kPlain);

    UpdateItems({"new.exe", "old.exe", "sub\\readme.txt", "missing.txt"}, Wide(destinationFolder));
    EXPECT_EQ(V19(), ReadFileBytes(destinationFolder + "\\new.exe"));
    EXPECT_EQ(V19(), ReadFileBytes(destinationFolder + "\\old.exe")) << "refused, left alone";
    EXPECT_EQ(kPlain, ReadFileBytes(destinationFolder + "\\sub\\readme.txt"));
    EXPECT_FALSE(FileExists(destinationFolder + "\\missing.txt"));
    EXPECT_EQ("new.exe old.exe sub", ListFolder(destinationFolder));
}

TEST_F(UpdateFilesTest, DestinationEndingInBackslashIsUsedAsIs)
{
    CurrentDirectory inSource(sourceFolder);
    WriteFileBytes(sourceFolder + "\\a.txt", kPlain);
    UpdateItems({"a.txt"}, Wide(destinationFolder + "\\"));
    EXPECT_EQ(kPlain, ReadFileBytes(destinationFolder + "\\a.txt"));
}
