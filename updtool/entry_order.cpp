#include "updtool/entry_order.h"

#include "base/multibyte.h"

LookupKey LookupKeyOf(const char* name, uint32_t length)
{
    LookupKey key;
    key.reserve(length);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(name);
    for (uint32_t i = 0; i < length;) {
        // As NameMatcher: a lead byte with a byte behind it starts a
        // double-byte character.
        if (IsLeadByte(p[i]) && i + 1 < length) {
            key.push_back(char32_t(FoldDouble(unsigned(p[i]) << 8 | p[i + 1])));
            i += 2;
        } else {
            key.push_back(char32_t(FoldSingle(p[i])));
            ++i;
        }
    }
    return key;
}

LookupKey LookupKeyOf(const std::string& name)
{
    return LookupKeyOf(name.data(), uint32_t(name.size()));
}

bool KeyBegins(const LookupKey& shorter, const LookupKey& longer)
{
    return shorter.size() <= longer.size() && longer.compare(0, shorter.size(), shorter) == 0;
}
