// The one inflate loop, as zlib's own tests try a decoder: valid streams fed
// in odd-sized pieces into odd-sized blocks, and short corrupt blobs, each
// with the outcome it must have.

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "base/exceptions.h"
#include "pak/archive_file.h"
#include "pak/stream_inflater.h"
#include "tests/support/archive_writer.h"

namespace {

std::string Text(size_t n)
{
    std::string text;
    for (size_t i = 0; text.size() < n; ++i)
        text += "line " + std::to_string(i % 97) + " of a resource\n";
    text.resize(n);
    return text;
}

class Result {
public:
    std::string output;
    StreamInflater::State state;
    uint64_t consumed;
    bool starved;  // wanted more input when none was left

    Result() : state(StreamInflater::Going), consumed(0), starved(false) {}
    virtual ~Result() {}
};

// packed given `piece` bytes at a time, output taken `block` bytes at a time.
Result Inflate(const std::string& packed, size_t piece, size_t block)
{
    Result result;
    StreamInflater inflater;
    inflater.Start();
    std::vector<unsigned char> out(block);
    size_t given = 0;
    while (inflater.state == StreamInflater::Going) {
        if (inflater.NeedsInput()) {
            if (given == packed.size()) {
                result.starved = true;
                break;
            }
            const size_t n = std::min(piece, packed.size() - given);
            inflater.Give(reinterpret_cast<const unsigned char*>(packed.data()) + given, uint32_t(n));
            given += n;
        }
        const uint32_t got = inflater.Inflate(out.data(), uint32_t(block));
        result.output.append(reinterpret_cast<char*>(out.data()), got);
    }
    result.state = inflater.state;
    result.consumed = inflater.consumed;
    return result;
}

}  // namespace

TEST(StreamInflater, PiecesOfAnySize)
{
    const std::string data = Text(200000);
    const std::string packed = ZlibCompress(data);
    for (size_t piece : {size_t(1), size_t(3), size_t(4096), packed.size()}) {
        for (size_t block : {size_t(1), size_t(7), size_t(65536), data.size()}) {
            const Result result = Inflate(packed + "tail", piece, block);
            EXPECT_EQ(StreamInflater::Ended, result.state) << piece << "/" << block;
            EXPECT_TRUE(result.output == data) << piece << "/" << block;
            EXPECT_EQ(packed.size(), result.consumed) << piece << "/" << block;
        }
    }
}

TEST(StreamInflater, DamageShows)
{
    const std::string good = ZlibCompress("hello, hello, hello");
    std::string badBlock = good;
    badBlock[2] = char(0xFF);  // block type 3: reserved
    std::string badCheck = good;
    badCheck.back() = char(badCheck.back() ^ 1);
    const struct {
        const char* what;
        std::string packed;
        StreamInflater::State state;
        bool starved;
    } rows[] = {
        {"not a zlib header", std::string("\x00\x00", 2), StreamInflater::Corrupt, false},
        {"a preset dictionary asked for", std::string("\x78\xBB\x00\x00\x00\x01\x03\x00", 8),
         StreamInflater::Corrupt, false},
        {"a reserved block type", badBlock, StreamInflater::Corrupt, false},
        {"a wrong check value", badCheck, StreamInflater::Corrupt, false},
        {"cut short", good.substr(0, good.size() - 3), StreamInflater::Going, true},
        {"nothing at all", "", StreamInflater::Going, true},
    };
    for (const auto& row : rows) {
        for (size_t piece : {size_t(1), size_t(64)}) {
            const Result result = Inflate(row.packed, piece, 5);
            EXPECT_EQ(row.state, result.state) << row.what << ", pieces of " << piece;
            EXPECT_EQ(row.starved, result.starved) << row.what << ", pieces of " << piece;
        }
    }
}

TEST(StreamInflater, DecompressFillsItsBlockOrRaises)
{
    const std::string data = Text(10000);
    const std::string packed = ZlibCompress(data);
    const struct {
        const char* what;
        uint32_t packedSize, capacity;
        bool raises;
    } rows[] = {
        {"exactly its size", uint32_t(packed.size()), uint32_t(data.size()), false},
        {"more room than it needs", uint32_t(packed.size()), uint32_t(data.size() + 100), false},
        {"one byte too little room", uint32_t(packed.size()), uint32_t(data.size() - 1), true},
        {"its packed bytes cut short", uint32_t(packed.size() - 1), uint32_t(data.size()), true},
        {"no packed bytes", 0, uint32_t(data.size()), true},
    };
    for (const auto& row : rows) {
        ArchiveFile file;
        std::vector<unsigned char> block(row.capacity);
        std::vector<unsigned char> bytes(packed.begin(), packed.end());
        file.AttachMemory(bytes.data(), uint32_t(bytes.size()), false);
        uint32_t used = 0, got = 0;
        bool raised = false;
        try {
            got = file.Decompress(row.packedSize, block.data(), row.capacity, &used);
        } catch (const OCErrorException&) {
            raised = true;
        }
        EXPECT_EQ(row.raises, raised) << row.what;
        if (!row.raises) {
            EXPECT_EQ(data.size(), got) << row.what;
            EXPECT_EQ(packed.size(), used) << row.what;
            EXPECT_TRUE(std::string(block.begin(), block.begin() + got) == data) << row.what;
        }
    }
}
