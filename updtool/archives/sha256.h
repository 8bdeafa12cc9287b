#pragma once
// SHA-256 of a stream of bytes given in pieces: the digest list and compare
// give of entries, so that a publisher can tell an entry from a file without
// extracting it. Computed by the system's own cryptographic provider.

#include <windows.h>
#include <wincrypt.h>
#include <array>
#include <cstdint>
#include <string>
#include "base/owned.h"

inline void DestroyHash(HCRYPTHASH hash)
{
    CryptDestroyHash(hash);
}

class Sha256 {
public:
    typedef std::array<unsigned char, 32> Digest;

    // Throws ToolError when the system has no SHA-256.
    Sha256();
    virtual ~Sha256();

    void Add(const void* data, size_t length);
    // The digest of everything added; the object is then ready for a new
    // stream.
    void Finish(Digest& digest);
    // The same as 64 lower-case hex digits.
    std::string Finish();

    static std::string Hex(const Digest& digest);

private:
    void Begin();

    Owned<HCRYPTHASH, DestroyHash> hash_;
};
