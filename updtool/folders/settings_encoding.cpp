#include "updtool/folders/settings_encoding.h"

#include <algorithm>
#include <windows.h>
#include "updtool/console/text_conversion.h"

std::string Utf8Evidence(const std::string& bytes)
{
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return "it begins with a UTF-8 byte-order mark";
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string();
    // The system's decoder refuses overlong forms, surrogates and cut sequences.
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                           int(bytes.size()), nullptr, 0);
    if (length <= 0)
        return std::string();  // not UTF-8
    std::wstring decoded(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), &decoded[0], length);
    // From U+0800 up a character takes three or four bytes.
    const bool longSequence =
        std::any_of(decoded.begin(), decoded.end(), [](wchar_t c) { return c >= 0x800; });
    std::wstring wide;
    if (longSequence || !WideFrom932Exactly(bytes.data(), uint32_t(bytes.size()), wide))
        return "its non-ASCII text is UTF-8, not code page 932";
    return std::string();
}
