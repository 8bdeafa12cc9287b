// Each kind of damage verify must find, in archives built wrong on purpose.

#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>
#include "tests/support/archive_writer.h"
#include "tests/support/scratch_dir.h"
#include "tests/updtool/tool_runner.h"

namespace {

PakEntry Entry(const std::string& name, const std::string& data, bool compress = false)
{
    PakEntry entry;
    entry.name = name;
    entry.data = data;
    entry.compress = compress;
    return entry;
}

PakSpec Spec(uint32_t version, std::vector<PakEntry> entries)
{
    PakSpec spec;
    spec.version = version;
    spec.entries = std::move(entries);
    return spec;
}

const std::string kText(2000, 't');

// One packed entry with a field made wrong by change.
std::string PackedWith(const std::function<void(PakEntry&)>& change)
{
    PakSpec spec = Spec(2, {Entry("a", kText, true), Entry("b", "xyz")});
    change(spec.entries[0]);
    return BuildPak(spec);
}

std::string WithSpec(PakSpec spec, const std::function<void(PakSpec&)>& change)
{
    change(spec);
    return BuildPak(spec);
}

// A packed index followed by four bytes that its stated size takes in.
std::string PackedIndexWithTail()
{
    PakSpec spec = Spec(2, {Entry("a", "")});
    const std::string right = BuildPak(spec);
    spec.packedIndexSize = uint32_t(right.size() - 276 + 4);
    return BuildPak(spec) + "XXXX";
}

}  // namespace

