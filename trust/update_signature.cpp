#include "trust/update_signature.h"

#include <cstring>

namespace {

// One DER INTEGER at data[at], right-aligned into 32 bytes; at moves past it.
bool ReadInteger(const unsigned char* data, size_t size, size_t& at, unsigned char* out)
{
    if (size - at < 2 || data[at] != 0x02)
        return false;
    size_t length = data[at + 1];
    at += 2;
    if (length == 0 || length > 33 || length > size - at)
        return false;
    const unsigned char* value = data + at;
    at += length;
    if (value[0] & 0x80)
        return false;  // negative
    if (value[0] == 0) {
        if (length == 1 || !(value[1] & 0x80))
            return false;  // zero, or a leading zero not needed
        ++value;
        --length;
    }
    if (length > 32)
        return false;
    memset(out, 0, 32 - length);
    memcpy(out + 32 - length, value, length);
    return true;
}

bool ReadDer(const unsigned char* data, size_t size, P256Signature& signature)
{
    if (size < 2 || data[0] != 0x30 || data[1] >= 0x80 || size_t(data[1]) != size - 2)
        return false;
    size_t at = 2;
    return ReadInteger(data, size, at, signature.data()) &&
           ReadInteger(data, size, at, signature.data() + 32) && at == size;
}

}  // namespace

std::vector<P256Signature> ReadSignature(const unsigned char* data, size_t size)
{
    std::vector<P256Signature> forms;
    P256Signature signature;
    if (ReadDer(data, size, signature))
        forms.push_back(signature);
    if (size == signature.size()) {
        memcpy(signature.data(), data, size);
        forms.push_back(signature);
    }
    return forms;
}
