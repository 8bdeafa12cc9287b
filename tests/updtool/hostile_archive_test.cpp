// Archives made to blow up a tool that trusts them: files of a few hundred
// kilobytes whose entries share one stream, or whose index holds millions of
// empty records. Each run is bounded by RunTool's 60 s; a tool that inflates
// each entry of a shared stream, copies the index's records or writes before
// it counts runs out of time, memory or disk long before.

#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>
#include "tests/support/archive_writer.h"
#include "tests/support/scratch_dir.h"
#include "tests/updtool/tool_runner.h"

namespace {

void PutU32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out += char(value >> shift);
}

std::string Record(const std::string& name, uint32_t offset, uint32_t size, bool compressed,
                   uint32_t packedSize)
{
    std::string record;
    PutU32(record, uint32_t(name.size()));
    record += name;
    PutU32(record, offset);
    PutU32(record, 0);
    PutU32(record, size);
    PutU32(record, compressed ? 1 : 0);
    PutU32(record, packedSize);
    return record;
}

// A version 2 archive: an index of `copies` times the records given (as one
// zlib stream, never whole in memory), then data.
std::string Archive(const std::vector<std::string>& records, uint32_t copies, const std::string& data)
{
    std::string pattern;
    for (const std::string& record : records)
        pattern += record;
    const std::string packed = ZlibStreamOfCopies(pattern, copies);
    std::string archive;
    PutU32(archive, 2);
    PutU32(archive, uint32_t(records.size()) * copies);
    PutU32(archive, uint32_t(pattern.size()) * copies);
    PutU32(archive, uint32_t(packed.size()));
    PutU32(archive, 7);
    archive += std::string(256, '\0');
    return archive + packed + data;
}

std::vector<std::string> Digests(const std::string& json)
{
    std::vector<std::string> digests;
    for (size_t at = 0; (at = json.find("\"sha256\":", at)) != std::string::npos; ++at)
        digests.push_back(json.substr(at + 9, json.find('}', at) - at - 9));
    return digests;
}

}  // namespace

TEST(HostileArchive, SharedStreamIsInflatedOnce)
{
    // 1000 entries, each the same stream of 256 KB that inflates to
    // 256 MiB: 256 GB to inflate for a tool that takes each entry on its own.
    const uint32_t size = 256u << 20;
    const std::string stream = ZlibStreamOfCopies("z", size);
    std::vector<std::string> records;
    for (int i = 0; i < 1000; ++i)
        records.push_back(Record("e" + std::to_string(i), 0, size, true, uint32_t(stream.size())));
    ScratchDir scratch;
    WriteFileBytes(scratch.Path("shared.pak"), Archive(records, 1, stream));

    const ToolResult verify = RunTool({"verify", "shared.pak"}, scratch.Path());
    EXPECT_EQ(0, verify.exitCode) << verify.out << verify.err;
    EXPECT_EQ("ok: format 2, 1000 of 1000 entries checked, 268435456000 bytes unpacked\n", verify.out);

    const ToolResult list = RunTool({"list", "shared.pak", "--json"}, scratch.Path());
    EXPECT_EQ(0, list.exitCode) << list.err;
    const std::vector<std::string> digests = Digests(list.out);
    ASSERT_EQ(1000u, digests.size());
    EXPECT_EQ(66u, digests[0].size()) << digests[0];  // quoted hex, not null
    EXPECT_EQ(1000, std::count(digests.begin(), digests.end(), digests[0]));

    // The same entries stated at 4 GB each: 4 TB, more than any disk here
    // holds; refused before a byte is written.
    records.clear();
    for (int i = 0; i < 1000; ++i)
        records.push_back(Record("e" + std::to_string(i), 0, 4000000000u, true, uint32_t(stream.size())));
    WriteFileBytes(scratch.Path("huge.pak"), Archive(records, 1, stream));
    CreateDirectoryA(scratch.Path("out").c_str(), nullptr);
    const ToolResult extract = RunTool({"extract", "huge.pak", "-C", "out"}, scratch.Path());
    EXPECT_EQ(1, extract.exitCode) << extract.err;
    EXPECT_NE(std::string::npos, extract.err.find("the entries to write take 4000000000000 bytes, "
                                                  "more than the "))
        << extract.err;
    EXPECT_NE(std::string::npos, extract.err.find("; nothing was written\n")) << extract.err;
    EXPECT_EQ("", ListFolder(scratch.Path("out")));
}

TEST(HostileArchive, MillionsOfEmptyRecordsGetAVerdict)
{
    // 11,184,810 records of 24 bytes (no name, one byte of data at offset 1
    // or 0 by turns, so the data lies out of order): 256 MiB of index, the
    // reader's limit, from a file of under a megabyte.
    const uint32_t pairs = 5592405;
    const std::string archive =
        Archive({Record("", 1, 1, false, 0), Record("", 0, 1, false, 0)}, pairs, "ab");
    ASSERT_LT(archive.size(), 1000000u);
    ScratchDir scratch;
    WriteFileBytes(scratch.Path("empty.pak"), archive);

    const ToolResult verify = RunTool({"verify", "empty.pak", "--json"}, scratch.Path());
    EXPECT_EQ(1, verify.exitCode) << verify.err;
    EXPECT_EQ(0u, verify.out.find("{\"ok\":false,\"format\":2,\"count\":11184810,\"checked\":11184810,"
                                  "\"unpackedSize\":11184810,\"problemCount\":11184810,\"problems\":"
                                  "[{\"entry\":\"\",\"message\":\"the name is empty: extract refuses"))
        << verify.out.substr(0, 400) << verify.err;
    EXPECT_EQ(100, std::count(verify.out.begin(), verify.out.end(), '{') - 1);

    CreateDirectoryA(scratch.Path("out").c_str(), nullptr);
    const ToolResult extract = RunTool({"extract", "empty.pak", "-C", "out"}, scratch.Path());
    EXPECT_EQ(1, extract.exitCode) << extract.err.substr(0, 400);
    EXPECT_EQ(101, std::count(extract.err.begin(), extract.err.end(), '\n'));
    EXPECT_NE(std::string::npos, extract.err.find("updtool extract: ... and 11184710 more refused\n"));
    EXPECT_EQ("", ListFolder(scratch.Path("out")));
}
