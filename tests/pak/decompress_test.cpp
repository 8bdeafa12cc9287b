#include <zlib.h>
#include <cstring>
#include <random>
#include "tests/pak/pak_fixture.h"

namespace {

// Incompressible bytes, so that the stream is about as long as the data.
std::string Noise(size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::string out(n, '\0');
    for (char& c : out)
        c = char(random() & 0xFF);
    return out;
}

std::string WithDictionary(const std::string& data)
{
    z_stream z = {};
    deflateInit(&z, 6);
    const char dictionary[] = "some dictionary";
    deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary), sizeof dictionary);
    std::string out(deflateBound(&z, uLong(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct Outcome {
    std::string error;  // "" when it inflated
    std::string output;
    uint64_t position;
    bool guardIntact;
};

// Inflates packedSize bytes of source, served from memory, into a block of
// capacity bytes followed by guard bytes.
Outcome Inflate(std::string source, uint32_t packedSize, uint32_t capacity)
{
    ArchiveFile file;
    file.AttachMemory(&source[0], uint32_t(source.size()), false);
    std::string block(capacity + 16, '#');
    Outcome outcome{};
    uint32_t got = 0;
    outcome.error = ErrorMessage([&] { got = file.Decompress(packedSize, &block[0], capacity); });
    if (outcome.error == "<no exception>")
        outcome.error.clear();
    outcome.output = block.substr(0, got);
    outcome.position = file.position;
    outcome.guardIntact = block.substr(capacity) == std::string(16, '#');
    return outcome;
}

}  // namespace

TEST(Decompress, StreamsAcrossChunkBoundaries)
{
    struct Row { const char* label; size_t size; } rows[] = {
        {"tiny", 10}, {"one chunk", 3000}, {"exactly one chunk", 4096 - 11},
        {"three chunks", 9900}, {"many chunks", 100000}};
    for (const Row& row : rows) {
        const std::string data = Noise(row.size, unsigned(row.size));
        const std::string stream = ZlibCompress(data);
        // The bytes behind the stream belong to the next entry: never read.
        const Outcome o = Inflate(stream + "NEXT", uint32_t(stream.size()), uint32_t(data.size()));
        EXPECT_EQ(o.error, "") << row.label;
        EXPECT_TRUE(o.output == data) << row.label;
        EXPECT_EQ(o.position, stream.size()) << row.label;
        EXPECT_TRUE(o.guardIntact) << row.label;
    }
}

TEST(Decompress, ReadsTenThousandPackedBytesInThreeChunks)
{
    // Pad the stream to 10,000 packed bytes: the reads are 4096, 4096 and the
    // 1808 that remain, so exactly 10,000 bytes are taken and no more.
    const std::string data = Noise(9000, 7);
    std::string stream = ZlibCompress(data);
    ASSERT_LT(stream.size(), 10000u);
    ASSERT_GT(stream.size(), 8192u);
    stream.resize(10000, 'x');
    const Outcome o = Inflate(stream + "beyond", 10000, uint32_t(data.size()));
    EXPECT_EQ(o.error, "");
    EXPECT_TRUE(o.output == data);
    EXPECT_EQ(o.position, 10000u);
}

TEST(Decompress, Failures)
{
    const std::string data = Noise(6000, 3) + std::string(6000, 'z');
    const std::string stream = ZlibCompress(data);
    std::string flipped = stream;
    flipped[stream.size() / 2] ^= 0x40;
    std::string badChecksum = stream;
    badChecksum.back() ^= 1;
    struct Row { const char* label; std::string source; uint32_t packed; uint32_t capacity; } rows[] = {
        {"packed size 0", stream, 0, uint32_t(data.size())},
        {"output block too small", stream, uint32_t(stream.size()), uint32_t(data.size() - 1)},
        {"truncated by packed size", stream, uint32_t(stream.size() - 5), uint32_t(data.size())},
        {"truncated source", stream.substr(0, 5000), uint32_t(stream.size()), uint32_t(data.size())},
        {"corrupt data", flipped, uint32_t(flipped.size()), uint32_t(data.size())},
        {"bad checksum", badChecksum, uint32_t(badChecksum.size()), uint32_t(data.size())},
        {"not zlib", std::string(100, 'A'), 100, 1000},
        {"needs a dictionary", WithDictionary("abc"), 20, 100},
        {"empty source", std::string(), 50, 100},
    };
    for (const Row& row : rows) {
        const Outcome o = Inflate(row.source, row.packed, row.capacity);
        EXPECT_EQ(o.error, InflateFailure()) << row.label;
        EXPECT_TRUE(o.guardIntact) << row.label;
        EXPECT_LE(o.position, row.packed) << row.label;
    }
}

TEST(Decompress, EmptyStreamIntoEmptyBlock)
{
    const std::string stream = ZlibCompress("");
    const Outcome o = Inflate(stream, uint32_t(stream.size()), 0);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.output, "");
    EXPECT_TRUE(o.guardIntact);
}

TEST(Decompress, FromTheFileStream)
{
    ScratchDir scratch;
    const std::string data = Noise(20000, 11);
    const std::string stream = ZlibCompress(data);
    WriteFileBytes(scratch.Path("s.bin"), "head" + stream + "tail");
    ArchiveFile file;
    ASSERT_TRUE(file.Open(scratch.Path("s.bin").c_str(), ModeRead));
    file.Seek(4);
    std::string out(data.size(), '\0');
    EXPECT_EQ(file.Decompress(uint32_t(stream.size()), &out[0], uint32_t(out.size())), data.size());
    EXPECT_TRUE(out == data);
    EXPECT_EQ(file.position, 4 + stream.size());
    char tail[4];
    EXPECT_EQ(file.Read(tail, 4), 4u);
    EXPECT_EQ(std::string(tail, 4), "tail");
}
