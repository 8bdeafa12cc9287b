#include "updtool/entry_reader.h"

#include "pak/archive_limits.h"

namespace {

const uint32_t kChunk = 64 * 1024;

}  // namespace

EntryReader::EntryReader(ArchiveFile& archive)
    : archive_(archive), stream_(), streamEnd_(), in_(kChunk), out_(kChunk), start_(0),
      size_(0), packedSize_(0), compressed_(false), started_(false), finished_(true),
      delivered_(0), storedLeft_(0)
{
}

EntryReader::~EntryReader()
{
}

void EntryReader::Fail(const std::string& message)
{
    problem = message;
    finished_ = true;
}

void EntryReader::Start(const ArchiveIndex& index, const IndexRecord& record)
{
    StartAt(index.DataStart(record), index.fileSize, record);
}

void EntryReader::StartAt(uint64_t dataStart, uint64_t fileSize, const IndexRecord& record)
{
    if (!problem.empty())
        problem.clear();
    start_ = dataStart;
    size_ = record.size;
    packedSize_ = record.packedSize;
    compressed_ = record.compressed != 0;
    started_ = false;
    finished_ = false;
    delivered_ = 0;
    storedLeft_ = compressed_ ? packedSize_ : size_;

    const uint64_t end = start_ + storedLeft_;
    if (end <= fileSize && end <= kMaxDataEnd && !(compressed_ && packedSize_ == 0))
        return;
    const std::string range = "its data (bytes " + std::to_string(start_) + " to " +
                              std::to_string(end) + ")";
    if (end > fileSize)
        Fail(range + " runs past the end of the file (" + std::to_string(fileSize) + " bytes)");
    else if (end > kMaxDataEnd)
        Fail(range + " lies beyond 2 GiB, where the updater cannot read");
    else
        Fail("it is compressed but has no stored bytes");
}

bool EntryReader::Next(const unsigned char*& data, uint32_t& length)
{
    if (finished_)
        return false;
    if (!started_) {
        started_ = true;
        archive_.Seek(start_);
        if (compressed_) {
            const int rc = streamEnd_.Valid() ? inflateReset(&stream_) : inflateInit(&stream_);
            if (rc != Z_OK) {
                Fail("zlib cannot start inflating");
                return false;
            }
            if (!streamEnd_.Valid())
                streamEnd_.Reset(&stream_);
            stream_.avail_in = 0;
        }
    }
    return compressed_ ? NextInflated(data, length) : NextRaw(data, length);
}

bool EntryReader::NextRaw(const unsigned char*& data, uint32_t& length)
{
    if (storedLeft_ == 0) {
        finished_ = true;
        return false;
    }
    const uint32_t want = storedLeft_ < kChunk ? storedLeft_ : kChunk;
    const uint32_t got = archive_.Read(in_.data(), want);
    if (got != want) {
        Fail("the file ends inside its data");
        return false;
    }
    storedLeft_ -= got;
    data = in_.data();
    length = got;
    return true;
}

bool EntryReader::NextInflated(const unsigned char*& data, uint32_t& length)
{
    for (;;) {
        if (stream_.avail_in == 0 && storedLeft_ > 0) {
            const uint32_t want = storedLeft_ < kChunk ? storedLeft_ : kChunk;
            const uint32_t got = archive_.Read(in_.data(), want);
            if (got != want) {
                Fail("the file ends inside its data");
                return false;
            }
            storedLeft_ -= got;
            stream_.next_in = in_.data();
            stream_.avail_in = got;
        }
        stream_.next_out = out_.data();
        stream_.avail_out = kChunk;
        const int rc = inflate(&stream_, Z_NO_FLUSH);
        const uint32_t produced = kChunk - stream_.avail_out;
        if (produced > size_ - delivered_) {
            Fail("its zlib stream inflates to more than its size of " + std::to_string(size_) +
                 " bytes");
            return false;
        }
        delivered_ += produced;
        if (rc == Z_STREAM_END) {
            finished_ = true;
            const uint64_t tail = uint64_t(stream_.avail_in) + storedLeft_;
            if (delivered_ != size_)
                problem = "its zlib stream inflates to " + std::to_string(delivered_) +
                          " bytes, not its size of " + std::to_string(size_);
            else if (tail != 0)
                problem = "its zlib stream ends " + std::to_string(tail) +
                          " bytes before its packed size of " + std::to_string(packedSize_);
        } else if (rc == Z_BUF_ERROR && stream_.avail_in == 0 && storedLeft_ == 0) {
            Fail("its zlib stream is cut short: it does not end within its packed size of " +
                 std::to_string(packedSize_) + " bytes");
            return false;
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            // Z_NEED_DICT too: an archive has no dictionary to give.
            Fail("its zlib stream is corrupt");
            return false;
        }
        if (produced > 0) {
            data = out_.data();
            length = produced;
            return true;
        }
        if (finished_)
            return false;
    }
}
