// The tool says the same on every system: run again under US English (code
// page 1252) and Korean (949) Windows, each expectation here holds as under
// Japanese. Names are code page 932 literals; the output is UTF-8.

#include <gtest/gtest.h>
#include <string>
#include "tests/support/archive_writer.h"
#include "tests/support/scratch_dir.h"
#include "tests/updtool/tool_runner.h"

namespace {

}  // namespace

TEST(EveryCodePage, UpdtoolSaysTheSame)
{
    ScratchDir scratch;
    auto run = [&](const std::vector<std::string>& args) { return RunTool(args, scratch.Path()); };

    // Raw entries at offsets 0, 1 and 2: the listing is known to the byte.
    PakSpec spec;
    spec.revision = 5;
    spec.entries = {Raw("ソフト\\表示.txt", "a"), Raw("ｱｲ.txt", "b"), Raw("データ.bin", "ccc")};
    WriteFileBytes(scratch.Path("x.pak"), BuildPak(spec));
    const ToolResult list = run({"list", "x.pak"});
    EXPECT_EQ(0, list.exitCode) << list.err;
    EXPECT_EQ(std::string("format 2, 3 entries, revision 5\n"
                          "    offset       size     packed  compressed  name\n"
                          "         0          1          1  no          ") +
                  u8"ソフト\\表示.txt\n" + "         1          1          1  no          " +
                  u8"ｱｲ.txt\n" + "         2          3          3  no          " + u8"データ.bin\n",
              list.out);
    EXPECT_EQ("ok: format 2, 3 of 3 entries checked, 5 bytes unpacked\n", run({"verify", "x.pak"}).out);
    CreateDirectoryW(Wide(scratch.Path("展開")).c_str(), nullptr);
    const ToolResult extract = run({"extract", "x.pak", "-C", "展開"});
    EXPECT_EQ(0, extract.exitCode) << extract.err;
    EXPECT_EQ("a", ReadFileBytes(scratch.Path("展開\\ソフト\\表示.txt")));
    EXPECT_EQ("ccc", ReadFileBytes(scratch.Path("展開\\データ.bin")));

    // pack: names taken in code page 932 and put in the lookup's order, whose
    // case rules are code page 932's on every system (ａｂ and ＡＢ fold alike).
    for (const char* name : {"ソフト\\表示.txt", "ソフト\\表", "ＡＢ.txt.bak", "ａｂ.txt"})
        WriteFileBytes(scratch.Path(std::string("元\\") + name), name);
    const ToolResult pack = run({"pack", "元.pak", "元", "--revision", "1", "-q"});
    EXPECT_EQ(0, pack.exitCode) << pack.err;
    EXPECT_EQ(std::string(u8"updtool pack: warning: \"ａｂ.txt\" begins \"ＡＢ.txt.bak\": the lookup ") +
                  u8"finds it by its name, as it comes first, but without it would deliver \"ＡＢ.txt.bak\"\n" +
                  u8"updtool pack: warning: \"ソフト\\表\" begins \"ソフト\\表示.txt\": the lookup finds " +
                  u8"it by its name, as it comes first, but without it would deliver \"ソフト\\表示.txt\"\n",
              pack.err);
    const ToolResult packed = run({"list", "元.pak"});
    EXPECT_NE(std::string::npos, packed.out.find(std::string(u8"ａｂ.txt\n") + "         ")) << packed.out;
    const size_t ab = packed.out.find(u8"ａｂ.txt"), bak = packed.out.find(u8"ＡＢ.txt.bak"),
                 short_ = packed.out.find(u8"ソフト\\表\n"), long_ = packed.out.find(u8"ソフト\\表示.txt");
    EXPECT_TRUE(ab < bak && bak < short_ && short_ < long_) << packed.out;

    // check and plan: items with Japanese names found, an install folder
    // with a Japanese name given in UTF-16.
    WriteFileBytes(scratch.Path("更新\\update.ini"),
                   "[update]\r\nBrand=QuillmarkToolTest\r\nName=CodePages\r\nTitle=スター\r\n"
                   "file=ソフト.pak;データ\\画像.bmp\r\n");
    WriteFileBytes(scratch.Path("更新\\ソフト.pak"), BuildPak(spec));
    WriteFileBytes(scratch.Path("更新\\データ\\画像.bmp"), "bmp");
    CreateDirectoryW(Wide(scratch.Path("製品")).c_str(), nullptr);
    const ToolResult check = run({"check", "更新"});
    EXPECT_EQ(0, check.exitCode) << check.out;
    EXPECT_NE(std::string::npos, check.out.find(std::string("  Title         \"") + u8"スター\"\n"))
        << check.out;
    EXPECT_NE(std::string::npos, check.out.find(u8"  \"ソフト.pak\"       file  pak    \"5\"\n")) << check.out;
    EXPECT_NE(std::string::npos, check.out.find(u8"  \"データ\\画像.bmp\"  file  plain  -\n")) << check.out;
    const ToolResult plan = run({"plan", "更新", "--dest", "製品"});
    EXPECT_EQ(0, plan.exitCode) << plan.out << plan.err;
    const std::string install = scratch.Path("製品");
    std::string installUtf8;
    {
        const std::wstring wide = Wide(install);
        installUtf8.resize(wide.size() * 3);
        installUtf8.resize(size_t(WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()),
                                                      &installUtf8[0], int(installUtf8.size()),
                                                      nullptr, nullptr)));
    }
    EXPECT_EQ(0u, plan.out.find("destination: " + installUtf8 + " (given)\n")) << plan.out;
    EXPECT_NE(std::string::npos, plan.out.find(u8"  apply   \"ソフト.pak\"       pak    5       -          "
                                               "no installed copy\n"))
        << plan.out;
    EXPECT_NE(std::string::npos,
              plan.out.find(u8"  apply   \"データ\\画像.bmp\"  plain  -       -          plain file"))
        << plan.out;
}
