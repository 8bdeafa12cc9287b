#pragma once
// list's output, formatted straight into one buffer that is written out
// whenever it fills: a listing of a hundred thousand entries should cost
// little more than reading the index, so each entry is a handful of copies,
// not a dozen string calls, and the buffer is reused rather than grown (on
// a fresh block every page costs a fault).
//
// Text: a header line, then per entry its offset, size and packed size
// (right-aligned, 10 columns), "yes"/"no" for compressed, and its name.
// JSON: {"version":V,"count":C,"revision":R,"entries":[{"name":...,
// "offset":...,"size":...,"packedSize":...,"compressed":true|false},...]}.

#include <cstdint>
#include <string>
#include <vector>

class Listing {
public:
    Listing(bool json, uint32_t version, uint32_t count, int32_t revision);
    virtual ~Listing();

    // name: code page 932 bytes, as the updater reads them.
    void Add(const char* name, uint32_t nameLength, uint32_t offset, uint32_t size,
             uint32_t packedSize, bool compressed);

    // Ends the document and writes the rest of it to standard output.
    void Finish();

private:
    char* Room(size_t n);
    void Flush();

    bool json_;
    bool first_;
    std::vector<char> buffer_;
    size_t used_;
    std::string utf8_;  // a name that needed converting
};
