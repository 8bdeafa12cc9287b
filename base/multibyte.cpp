#include "base/multibyte.h"

#include <windows.h>

namespace {

// Byte classes of the ANSI code page, read once: the code page of a process
// never changes while it runs.
struct CodePage {
    UINT number;
    bool lead[256];
    unsigned char lower[256];

    CodePage() : number(GetACP()), lead(), lower()
    {
        CPINFO info;
        if (GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1) {
            for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i]; i += 2) {
                for (unsigned c = info.LeadByte[i]; c <= info.LeadByte[i + 1]; ++c)
                    lead[c] = true;
            }
        }
        // Lower case of each single-byte character as the code page defines
        // it; lead bytes are no characters of their own and stay as they are.
        for (unsigned c = 0; c < 256; ++c) {
            char b = char(c);
            // Bytes the code page does not map would fold to its default
            // character, so only real upper-case letters are lowered.
            if (c != 0 && !lead[c] && IsCharUpperA(b))
                CharLowerBuffA(&b, 1);
            lower[c] = static_cast<unsigned char>(b);
        }
    }
};

const CodePage& Acp()
{
    static const CodePage page;
    return page;
}

// Double-byte upper case through MultiByteToWideChar for code pages without
// a table of their own here.
unsigned FoldDoubleByConversion(unsigned code)
{
    const char bytes[2] = {char(code >> 8), char(code & 0xFF)};
    WCHAR wide[2];
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, 2, wide, 2) != 1)
        return code;
    WCHAR upper = wide[0];
    CharUpperBuffW(&upper, 1);
    if (upper == wide[0])
        return code;
    char back[4];
    BOOL defaulted = FALSE;
    if (WideCharToMultiByte(CP_ACP, 0, &upper, 1, back, sizeof back, nullptr, &defaulted) != 2 ||
        defaulted)
        return code;
    return unsigned(static_cast<unsigned char>(back[0])) << 8 | static_cast<unsigned char>(back[1]);
}

}  // namespace

bool IsLeadByte(unsigned char c)
{
    return Acp().lead[c];
}

bool IsTrailByte(unsigned char c)
{
    if (Acp().number == 932)
        return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
    // The other double-byte code pages (936, 949, 950) keep their trail bytes
    // within 0x40-0xFE.
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
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
    return code < 256 ? Acp().lower[code] : code;
}

unsigned FoldDouble(unsigned code)
{
    if (Acp().number != 932)
        return FoldDoubleByConversion(code);
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
