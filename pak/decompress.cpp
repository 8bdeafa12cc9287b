#include "pak/archive_file.h"

#include "pak/archive_damage.h"
#include "pak/stream_inflater.h"

StreamInflater::StreamInflater() : state(Corrupt), consumed(0), produced(0), stream_(), owner_() {}

StreamInflater::~StreamInflater() {}

void StreamInflater::Start()
{
    consumed = 0;
    produced = 0;
    stream_.next_in = Z_NULL;
    stream_.avail_in = 0;
    const int rc = owner_.Valid() ? inflateReset(&stream_) : inflateInit(&stream_);
    if (rc == Z_OK && !owner_.Valid())
        owner_.Reset(&stream_);
    state = rc == Z_OK ? Going : Corrupt;
}

void StreamInflater::Give(const unsigned char* input, uint32_t n)
{
    stream_.next_in = const_cast<Bytef*>(input);
    stream_.avail_in = n;
}

bool StreamInflater::NeedsInput() const
{
    return state == Going && stream_.avail_in == 0;
}

uint32_t StreamInflater::Inflate(unsigned char* output, uint32_t capacity)
{
    stream_.next_out = output;
    stream_.avail_out = capacity;
    while (state == Going) {
        const uInt inBefore = stream_.avail_in;
        const int rc = inflate(&stream_, Z_NO_FLUSH);
        consumed += inBefore - stream_.avail_in;
        if (rc == Z_STREAM_END) {
            state = Ended;
        } else if (rc == Z_BUF_ERROR) {
            break;  // no progress: the output is full or the input used up
        } else if (rc != Z_OK) {
            state = Corrupt;
        } else if (stream_.avail_in == 0) {
            break;
        }
        // Z_OK with input left: the block is full; one more call reads a
        // check value that needs no room, or makes no progress.
    }
    const uint32_t written = capacity - stream_.avail_out;
    produced += written;
    return written;
}

uint32_t ArchiveFile::Decompress(uint32_t packedSize, void* output, uint32_t capacity,
                                 uint32_t* streamLength)
{
    // Input goes through one small buffer; output lands straight in the
    // caller's block, which the archive sized, so nothing grows or is copied.
    unsigned char input[4096];
    StreamInflater inflater;
    inflater.Start();
    if (inflater.state != StreamInflater::Going)
        RaiseDamagedArchive();
    unsigned char* const out = static_cast<unsigned char*>(output);
    uint32_t given = 0, total = 0;
    for (;;) {
        if (inflater.NeedsInput()) {
            // The packed bytes used up (or the file ending) before the end of
            // the stream: a truncated stream; nothing at all cannot be one.
            const uint32_t left = packedSize - given;
            const uint32_t chunk = left < sizeof input ? left : uint32_t(sizeof input);
            const uint32_t got = chunk ? Read(input, chunk) : 0;
            if (got == 0)
                RaiseDamagedArchive();
            given += got;
            inflater.Give(input, got);
        }
        total += inflater.Inflate(out + total, capacity - total);
        if (inflater.state == StreamInflater::Ended)
            break;
        // Corrupt, or the block is full while the stream goes on.
        if (inflater.state != StreamInflater::Going || !inflater.NeedsInput())
            RaiseDamagedArchive();
    }
    if (streamLength)
        *streamLength = uint32_t(inflater.consumed);
    return total;
}
