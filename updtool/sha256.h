#pragma once
// SHA-256 (FIPS 180-4) of a stream of bytes given in pieces: the digest
// list and compare give of entries, so that a publisher can tell an entry
// from a file without extracting it.

#include <cstdint>
#include <string>

class Sha256 {
public:
    Sha256();
    virtual ~Sha256();

    void Add(const void* data, size_t length);
    // The digest of everything added; the object is then ready for a new
    // stream.
    void Finish(unsigned char (&digest)[32]);
    // The same as 64 lower-case hex digits.
    std::string Finish();

    static std::string Hex(const unsigned char (&digest)[32]);

private:
    void Block(const unsigned char* block);

    uint32_t state_[8];
    unsigned char pending_[64];
    size_t pendingLength_;
    uint64_t total_;
};
