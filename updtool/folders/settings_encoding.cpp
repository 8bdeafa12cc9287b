#include "updtool/folders/settings_encoding.h"

#include "updtool/console/text_conversion.h"

namespace {

// The length of the valid UTF-8 sequence at p (at most left bytes), or 0.
size_t Utf8Sequence(const unsigned char* p, size_t left)
{
    size_t length = 0;
    unsigned low = 0x80, high = 0xBF;  // the second byte's range
    if (p[0] >= 0xC2 && p[0] <= 0xDF) {
        length = 2;
    } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
        length = 3;
        if (p[0] == 0xE0)
            low = 0xA0;
        else if (p[0] == 0xED)
            high = 0x9F;
    } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
        length = 4;
        if (p[0] == 0xF0)
            low = 0x90;
        else if (p[0] == 0xF4)
            high = 0x8F;
    }
    if (length == 0 || length > left || p[1] < low || p[1] > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    return length;
}

}  // namespace

std::string Utf8Evidence(const std::string& bytes)
{
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return "it begins with a UTF-8 byte-order mark";
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    bool nonAscii = false, longSequence = false;
    for (size_t i = 0; i < bytes.size();) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const size_t length = Utf8Sequence(p + i, bytes.size() - i);
        if (length == 0)
            return std::string();  // not UTF-8
        nonAscii = true;
        longSequence = longSequence || length >= 3;
        i += length;
    }
    if (!nonAscii)
        return std::string();
    std::wstring wide;
    if (longSequence || !WideFrom932Exactly(bytes.data(), uint32_t(bytes.size()), wide))
        return "its non-ASCII text is UTF-8, not code page 932";
    return std::string();
}
