#pragma once
// update.sig: the ECDSA P-256 signature of the SHA-256 of update.manifest's
// exact bytes, in either of two forms:
//   - 64 bytes: r then s, big-endian, as the system's signing gives it;
//   - DER, as openssl writes it: SEQUENCE { INTEGER r, INTEGER s }, each
//     INTEGER positive and in its shortest form, r and s of at most 32
//     bytes, lengths in short form, nothing after the sequence.

#include <cstddef>
#include <vector>
#include "system/p256_key.h"

// The signatures the bytes may stand for: none when they are neither form;
// two for the rare 64 bytes that are also valid DER (the check tries both,
// and either must verify under a trusted key to count).
std::vector<P256Signature> ReadSignature(const unsigned char* data, size_t size);
