#include "tests/support/signature_der.h"

namespace {

// One positive INTEGER in its shortest form.
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
