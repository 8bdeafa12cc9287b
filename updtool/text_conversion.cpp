#include "updtool/text_conversion.h"

#include <windows.h>
#include <cstring>

namespace {

std::wstring Widen(unsigned codePage, DWORD flags, const char* text, int length, bool& ok)
{
    ok = true;
    if (length == 0)
        return std::wstring();
    const int count = MultiByteToWideChar(codePage, flags, text, length, nullptr, 0);
    if (count <= 0) {
        ok = false;
        return std::wstring();
    }
    std::wstring wide(size_t(count), L'\0');
    MultiByteToWideChar(codePage, flags, text, length, &wide[0], count);
    return wide;
}

// Code page 932 to UTF-8 by table: a listing of many thousands of Japanese
// names would otherwise spend most of its time in two conversions per
// name. The table holds the system's own conversion, asked once per lead
// byte (all of its double-byte characters in one call) and once for the
// single bytes; anything it cannot answer goes to the system as it is.
class Cp932ToUtf8 {
public:
    Cp932ToUtf8() : single_(), filled_() {}
    virtual ~Cp932ToUtf8() {}

    // False (out unchanged) for bytes that are not well-formed text.
    bool Append(std::string& out, const char* text, uint32_t length)
    {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
        const size_t at = out.size();
        out.resize(at + 3 * size_t(length) + 4);  // at most 3 bytes per input byte, and slack
        char* o = &out[at];
        for (uint32_t i = 0; i < length;) {
            const unsigned char c = p[i];
            if (c < 0x80) {
                *o++ = char(c);
                ++i;
                continue;
            }
            const char* utf8;
            if (IsLead(c)) {
                if (i + 1 >= length || !IsTrail(p[i + 1]) || !Fill(c)) {
                    out.resize(at);
                    return false;
                }
                utf8 = doubles_[c].data() + 4 * p[i + 1];
                i += 2;
            } else {
                if (!FillSingles()) {
                    out.resize(at);
                    return false;
                }
                utf8 = single_[c];
                ++i;
            }
            // Four bytes copied, the character's length kept: a fixed-size
            // copy is a single move.
            std::memcpy(o, utf8, 4);
            o += utf8[3];
        }
        out.resize(size_t(o - out.data()));
        return true;
    }

private:
    static bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
    static bool IsTrail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

    // One UTF-16 unit of the basic plane (where code page 932 maps) as
    // UTF-8: up to three bytes, then their count.
    static void Encode(wchar_t c, char* out)
    {
        if (c < 0x80) {
            out[0] = char(c);
            out[3] = 1;
        } else if (c < 0x800) {
            out[0] = char(0xC0 | (c >> 6));
            out[1] = char(0x80 | (c & 0x3F));
            out[3] = 2;
        } else {
            out[0] = char(0xE0 | (c >> 12));
            out[1] = char(0x80 | ((c >> 6) & 0x3F));
            out[2] = char(0x80 | (c & 0x3F));
            out[3] = 3;
        }
    }

    // Every character of bytes (count of them, each `width` bytes) in one
    // call; false unless each came out as one basic-plane unit.
    static bool Convert(const char* bytes, int count, int width, wchar_t* wide)
    {
        if (MultiByteToWideChar(kNameCodePage, 0, bytes, count * width, wide, count) != count)
            return false;
        for (int i = 0; i < count; ++i)
            if (wide[i] >= 0xD800 && wide[i] <= 0xDFFF)
                return false;
        return true;
    }

    bool Fill(unsigned char lead)
    {
        if (filled_[lead] != 0)
            return filled_[lead] > 0;
        filled_[lead] = -1;
        char pairs[2 * 256];
        unsigned char trails[256];
        int count = 0;
        for (unsigned t = 0; t < 256; ++t) {
            if (!IsTrail(static_cast<unsigned char>(t)))
                continue;
            pairs[2 * count] = char(lead);
            pairs[2 * count + 1] = char(t);
            trails[count++] = static_cast<unsigned char>(t);
        }
        wchar_t wide[256];
        if (!Convert(pairs, count, 2, wide))
            return false;
        doubles_[lead].assign(4 * 256, 0);
        for (int i = 0; i < count; ++i)
            Encode(wide[i], &doubles_[lead][4 * trails[i]]);
        filled_[lead] = 1;
        return true;
    }

