#include "pak/archive_file.h"

#include "pak/archive_damage.h"
#include "pak/inflate_owner.h"

uint32_t ArchiveFile::Decompress(uint32_t packedSize, void* output, uint32_t capacity,
                                 uint32_t* streamLength)
{
    // Input goes through one small buffer; output lands straight in the
    // caller's block, which the archive sized, so nothing grows or is copied.
    unsigned char input[4096];
    const uint32_t first = Read(input, packedSize < sizeof input ? packedSize : uint32_t(sizeof input));

    z_stream stream = {};
    stream.next_in = input;
    stream.avail_in = first;
    stream.next_out = static_cast<Bytef*>(output);
    stream.avail_out = capacity;
    if (inflateInit(&stream) != Z_OK)
        RaiseDamagedArchive();
    // Ended on every way out of here.
    const InflateOwner started(&stream);
    // Nothing to read (packed size 0, or the file ends here) cannot be a stream.
    if (first == 0)
        RaiseDamagedArchive();

    for (;;) {
        const int rc = inflate(&stream, Z_NO_FLUSH);
        if (rc == Z_STREAM_END)
            break;
        // Z_NEED_DICT counts as corrupt: an archive has no dictionary to give.
        // Z_BUF_ERROR means no progress: the block is full or input ran out.
        if (rc != Z_OK)
            RaiseDamagedArchive();
        if (stream.avail_in == 0) {
            const uint32_t remaining = packedSize - uint32_t(stream.total_in);
            const uint32_t chunk = remaining < sizeof input ? remaining : uint32_t(sizeof input);
            // The packed bytes are used up (or the file ends) before the end
            // of the stream: a truncated stream.
            const uint32_t got = chunk ? Read(input, chunk) : 0;
            if (got == 0)
                RaiseDamagedArchive();
            stream.next_in = input;
            stream.avail_in = got;
        }
    }
    if (streamLength)
        *streamLength = uint32_t(stream.total_in);
    return uint32_t(stream.total_out);
}
