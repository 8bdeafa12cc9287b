#pragma once
// The DER form of an update.sig signature, as openssl writes it: for the
// tests and the fuzzer, which check that the updater takes DER only in this
// one strict encoding. The product only reads it (trust/update_signature.h).

#include <vector>
#include "system/p256_key.h"

std::vector<unsigned char> SignatureDer(const P256Signature& signature);
