#pragma once
// One zlib stream (RFC 1950) inflated piece by piece: the caller gives the
// packed bytes as they are read and takes the output in blocks of any size,
// so a stream of any length passes through fixed buffers. The one inflate
// loop of the program: ArchiveFile::Decompress inflates an index or an entry
// into one block with it, the publisher's tool streams entries with it.
//
// Damage shows in the state, never as a partial success: a corrupt stream
// (Z_NEED_DICT included: an archive has no dictionary to give) is Corrupt;
// a stream that stops early shows as NeedsInput() with no packed bytes left
// to give, which the caller counts as cut short.

#include <zlib.h>
#include <cstdint>
#include "pak/inflate_owner.h"

class StreamInflater {
public:
    enum State {
        Going,    // more output to come: give input when NeedsInput(), else room
        Ended,    // the stream's end and its check value were read
        Corrupt,  // not a valid stream, or zlib could not start
    };

    State state;
    uint64_t consumed;  // packed bytes the stream took so far
    uint64_t produced;  // bytes inflated so far

    StreamInflater();
    StreamInflater(const StreamInflater&) = delete;
    StreamInflater& operator=(const StreamInflater&) = delete;
    virtual ~StreamInflater();

    // Begins a new stream (reusing zlib's state from the last one). Corrupt
    // when zlib cannot start.
    void Start();

    // input: the next packed bytes, used in place; they must stay valid
    // until NeedsInput() is true again.
    void Give(const unsigned char* input, uint32_t n);
    // True when every byte given was taken and the stream is still Going.
    bool NeedsInput() const;

    // Inflates into output (room for capacity bytes) until it is full, the
    // input given is used up, or the stream ends or fails; returns the
    // bytes written. A stream whose end follows a full block reaches Ended
    // on the same call when its check value was given.
    uint32_t Inflate(unsigned char* output, uint32_t capacity);

private:
    z_stream stream_;
    InflateOwner owner_;  // holds stream_ once zlib started it
};
