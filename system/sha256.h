#pragma once
// SHA-256 of a stream of bytes given in pieces, computed by the system's
// cryptography (bcrypt), with the calls Windows 7 has: no one-call hash, no
// reusable hash object.

#include <array>
#include <cstddef>
#include <string>
#include <vector>

class Sha256 {
public:
    typedef std::array<unsigned char, 32> Digest;

    // Raises OCErrorException (kCryptoFailedText) when the system has no
    // SHA-256.
    Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    virtual ~Sha256();

    void Add(const void* data, size_t length);
    // The digest of everything added; the object is then ready for a new
    // stream.
    void Finish(Digest& digest);
    // The same as 64 lower-case hex digits.
    std::string Finish();

    static std::string Hex(const Digest& digest);
    // The digest of one block of bytes.
    static Digest Of(const void* data, size_t length);

private:
    void Begin();
    void End();

    void* hash_;                        // the system's hash object, or null
    std::vector<unsigned char> state_;  // the memory it works in
};
