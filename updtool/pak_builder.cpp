#include "updtool/pak_builder.h"

#include <windows.h>
#include "base/little_endian.h"
#include "pak/archive_limits.h"
#include "updtool/file_handle.h"
#include "updtool/report_text.h"
#include "updtool/text_conversion.h"
#include "updtool/tool_error.h"

namespace {

const uint32_t kChunk = 256 * 1024;

void PutU32(std::vector<unsigned char>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

std::string TooLarge()
{
    return "the archive would reach past 2 GiB, beyond what the updater reads";
}

}  // namespace

PakBuilder::PakBuilder(uint32_t version, int32_t revision, int level, const std::wstring& folder)
    : entries(0), compressedEntries(0), dataRead(0), version_(version), revision_(revision),
      level_(level), dataSize_(0), in_(kChunk), out_(kChunk), stream_(), streamReady_(false)
{
    if (!data_.Create(folder, L"updtool"))
        ThrowSystemError("cannot create a temporary data file in " + Utf8(folder), folder);
    dataReader_.Reset(CreateFileW(data_.Path().c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!dataReader_.Valid())
        ThrowSystemError("cannot read the temporary data file " + Utf8(data_.Path()), data_.Path());
}

PakBuilder::~PakBuilder()
{
    if (streamReady_)
        deflateEnd(&stream_);
}

void PakBuilder::CopyRaw(HANDLE in, const std::string& what, uint64_t& size)
{
    size = 0;
    for (;;) {
        const uint32_t got = ReadFully(in, in_.data(), kChunk, what);
        if (got == 0)
            break;
        size += got;
        if (dataSize_ + size > kMaxDataEnd)
            throw ToolError(TooLarge());
        WriteFully(data_.Get(), in_.data(), got, "the temporary data file");
        if (got < kChunk)
            break;
    }
}

void PakBuilder::Deflate(HANDLE in, const std::string& what, uint64_t& size, uint64_t& packed)
{
    // One stream for every entry, reset in between: the same output as a
    // fresh one, without its allocation per entry. Defaults as compress2.
    const int rc = streamReady_ ? deflateReset(&stream_) : deflateInit(&stream_, level_);
    if (rc != Z_OK)
        throw ToolError("zlib cannot start compressing");
    streamReady_ = true;
    size = 0;
    packed = 0;
    bool last = false;
    while (!last) {
        const uint32_t got = ReadFully(in, in_.data(), kChunk, what);
        last = got < kChunk;
        size += got;
        stream_.next_in = in_.data();
        stream_.avail_in = got;
        const int flush = last ? Z_FINISH : Z_NO_FLUSH;
        int result;
        do {
            stream_.next_out = out_.data();
            stream_.avail_out = kChunk;
            result = deflate(&stream_, flush);
            if (result == Z_STREAM_ERROR)
                throw ToolError("zlib failed while compressing " + what);
            const uint32_t produced = kChunk - stream_.avail_out;
            packed += produced;
            WriteFully(data_.Get(), out_.data(), produced, "the temporary data file");
        } while (stream_.avail_out == 0 || (last && result != Z_STREAM_END));
    }
    if (size > UINT32_MAX)
        throw ToolError(what + " is larger than an entry can be (4 GiB)");
}

void PakBuilder::Add(const std::string& name, const std::wstring& source, uint64_t listedSize,
                     bool compress)
{
    const std::string what = Quoted(name);
    // Refused before a byte is read: a file of gigabytes would otherwise be
    // read to its end first.
    if (listedSize > UINT32_MAX)
        throw ToolError(what + " is larger than an entry can be (4 GiB)");
    if (!compress && dataSize_ + listedSize > kMaxDataEnd)
        throw ToolError(TooLarge());
    const Handle in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.Valid())
        ThrowSystemError("cannot read " + what, source);

    uint64_t size = 0, stored = 0;
    bool compressed = false;
    if (compress) {
        Deflate(in.Get(), what, size, stored);
        compressed = stored < size;
        if (!compressed) {
            // Not smaller: stored raw over what was written, read again.
            SeekTo(in.Get(), 0, what);
            SeekTo(data_.Get(), dataSize_, "the temporary data file");
            const uint64_t listed = size;
            CopyRaw(in.Get(), what, size);
            if (size != listed)
                throw ToolError(what + " changed while it was being packed");
            stored = size;
        }
    } else {
        CopyRaw(in.Get(), what, size);
        stored = size;
    }
    if (dataSize_ + stored > kMaxDataEnd)
        throw ToolError(TooLarge());
    dataRead += size;

    PutU32(index_, uint32_t(name.size()));
    index_.insert(index_.end(), name.begin(), name.end());
    offsetAt_.push_back(uint32_t(index_.size()));
    PutU32(index_, uint32_t(dataSize_));
    PutU32(index_, 0);  // the unused word
    PutU32(index_, uint32_t(size));
    if (version_ != 0) {
        PutU32(index_, compressed ? 1 : 0);
        PutU32(index_, uint32_t(stored));
    }
    dataSize_ += stored;
    // The next entry's data starts here, also after a raw rewrite that
    // left a longer failed attempt behind.
    SeekTo(data_.Get(), dataSize_, "the temporary data file");
    ++entries;
    compressedEntries += compressed ? 1 : 0;
}

void PakBuilder::Finish(HANDLE out, const std::string& what)
{
    std::vector<unsigned char> head;
    PutU32(head, version_);
    PutU32(head, entries);
    std::vector<unsigned char> packed;
    if (version_ == 0) {
        // Absolute offsets: the data follows the header and the plain index.
        const uint64_t base = 8 + index_.size();
        if (base + dataSize_ > kMaxDataEnd)
            throw ToolError(TooLarge());
        for (uint32_t at : offsetAt_) {
            StoreU32(&index_[at], uint32_t(base + LoadU32(&index_[at])));
        }
    } else {
        uLongf length = compressBound(uLong(index_.size()));
        packed.resize(length);
        if (compress2(packed.data(), &length, index_.data(), uLong(index_.size()), level_) != Z_OK)
            throw ToolError("zlib failed while compressing the index");
        packed.resize(length);
        PutU32(head, uint32_t(index_.size()));
        PutU32(head, uint32_t(packed.size()));
        if (version_ == 2) {
            PutU32(head, uint32_t(revision_));
            head.resize(head.size() + 256, 0);  // the extra block, zeroed
        }
        if (head.size() + packed.size() + dataSize_ > kMaxDataEnd)
            throw ToolError(TooLarge());
    }
    const std::vector<unsigned char>& index = version_ == 0 ? index_ : packed;
    WriteFully(out, head.data(), uint32_t(head.size()), what);
    if (!index.empty())
        WriteFully(out, index.data(), uint32_t(index.size()), what);
    SeekTo(dataReader_.Get(), 0, "the temporary data file");
    for (uint64_t left = dataSize_; left > 0;) {
        const uint32_t want = left < kChunk ? uint32_t(left) : kChunk;
        if (ReadFully(dataReader_.Get(), in_.data(), want, "the temporary data file") != want)
            throw ToolError("the temporary data file ended early");
        WriteFully(out, in_.data(), want, what);
        left -= want;
    }
}
