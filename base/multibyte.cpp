#include "base/multibyte.h"

bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool IsTrailByte(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

const char* NextChar(const char* p)
{
    if (*p == '\0')
        return p;
    if (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0')
        return p + 2;
    return p + 1;
}

char* NextChar(char* p)
{
    return const_cast<char*>(NextChar(static_cast<const char*>(p)));
}

const char* PrevChar(const char* start, const char* p)
{
    // Double-byte text can only be read forwards: walk from the start.
    while (*start != '\0' && start < p) {
        const char* next = NextChar(start);
        if (next >= p)
            break;
        start = next;
    }
    return start;
}

unsigned CharCode(const char* p)
{
    const unsigned char lead = static_cast<unsigned char>(p[0]);
    if (lead != 0 && IsLeadByte(lead) && p[1] != '\0')
        return unsigned(lead) << 8 | static_cast<unsigned char>(p[1]);
    return lead;
}

int CharLength(const char* p)
{
    return int(NextChar(p) - p);
}

unsigned FoldSingle(unsigned code)
{
    // The half-width katakana and the other single bytes have no case.
    return code >= 'A' && code <= 'Z' ? code + ('a' - 'A') : code;
}

unsigned FoldDouble(unsigned code)
{
    // Code page 932 pairs: full-width Latin, Greek and Cyrillic letters.
    if (code >= 0x8281 && code <= 0x829A)
        return code - 0x21;
    if (code >= 0x83BF && code <= 0x83D6)
        return code - 0x20;
    if (code >= 0x8470 && code <= 0x847E)
        return code - 0x30;
    if (code >= 0x8480 && code <= 0x8491)
        return code - 0x31;
    return code;
}

bool SetContains(const char* set, unsigned ch)
{
    if (set == nullptr || ch == 0)
        return false;
    for (const char* p = set; *p != '\0'; p = NextChar(p)) {
        if (CharCode(p) == ch)
            return true;
    }
    return false;
}