TEST(VerifyDamage, EveryKindIsReportedWithItsEntry)
{
    const uint32_t packedA = uint32_t(ZlibCompress(kText).size());
    const PakSpec two = Spec(2, {Entry("a", "abc"), Entry("b", "xyz")});  // records of 25 bytes
    struct Row {
        const char* what;
        std::string archive;
        const char* entry;
        std::string message;  // a part of the reported message
        bool listFails;       // damage list sees: the index, or an entry's bounds
    } rows[] = {
        {"data past the end", WithSpec(two, [](PakSpec& s) { s.entries[1].offset = 1000; }), "b",
         "runs past the end of the file (", true},
        {"inflates short", PackedWith([](PakEntry& e) { e.size = 2001; }), "a",
         "its zlib stream inflates to 2000 bytes, not its size of 2001", false},
        {"inflates long", PackedWith([](PakEntry& e) { e.size = 1999; }), "a",
         "inflates to more than its size of 1999 bytes", false},
        {"corrupt stream", WithSpec(Spec(1, {Entry("a", "not zlib at all")}),
                                    [](PakSpec& s) { s.entries[0].compressedWord = 7; }),
         "a", "its zlib stream is corrupt", false},
        {"stream shorter than stated", PackedWith([&](PakEntry& e) { e.packedSize = packedA + 3; }),
         "a", "its zlib stream ends 3 bytes before its packed size", false},
        {"stream cut short", PackedWith([&](PakEntry& e) { e.packedSize = packedA - 4; }), "a",
         "its zlib stream is cut short", false},
        {"compressed, nothing stored", PackedWith([](PakEntry& e) { e.packedSize = 0; }), "a",
         "it is compressed but has no stored bytes", true},
        {"overlapping data", WithSpec(two, [](PakSpec& s) { s.entries[1].offset = 1; }), "b",
         "its data overlaps that of a", false},
        {"v0 data in the index", WithSpec(Spec(0, {Entry("a", "abc")}),
                                          [](PakSpec& s) { s.entries[0].offset = 8; }),
         "a", "its data overlaps the archive's index", false},
        {"NUL in a name", BuildPak(Spec(1, {Entry(std::string("a\0b", 3), "x")})), "a",
         "its name holds a NUL byte", false},
        {"index smaller than stated", WithSpec(two, [](PakSpec& s) { s.indexSize = 60; }), "",
         "the packed index: its zlib stream inflates to 50 bytes, not its size of 60", true},
        {"index larger than stated", WithSpec(two, [](PakSpec& s) { s.indexSize = 40; }), "",
         "the packed index: its zlib stream inflates to more than its size of 40 bytes", true},
        {"corrupt packed index", WithSpec(two, [](PakSpec& s) { s.packedIndex = "garbage!"; }), "",
         "the packed index: its zlib stream is corrupt", true},
        {"packed index past the end", WithSpec(two, [](PakSpec& s) { s.packedIndexSize = 100000; }),
         "", "the packed index (100000 bytes) runs past the end of the file", true},
        {"packed index with a tail", PackedIndexWithTail(), "",
         "the packed index's zlib stream ends 4 bytes before its stated packed size", false},
        {"records short of the index", WithSpec(two, [](PakSpec& s) { s.count = 1; }), "",
         "25 bytes of the index follow its last record", false},
        {"count beyond the records", WithSpec(two, [](PakSpec& s) { s.count = 3; }), "",
         "record 3 of 3 runs past the end of the index (50 bytes)", true},
        {"v0 count beyond the file", WithSpec(Spec(0, {Entry("a", "abc")}), [](PakSpec& s) { s.count = 5; }),
         "", "record 2 of 5 runs past the end of the file", true},
        {"index of 0 bytes", WithSpec(Spec(1, two.entries), [](PakSpec& s) { s.indexSize = 0; }), "",
         "the index is stated as 0 bytes but counts 2 entries", true},
        {"unknown version", BuildPak(Spec(3, two.entries)), "", "unknown format version 3", true},
        {"header cut short", BuildPak(two).substr(0, 100), "",
         "the file ends inside the header (100 of 276 bytes)", true},
    };
    ScratchDir scratch;
    for (const Row& row : rows) {
        WriteFileBytes(scratch.Path("x.pak"), row.archive);
        const ToolResult verify = RunTool({"verify", "x.pak", "--json"}, scratch.Path());
        EXPECT_EQ(1, verify.exitCode) << row.what;
        const std::string problem = std::string("{\"entry\":\"") + row.entry + "\",\"message\":\"";
        const size_t at = verify.out.find(problem);
        EXPECT_TRUE(at != std::string::npos &&
                    verify.out.find(row.message, at) < verify.out.find('}', at))
            << row.what << ": " << verify.out;
        EXPECT_EQ(0u, verify.out.find("{\"ok\":false,\"format\":")) << row.what;
        EXPECT_NE(std::string::npos, verify.out.find("\"problems\":[{")) << row.what;
        EXPECT_EQ(row.listFails ? 1 : 0, RunTool({"list", "x.pak"}, scratch.Path()).exitCode)
            << row.what;
    }
    WriteFileBytes(scratch.Path("x.pak"), BuildPak(two));
    EXPECT_EQ("{\"ok\":true,\"format\":2,\"count\":2,\"checked\":2,\"unpackedSize\":6,"
              "\"problemCount\":0,\"problems\":[]}\n",
              RunTool({"verify", "x.pak", "--json"}, scratch.Path()).out);
}

TEST(ListDamage, ACutArchiveIsNoQuietListing)
{
    // An interrupted download: the last entry's data is cut short, the
    // index whole. Both forms list what there is, warn and exit 1.
    const std::string whole = BuildPak(Spec(2, {Entry("a", "abc"), Entry("b", kText, true)}));
    ScratchDir scratch;
    WriteFileBytes(scratch.Path("x.pak"), whole.substr(0, whole.size() - 1));
    const struct {
        std::vector<std::string> args;
        const char* out;
    } rows[] = {
        {{"list", "x.pak"}, "format 2, 2 entries, revision 0\n"},
        {{"list", "x.pak", "--json"}, "\"name\":\"b\",\"offset\":3,\"size\":2000,"},
    };
    for (const auto& row : rows) {
        const ToolResult list = RunTool(row.args, scratch.Path());
        EXPECT_EQ(1, list.exitCode) << row.args.size();
        EXPECT_NE(std::string::npos, list.out.find(row.out)) << list.out;
        EXPECT_EQ("updtool list: warning: \"x.pak\" is damaged: the updater cannot deliver 1 "
                  "entry whole (see \"updtool verify\")\n",
                  list.err);
    }
    WriteFileBytes(scratch.Path("x.pak"), whole);
    EXPECT_EQ(0, RunTool({"list", "x.pak", "--json"}, scratch.Path()).exitCode);
}
