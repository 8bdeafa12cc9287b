// What pack refuses before it writes anything: an --after that is no sound
// archive, a revision that would not replace it, a file too large for an
// entry; each with the reason, nothing written.

#include <gtest/gtest.h>
#include <windows.h>
#include "tests/updtool/tool_rows.h"

namespace {

// A file a row holds open while the tool runs.
HANDLE held = INVALID_HANDLE_VALUE;

}  // namespace

TEST(PackRefusals, EachSaysWhyAndWritesNothing)
{
    RunToolRows({
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
        {"pack read a 4.4 GB file to its end before refusing it",
         [](ScratchDir& s) {
             CreateDirectoryA(s.Path("src").c_str(), nullptr);
             EXPECT_TRUE(WriteSparseFile(s.Path("src\\big.bin"), 4400000000LL));
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
    });
}
