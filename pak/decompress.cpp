#include "pak/archive_file.h"

#include <zlib.h>
#include "pak/archive_index.h"

namespace {

// Ends the stream on every way out of Decompress.
class InflateStream {
public:
    z_stream stream;
    bool started;

    InflateStream() : stream(), started(false) {}
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;
    virtual ~InflateStream()
    {
        if (started)
            inflateEnd(&stream);
    }
};

}  // namespace

uint32_t ArchiveFile::Decompress(uint32_t packedSize, void* output, uint32_t capacity,
                                 uint32_t* streamLength)
{
    // Input goes through one small buffer; output lands straight in the
    // caller's block, which the archive sized, so nothing grows or is copied.
    unsigned char input[4096];
    const uint32_t first = Read(input, packedSize < sizeof input ? packedSize : uint32_t(sizeof input));

    InflateStream z;
    z.stream.next_in = input;
    z.stream.avail_in = first;
    z.stream.next_out = static_cast<Bytef*>(output);
    z.stream.avail_out = capacity;
    if (inflateInit(&z.stream) != Z_OK)
        RaiseDamagedArchive();
    z.started = true;
    // Nothing to read (packed size 0, or the file ends here) cannot be a stream.
    if (first == 0)
        RaiseDamagedArchive();

    for (;;) {
        const int rc = inflate(&z.stream, Z_NO_FLUSH);
        if (rc == Z_STREAM_END)
            break;
        // Z_NEED_DICT counts as corrupt: an archive has no dictionary to give.
        // Z_BUF_ERROR means no progress: the block is full or input ran out.
        if (rc != Z_OK)
            RaiseDamagedArchive();
        if (z.stream.avail_in == 0) {
            const uint32_t remaining = packedSize - uint32_t(z.stream.total_in);
            const uint32_t chunk = remaining < sizeof input ? remaining : uint32_t(sizeof input);
            // The packed bytes are used up (or the file ends) before the end
            // of the stream: a truncated stream.
            const uint32_t got = chunk ? Read(input, chunk) : 0;
            if (got == 0)
                RaiseDamagedArchive();
            z.stream.next_in = input;
            z.stream.avail_in = got;
        }
    }
    if (streamLength)
        *streamLength = uint32_t(z.stream.total_in);
    return uint32_t(z.stream.total_out);
}
