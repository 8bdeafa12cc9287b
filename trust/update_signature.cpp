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

void WriteInteger(const unsigned char* value, std::vector<unsigned char>& out)
{
    size_t skip = 0;
    while (skip < 31 && value[skip] == 0)
        ++skip;
    const bool pad = (value[skip] & 0x80) != 0;
    out.push_back(0x02);
    out.push_back(static_cast<unsigned char>(32 - skip + pad));
    if (pad)
        out.push_back(0);
    out.insert(out.end(), value + skip, value + 32);
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

std::vector<unsigned char> SignatureDer(const P256Signature& signature)
{
    std::vector<unsigned char> body;
    WriteInteger(signature.data(), body);
    WriteInteger(signature.data() + 32, body);
    // The sequence's header put in front of its body.
    body.insert(body.begin(), 2, 0x30);
    body[1] = static_cast<unsigned char>(body.size() - 2);
    return body;
}