    bool FillSingles()
    {
        if (filled_[0] != 0)
            return filled_[0] > 0;
        filled_[0] = -1;
        char bytes[128];
        int count = 0;
        for (unsigned c = 0x80; c < 256; ++c)
            if (!IsLead(static_cast<unsigned char>(c)))
                bytes[count++] = char(c);
        wchar_t wide[128];
        if (!Convert(bytes, count, 1, wide))
            return false;
        for (int i = 0; i < count; ++i)
            Encode(wide[i], single_[static_cast<unsigned char>(bytes[i])]);
        filled_[0] = 1;
        return true;
    }

    char single_[256][4];
    std::string doubles_[256];  // per lead byte: 4 bytes per trail byte
    int filled_[256];           // per lead byte (0: the single bytes): 1 filled, -1 cannot
};

}  // namespace

bool NameToWide(const char* name, uint32_t length, std::wstring& wide)
{
    bool ok = false;
    wide = Widen(kNameCodePage, MB_ERR_INVALID_CHARS, name, int(length), ok);
    return ok;
}

bool NameFromWide(const std::wstring& wide, std::string& name)
{
    name.clear();
    if (wide.empty())
        return true;
    BOOL defaulted = FALSE;
    const int count = WideCharToMultiByte(kNameCodePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                                          int(wide.size()), nullptr, 0, nullptr, &defaulted);
    if (count <= 0 || defaulted)
        return false;
    name.resize(size_t(count));
    WideCharToMultiByte(kNameCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()),
                        &name[0], count, nullptr, &defaulted);
    return !defaulted;
}

// Both run for every entry of archives of many thousands: four bytes at a
// time.
uint32_t NameTextLength(const char* name, uint32_t length)
{
    uint32_t i = 0;
    for (; i + 4 <= length; i += 4) {
        uint32_t word;
        std::memcpy(&word, name + i, 4);
        if ((word - 0x01010101u) & ~word & 0x80808080u)
            break;
    }
    while (i < length && name[i] != '\0')
        ++i;
    return i;
}

bool IsAscii(const char* text, uint32_t length)
{
    uint32_t i = 0;
    for (; i + 4 <= length; i += 4) {
        uint32_t word;
        std::memcpy(&word, text + i, 4);
        if (word & 0x80808080u)
            return false;
    }
    for (; i < length; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    return true;
}

void AppendNameUtf8(std::string& out, const char* name, uint32_t length)
{
    // Most names are ASCII, which both code pages share byte for byte; a
    // listing of many thousands of entries then costs no conversion.
    if (IsAscii(name, length)) {
        out.append(name, length);
        return;
    }
    static Cp932ToUtf8 table;
    if (table.Append(out, name, length))
        return;
    bool ok = false;
    out += Utf8FromWide(Widen(kNameCodePage, 0, name, int(length), ok));
}

std::string NameUtf8(const std::string& name)
{
    std::string out;
    AppendNameUtf8(out, name.data(), uint32_t(name.size()));
    return out;
}

std::wstring WideFromAnsi(const std::string& text)
{
    bool ok = false;
    return Widen(CP_ACP, 0, text.data(), int(text.size()), ok);
}

std::wstring WideFromCodePage(unsigned codePage, const char* text, int length)
{
    bool ok = false;
    return Widen(codePage, 0, text, length, ok);
}

std::string Utf8FromWide(const std::wstring& wide)
{
    if (wide.empty())
        return std::string();
    const int count = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                          nullptr, nullptr);
    if (count <= 0)
        return std::string();
    std::string utf8(size_t(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &utf8[0], count, nullptr,
                        nullptr);
    return utf8;
}
