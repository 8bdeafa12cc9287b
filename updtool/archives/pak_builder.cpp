#include "updtool/archives/pak_builder.h"

#include <windows.h>
#include "pak/archive_limits.h"
#include "pak/archive_writer.h"
#include "updtool/archives/file_handle.h"
#include "updtool/console/report_text.h"
#include "updtool/console/text_conversion.h"
#include "updtool/console/tool_error.h"

namespace {

const uint32_t kChunk = 256 * 1024;

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

    RecordFields record;
    record.name = name;
    record.nameLength = uint32_t(name.size());
    record.offset = uint32_t(dataSize_);
    record.size = uint32_t(size);
    record.compressed = compressed ? 1 : 0;
    record.packedSize = uint32_t(stored);
    offsetAt_.push_back(uint32_t(index_.size() + 4 + name.size()));
    dataOffsets_.push_back(uint32_t(dataSize_));
    PutRecord(version_, record, index_);
    dataSize_ += stored;
    // The next entry's data starts here, also after a raw rewrite that
    // left a longer failed attempt behind.
    SeekTo(data_.Get(), dataSize_, "the temporary data file");
    ++entries;
    compressedEntries += compressed ? 1 : 0;
}

void PakBuilder::Finish(HANDLE out, const std::string& what)
{
    HeaderFields header;
    header.version = version_;
    header.count = entries;
    std::string packed;
    if (version_ == 0) {
        // Absolute offsets: the data follows the header and the plain index
        // (wrong only in an archive too large, refused below).
        const uint64_t base = 8 + index_.size();
        for (size_t i = 0; i < offsetAt_.size(); ++i)
            SetWord(index_, offsetAt_[i], uint32_t(base + dataOffsets_[i]));
    } else {
        if (!DeflateBlock(index_.data(), index_.size(), level_, packed))
            throw ToolError("zlib failed while compressing the index");
        header.indexSize = uint32_t(index_.size());
        header.packedIndexSize = uint32_t(packed.size());
        header.revision = uint32_t(revision_);
    }
    std::string head;
    PutHeader(header, head);
    const std::string& index = version_ == 0 ? index_ : packed;
    if (head.size() + index.size() + dataSize_ > kMaxDataEnd)
        throw ToolError(TooLarge());
    WriteFully(out, head.data(), uint32_t(head.size()), what);
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
