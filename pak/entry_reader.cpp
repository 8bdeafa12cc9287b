#include "pak/entry_reader.h"

#include "pak/archive_limits.h"

namespace {

const uint32_t kChunk = 64 * 1024;

}  // namespace

std::string StreamProblem(const StreamFacts& facts, uint32_t size, uint32_t packedSize)
{
    if (facts.produced > size)
        return "its zlib stream inflates to more than its size of " + std::to_string(size) +
               " bytes";
    // Z_NEED_DICT too: an archive has no dictionary to give.
    if (facts.corrupt)
        return "its zlib stream is corrupt";
    if (facts.cutShort)
        return "its zlib stream is cut short: it does not end within its packed size of " +
               std::to_string(packedSize) + " bytes";
    if (facts.produced != size)
        return "its zlib stream inflates to " + std::to_string(facts.produced) +
               " bytes, not its size of " + std::to_string(size);
    // The updater ignores such a tail, but the index then misstates the entry.
    if (facts.consumed != packedSize)
        return "its zlib stream ends " + std::to_string(packedSize - facts.consumed) +
               " bytes before its packed size of " + std::to_string(packedSize);
    return std::string();
}

EntryReader::EntryReader(ArchiveFile& archive)
    : archive_(archive), in_(kChunk), out_(kChunk), start_(0), size_(0), packedSize_(0),
      compressed_(false), started_(false), finished_(true), storedLeft_(0)
{
}

EntryReader::~EntryReader() {}

void EntryReader::Start(uint64_t dataStart, uint64_t fileSize, const IndexRecord& record)
{
    problem.clear();
    facts = StreamFacts();
    start_ = dataStart;
    size_ = record.size;
    packedSize_ = record.packedSize;
    compressed_ = record.compressed != 0;
    started_ = false;
    finished_ = false;
    storedLeft_ = compressed_ ? packedSize_ : size_;

    const uint64_t end = start_ + storedLeft_;
    if (end <= fileSize && end <= kMaxDataEnd && !(compressed_ && packedSize_ == 0))
        return;
    finished_ = true;
    const std::string range = "its data (bytes " + std::to_string(start_) + " to " +
                              std::to_string(end) + ")";
    if (end > fileSize)
        problem = range + " runs past the end of the file (" + std::to_string(fileSize) + " bytes)";
    else if (end > kMaxDataEnd)
        problem = range + " lies beyond 2 GiB, where the updater cannot read";
    else
        problem = "it is compressed but has no stored bytes";
}

bool EntryReader::Next(const unsigned char*& data, uint32_t& length)
{
    if (finished_)
        return false;
    if (!started_) {
        started_ = true;
        if (archive_.position != start_)
            archive_.Seek(start_);
        if (compressed_)
            inflater_.Start();
    }
    if (compressed_)
        return NextInflated(data, length);
    if (storedLeft_ == 0) {
        finished_ = true;
        return false;
    }
    uint32_t got = 0;
    if (!ReadStored(got))
        return false;
    data = in_.data();
    length = got;
    return true;
}

bool EntryReader::ReadStored(uint32_t& got)
{
    const uint32_t want = storedLeft_ < kChunk ? storedLeft_ : kChunk;
    got = archive_.Read(in_.data(), want);
    if (got != want) {
        problem = "the file ends inside its data";
        finished_ = true;
        return false;
    }
    storedLeft_ -= got;
    return true;
}

bool EntryReader::NextInflated(const unsigned char*& data, uint32_t& length)
{
    for (;;) {
        if (inflater_.NeedsInput() && storedLeft_ > 0) {
            uint32_t got = 0;
            if (!ReadStored(got))
                return false;
            inflater_.Give(in_.data(), got);
        }
        const uint32_t produced = inflater_.Inflate(out_.data(), kChunk);
        facts.produced = inflater_.produced;
        facts.consumed = inflater_.consumed;
        facts.ended = inflater_.state == StreamInflater::Ended;
        facts.corrupt = inflater_.state == StreamInflater::Corrupt;
        facts.cutShort = inflater_.NeedsInput() && storedLeft_ == 0;
        // Past its size nothing more is delivered: the entry is wrong already.
        const bool done = facts.ended || facts.corrupt || facts.cutShort || facts.produced > size_;
        if (done) {
            finished_ = true;
            problem = StreamProblem(facts, size_, packedSize_);
        }
        // Bytes within the size are delivered even from a stream that is
        // wrong later: the caller learns of it from problem at the end.
        if (produced > 0 && facts.produced <= size_) {
            data = out_.data();
            length = produced;
            return true;
        }
        if (done)
            return false;
    }
}

void EntryReader::Drain()
{
    const unsigned char* data = nullptr;
    uint32_t length = 0;
    while (Next(data, length)) {
    }
}
