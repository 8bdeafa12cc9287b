// What no command can read or write as a file, named for what it is: a
// device, a missing folder, an empty archive.

#include <gtest/gtest.h>
#include <windows.h>
#include "tests/updtool/tool_rows.h"

TEST(UnreadableInput, DevicesMissingFoldersAndEmptyArchivesAreNamed)
{
    RunToolRows({
        {"pack wrote to a device", [](ScratchDir& s) { WriteFileBytes(s.Path("src\\a.txt"), "a"); },
         {"pack", "con.pak", "src", "--revision", "1"}, 2, {},
         {"updtool pack: \"con.pak\" names a device, not a file\n"}, nullptr},
        {"verify read a device", [](ScratchDir&) {}, {"verify", "CON"}, 2, {},
         {"updtool verify: \"CON\" names a device, not a file\n"}, nullptr},
        {"list read the NUL device", [](ScratchDir&) {}, {"list", "NUL"}, 2, {},
         {"updtool list: \"NUL\" names a device, not a file\n"}, nullptr},
        {"a missing folder came out as a bare error number", [](ScratchDir&) {},
         {"list", "nofolder\\x.pak"}, 2, {},
         {"cannot read \"nofolder\\x.pak\": the folder \"nofolder\" does not exist (error 3)\n"}, nullptr},
        {"extract of an empty file passed where list calls it damaged",
         [](ScratchDir& s) {
             WriteFileBytes(s.Path("empty.pak"), "");
             CreateDirectoryA(s.Path("out").c_str(), nullptr);
         },
         {"extract", "empty.pak", "-C", "out"}, 1, {},
         {"\"empty.pak\" is damaged: the file ends inside the header (0 of 8 bytes)"}, nullptr},
    });
}
