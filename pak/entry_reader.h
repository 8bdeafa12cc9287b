#pragma once
// An entry's data as the updater delivers it (its raw bytes, or its zlib
// stream inflated), read in 64 KiB chunks so that an entry of any size takes
// two fixed buffers; and, when it cannot be delivered, exactly why.

#include <cstdint>
#include <string>
#include <vector>
#include "pak/archive_index.h"
#include "pak/stream_inflater.h"

// What inflating one stored byte range showed.
class StreamFacts {
public:
    uint64_t produced;  // bytes inflated (inflating stops a chunk past the size asked for)
    uint64_t consumed;  // packed bytes the stream took
    bool ended;         // its end was read
    bool corrupt;
    bool cutShort;      // the packed bytes ran out before its end

    StreamFacts() : produced(0), consumed(0), ended(false), corrupt(false), cutShort(false) {}
    virtual ~StreamFacts() {}
};

// Why an entry of size bytes, stored as packedSize bytes, is not delivered
// whole by a stream with these facts; "" when it is.
std::string StreamProblem(const StreamFacts& facts, uint32_t size, uint32_t packedSize);

class EntryReader {
public:
    // Set when the entry cannot be delivered whole, as the updater would
    // refuse it; "" while all is well.
    std::string problem;
    StreamFacts facts;  // of a compressed entry, once read

    // archive: open on the archive file; reads go through it, moving it only
    // when an entry's data is not where the last one ended.
    explicit EntryReader(ArchiveFile& archive);
    EntryReader(const EntryReader&) = delete;
    EntryReader& operator=(const EntryReader&) = delete;
    virtual ~EntryReader();

    // Begins on record, its stored bytes at dataStart of a file of fileSize
    // bytes: checks that they lie in the file and below 2 GiB (problem set
    // otherwise). Reads nothing yet.
    void Start(uint64_t dataStart, uint64_t fileSize, const IndexRecord& record);

    // The next chunk of the entry's data, valid until the next call. False
    // at the end of the data or at a problem; a chunk may come before the
    // problem is known, so the data is whole only when problem is "" at the
    // end.
    bool Next(const unsigned char*& data, uint32_t& length);
    // Reads the rest, throwing it away.
    void Drain();

private:
    // The next piece of the stored bytes into the input block; false, with
    // problem set, when the file ends first.
    bool ReadStored(uint32_t& got);
    bool NextInflated(const unsigned char*& data, uint32_t& length);

    ArchiveFile& archive_;
    StreamInflater inflater_;
    std::vector<unsigned char> in_;
    std::vector<unsigned char> out_;
    uint64_t start_;
    uint32_t size_;
    uint32_t packedSize_;
    bool compressed_;
    bool started_;  // positioned at the data
    bool finished_;
    uint32_t storedLeft_;  // stored bytes not read yet
};
