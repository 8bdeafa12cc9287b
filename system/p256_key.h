#pragma once
// ECDSA over the NIST P-256 curve with SHA-256 digests, through the
// system's cryptography. Keys and signatures as fixed-size big-endian
// numbers: a public key is the point's X then Y, a signature r then s.

#include <array>
#include "system/sha256.h"

typedef std::array<unsigned char, 64> P256PublicKey;
typedef std::array<unsigned char, 64> P256Signature;
typedef std::array<unsigned char, 32> P256Secret;  // the private scalar d

// True when signature is digest's under key. False for any other signature
// and for a key that is not a point of the curve. Raises OCErrorException
// (kCryptoFailedText) only when the system cannot check at all.
bool VerifyP256(const P256PublicKey& key, const Sha256::Digest& digest,
                const P256Signature& signature);

// A new key pair from the system's random source.
void GenerateP256Key(P256PublicKey& publicKey, P256Secret& secret);

// digest signed with the pair (each signature differs: ECDSA is randomised).
// Raises OCErrorException (kCryptoFailedText) when the system refuses the
// pair, e.g. a secret that does not belong to the public key's point.
P256Signature SignP256(const P256PublicKey& publicKey, const P256Secret& secret,
                       const Sha256::Digest& digest);
