#include "paths/device_name.h"

#include <cstring>

namespace {

const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
const char* const kNumbered[] = {"COM", "LPT"};

// What the rule compares: ASCII in upper case; a byte of a code page 932
// double-byte character never matches, whatever its value.
unsigned Folded(char c)
{
    const unsigned code = static_cast<unsigned char>(c);
    if (code >= 0x80)
        return 0x10000;
    return code >= 'a' && code <= 'z' ? code - 'a' + 'A' : code;
}

unsigned Folded(wchar_t c)
{
    const unsigned code = unsigned(c);
    return code >= 'a' && code <= 'z' ? code - 'a' + 'A' : code;
}

bool IsPortDigit(unsigned code)
{
    return (code >= '0' && code <= '9') || code == 0xB9 || code == 0xB2 || code == 0xB3;
}

template <class Unit>
bool Starts(const Unit* stem, const char* name)
{
    for (; *name; ++stem, ++name)
        if (Folded(*stem) != static_cast<unsigned char>(*name))
            return false;
    return true;
}

// Windows reads a device from the part before the first dot, trailing
// spaces left out. '.' and ' ' are never trail bytes in code page 932.
template <class Unit>
bool Judge(const Unit* part, size_t length)
{
    size_t stem = 0;
    while (stem < length && part[stem] != Unit('.'))
        ++stem;
    while (stem > 0 && part[stem - 1] == Unit(' '))
        --stem;
    for (const char* device : kDevices)
        if (stem == std::strlen(device) && Starts(part, device))
            return true;
    for (const char* port : kNumbered)
        if (stem == 4 && Starts(part, port) && IsPortDigit(Folded(part[3])))
            return true;
    return false;
}

}  // namespace

bool NamesDevice(const char* part, size_t length)
{
    return part != nullptr && Judge(part, length);
}

bool NamesDevice(const std::wstring& part)
{
    return Judge(part.data(), part.size());
}
