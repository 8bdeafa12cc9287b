#include "update/item_rule.h"

#include <cstring>
#include "base/multibyte.h"

namespace {

bool IsSeparator(unsigned code)
{
    return code == '\\' || code == '/';
}

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// Windows takes a segment for a device by the part before its first dot,
// trailing spaces left out: "nul.txt" and "COM1 .log" are devices too.
bool NamesDevice(const char* segment, size_t length)
{
    static const char* const devices[] = {"CON", "NUL", "AUX", "PRN", "CONIN$", "CONOUT$"};
    const char* dot = static_cast<const char*>(std::memchr(segment, '.', length));
    size_t stem = dot ? size_t(dot - segment) : length;
    while (stem > 0 && segment[stem - 1] == ' ')
        --stem;
    char upper[8];
    if (stem == 0 || stem >= sizeof upper)
        return false;
    for (size_t i = 0; i < stem; ++i)
        upper[i] = AsciiUpper(segment[i]);
    upper[stem] = '\0';
    for (const char* device : devices)
        if (std::strcmp(upper, device) == 0)
            return true;
    return stem == 4 && (std::strncmp(upper, "COM", 3) == 0 || std::strncmp(upper, "LPT", 3) == 0) &&
           upper[3] >= '1' && upper[3] <= '9';
}

bool OnlyDots(const char* segment, size_t length)
{
    return length >= 2 && std::strspn(segment, ".") >= length;
}

}  // namespace

ItemRefusal JudgeItem(const char* item)
{
    if (item == nullptr || *item == '\0')
        return ItemAccepted;
    if (IsSeparator(CharCode(item)))
        return ItemRooted;
    const char* segment = item;
    for (const char* p = item;; p = NextChar(p)) {
        const unsigned code = CharCode(p);
        if (code == ':')
            return ItemColon;
        if (code != 0 && !IsSeparator(code))
            continue;
        const size_t length = size_t(p - segment);
        if (OnlyDots(segment, length))
            return ItemParentSegment;
        if (NamesDevice(segment, length))
            return ItemDeviceName;
        if (code == 0)
            return ItemAccepted;
        segment = p + 1;
    }
}
