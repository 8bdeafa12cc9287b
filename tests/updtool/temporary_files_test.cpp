// The tool's own temporary files: whatever stands under their names before
// a run (a stale file, a second name for another file, an entry's name) is
// left as it was.

#include <gtest/gtest.h>
#include <windows.h>
#include "tests/updtool/tool_rows.h"

namespace {

// A second name for the file at target, as a planted link would be.
void HardLink(const std::string& link, const std::string& target)
{
    ASSERT_TRUE(CreateHardLinkA(link.c_str(), target.c_str(), nullptr)) << link << " " << GetLastError();
}

}  // namespace

TEST(TemporaryFiles, WhatStandsUnderTheirNamesIsLeftAlone)
{
    RunToolRows({
        {"extract wrote through files under its fixed temporary names",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("x.pak"), Pak({Raw("f.txt", "new f"), Raw("g.txt", "new g")}));
             WriteFileBytes(s.Path("keep.txt"), "mine");
             WriteFileBytes(s.Path("out\\f.txt.updtool-tmp"), "stale");
             HardLink(s.Path("out\\g.txt.updtool-tmp"), s.Path("keep.txt"));
         },
         {"extract", "x.pak", "-C", "out"}, 0, {"f.txt\n", "g.txt\n"}, {},
         [](ScratchDir& s, const char* defect) {
             EXPECT_EQ("mine", ReadFileBytes(s.Path("keep.txt"))) << defect;
             EXPECT_EQ("stale", ReadFileBytes(s.Path("out\\f.txt.updtool-tmp"))) << defect;
             EXPECT_EQ("mine", ReadFileBytes(s.Path("out\\g.txt.updtool-tmp"))) << defect;
             EXPECT_EQ("new g", ReadFileBytes(s.Path("out\\g.txt"))) << defect;
             EXPECT_EQ("f.txt f.txt.updtool-tmp g.txt g.txt.updtool-tmp", ListFolder(s.Path("out")))
                 << defect;
         }},
        {"an entry named like extract's temporary file hid another",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("x.pak"), Pak({Raw("f.txt.updtool-tmp", "tmp"), Raw("f.txt", "f")}));
             CreateDirectoryA(s.Path("out").c_str(), nullptr);
         },
         {"extract", "x.pak", "-C", "out"}, 0, {"f.txt.updtool-tmp\n", "f.txt\n"}, {},
         [](ScratchDir& s, const char* defect) {
             EXPECT_EQ("tmp", ReadFileBytes(s.Path("out\\f.txt.updtool-tmp"))) << defect;
             EXPECT_EQ("f", ReadFileBytes(s.Path("out\\f.txt"))) << defect;
         }},
        {"pack deleted files under its fixed temporary names",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("src\\a.txt"), "a");
             WriteFileBytes(s.Path("keep.txt"), "mine");
             WriteFileBytes(s.Path("out.pak.updtool-tmp"), "stale");
             HardLink(s.Path("out.pak.updtool-data"), s.Path("keep.txt"));
         },
         {"pack", "out.pak", "src", "--revision", "1"}, 0, {"packed 1 entry"}, {},
         [](ScratchDir& s, const char* defect) {
             EXPECT_EQ("mine", ReadFileBytes(s.Path("out.pak.updtool-data"))) << defect;
             EXPECT_EQ("stale", ReadFileBytes(s.Path("out.pak.updtool-tmp"))) << defect;
             EXPECT_EQ("keep.txt out.pak out.pak.updtool-data out.pak.updtool-tmp src",
                       ListFolder(s.Path()))
                 << defect;
         }},
    });
}
