#pragma once
// An entry's data as the updater delivers it (its raw bytes, or its zlib
// stream inflated), read in bounded chunks so that an entry of any size
// takes two 64 KiB buffers; and, when it cannot be delivered, exactly why.
// verify and extract read every entry through one reader, which keeps its
// inflate state from entry to entry.

#include <zlib.h>
#include <cstdint>
#include <string>
#include <vector>
#include "pak/archive_index.h"
#include "pak/inflate_owner.h"

class EntryReader {
public:
    // Set when an entry cannot be delivered whole, as the updater would
    // refuse it; "" while all is well.
    std::string problem;

    explicit EntryReader(ArchiveFile& archive);
    EntryReader(const EntryReader&) = delete;
    EntryReader& operator=(const EntryReader&) = delete;
    virtual ~EntryReader();

    // Begins on record of index: checks that its stored bytes lie in the
    // file and below 2 GiB (problem set otherwise). Reads nothing yet.
    void Start(const ArchiveIndex& index, const IndexRecord& record);
    // The same for stored bytes at dataStart of a file of fileSize bytes.
    void StartAt(uint64_t dataStart, uint64_t fileSize, const IndexRecord& record);

    // The next chunk of the entry's data, valid until the next call. False
    // at the end of the data or at a problem: the stream is corrupt, ends
    // early, inflates to more or fewer bytes than the entry's size, or ends
    // before its packed size does (the updater ignores such a tail, but the
    // index then misstates the entry).
    bool Next(const unsigned char*& data, uint32_t& length);

private:
    bool NextRaw(const unsigned char*& data, uint32_t& length);
    bool NextInflated(const unsigned char*& data, uint32_t& length);
    void Fail(const std::string& message);

    ArchiveFile& archive_;
    z_stream stream_;
    InflateOwner streamEnd_;  // holds stream_ once started
    std::vector<unsigned char> in_;
    std::vector<unsigned char> out_;
    uint64_t start_;
    uint32_t size_;
    uint32_t packedSize_;
    bool compressed_;
    bool started_;     // positioned at the data
    bool finished_;
    uint32_t delivered_;
    uint32_t storedLeft_;  // stored bytes not read yet
};
