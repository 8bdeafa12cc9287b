#include "updtool/archives/pak_builder.h"

#include <windows.h>
#include <algorithm>
#include "pak/archive_limits.h"
#include "system/native_file.h"
#include "updtool/archives/archive_input.h"
#include "base/shown_text.h"
#include "updtool/console/command_line.h"

const uint32_t kChunk = 256 * 1024;

const char kTooLarge[] = "the archive would reach past 2 GiB, beyond what the updater reads";

PakBuilder::PakBuilder(uint32_t version, int32_t revision, int level, const std::wstring& folder)
    : entries(0), compressedEntries(0), dataRead(0), version_(version), revision_(revision),
      level_(level), dataSize_(0), in_(kChunk), out_(kChunk), stream_(), streamReady_(false)
{
    if (!data_.Create(folder, kToolPrefix))
        ThrowSystemError("cannot create a temporary data file in " + Utf8(folder), folder);
    if (!OpenFile(FileOpen::ReadBesideWriters, FilePlace(data_.Path()), dataReader_))
        ThrowSystemError("cannot read the temporary data file " + Utf8(data_.Path()), data_.Path());
}

PakBuilder::~PakBuilder()
{
    if (streamReady_)
        deflateEnd(&stream_);
}

// Writes in's data behind the data written so far: as one zlib stream when
// compress, else raw. Returns the bytes written; size receives the source's.
uint64_t PakBuilder::Store(HANDLE in, const std::string& what, bool compress, uint64_t& size)
{
    // One stream for every entry, reset in between: the same output as a
    // fresh one, without its allocation per entry. Defaults as compress2.
    if (compress && (streamReady_ ? deflateReset(&stream_) : deflateInit(&stream_, level_)) != Z_OK)
        throw ToolError("zlib cannot start compressing");
    streamReady_ = streamReady_ || compress;
    uint64_t stored = 0;
    size = 0;
    for (bool last = false; !last;) {
        const uint32_t got = ReadListedFile(in, in_.data(), kChunk, what);
        last = got < kChunk;
        size += got;
        if (!compress) {
            if (dataSize_ + size > kMaxDataEnd)
                throw ToolError(kTooLarge);
            data_.Write(in_.data(), got);
            stored += got;
            continue;
        }
        stream_.next_in = in_.data();
        stream_.avail_in = got;
        int result;
        do {
            stream_.next_out = out_.data();
            stream_.avail_out = kChunk;
            result = deflate(&stream_, last ? Z_FINISH : Z_NO_FLUSH);
            if (result == Z_STREAM_ERROR)
                throw ToolError("zlib failed while compressing " + what);
            const uint32_t produced = kChunk - stream_.avail_out;
            stored += produced;
            data_.Write(out_.data(), produced);
        } while (stream_.avail_out == 0 || (last && result != Z_STREAM_END));
    }
    return stored;
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
        throw ToolError(kTooLarge);
    Handle in;
    OpenListedFile(in, source, what);

    RecordFields record;
    uint64_t size = 0;
    uint64_t stored = Store(in.Get(), what, compress, size);
    if (size > UINT32_MAX)
        throw ToolError(what + " is larger than an entry can be (4 GiB)");
    record.compressed = compress && stored < size ? 1 : 0;
    if (compress && !record.compressed) {
        // Not smaller: stored raw over what was written, read again.
        LARGE_INTEGER start = {};
        if (!SetFilePointerEx(in.Get(), start, nullptr, FILE_BEGIN))
            ThrowSystemError("cannot read " + what);
        start.QuadPart = LONGLONG(dataSize_);
        if (!SetFilePointerEx(data_.Get(), start, nullptr, FILE_BEGIN))
            ThrowSystemError("cannot seek in the temporary data file");
        const uint64_t deflated = size;
        stored = Store(in.Get(), what, false, size);
        if (size != deflated)
            throw ToolError(what + " changed while it was being packed");
    }
    if (dataSize_ + stored > kMaxDataEnd)
        throw ToolError(kTooLarge);
    dataRead += size;
    record.name = name;
    record.nameLength = uint32_t(name.size());
    record.offset = uint32_t(dataSize_);
    record.size = uint32_t(size);
    record.packedSize = uint32_t(stored);
    records_.push_back(record);
    dataSize_ += stored;
    ++entries;
    compressedEntries += record.compressed;
}

// The plain index, each offset moved by base.
std::string PakBuilder::Index(uint32_t base) const
{
    std::string index;
    for (RecordFields record : records_) {
        record.offset += base;
        PutRecord(version_, record, index);
    }
    return index;
}

uint64_t PakBuilder::Finish(TemporaryFile& out)
{
    HeaderFields header;
    header.version = version_;
    header.count = entries;
    const std::string plain = Index(0);
    std::string index;
    if (version_ == 0) {
        // Absolute offsets: the data follows the header and the plain index
        // (wrong only in an archive too large, refused below).
        index = Index(uint32_t(8 + plain.size()));
    } else {
        if (!DeflateBlock(plain.data(), plain.size(), level_, index))
            throw ToolError("zlib failed while compressing the index");
        header.indexSize = uint32_t(plain.size());
        header.packedIndexSize = uint32_t(index.size());
        header.revision = uint32_t(revision_);
    }
    std::string head;
    PutHeader(header, head);
    if (head.size() + index.size() + dataSize_ > kMaxDataEnd)
        throw ToolError(kTooLarge);
    out.Write(head.data(), uint32_t(head.size()));
    out.Write(index.data(), uint32_t(index.size()));
    for (uint64_t left = dataSize_; left > 0;) {
        const DWORD want = DWORD(std::min<uint64_t>(left, kChunk));
        DWORD got = 0;
        if (!ReadFile(dataReader_.Get(), in_.data(), want, &got, nullptr))
            ThrowSystemError("cannot read the temporary data file");
        if (got != want)
            throw ToolError("the temporary data file ended early");
        out.Write(in_.data(), want);
        left -= want;
    }
    return head.size() + index.size() + dataSize_;
}
