// Entry names as the commands judge and show them: verify refuses every
// name extract would refuse, and list shows names that are no plain text by
// their bytes.

#include <gtest/gtest.h>
#include "tests/updtool/tool_rows.h"

TEST(EntryNames, VerifyRefusesWhatExtractRefusesAndListShowsEveryByte)
{
    RunToolRows({
        {"verify passed names that extract refuses",
         [](ScratchDir& s) {
             std::vector<PakEntry> entries;
             for (const char* name : {"..\\x", "C:\\x", "\\\\srv\\s\\x", "CON", "ab:c", "x.", "x ", "",
                                      "a\x01" "b", "\x83", "ok.txt", "OK.TXT"})
                 entries.push_back(Raw(name, "d"));
             WriteFileBytes(s.Path("x.pak"), Pak(entries, 1));
         },
         {"verify", "x.pak"}, 1,
         {"\"..\\x\": the name has a \"..\" part", "\"C:\\x\": the name names a drive",
          "\"\\\\srv\\s\\x\": the name is absolute", "\"CON\": the name names the device CON",
          "\"ab:c\": the name holds \":\"", "\"x.\": the name has a part ending in a dot or space",
          "\"x \": the name has a part ending in a dot or space", "\"\": the name is empty",
          "\"a<01>b\": the name holds a character Windows does not allow",
          "\"<83>\": the name is not valid code page 932 text",
          "\"OK.TXT\": an earlier entry, ok.txt, has the same name to the updater's lookup",
          "11 problems (format 1, 12 of 12 entries checked"},
         {}, nullptr},
        {"list printed names raw",
         [](ScratchDir& s) { WriteFileBytes(s.Path("x.pak"), Pak({Raw("a\rb", "1"), Raw("z\x83", "2")})); },
         {"list", "x.pak"}, 0, {"  no          a<CR>b\n", "  no          z<83>\n"}, {},
         [](ScratchDir&, const char*) {}},
    });
}
