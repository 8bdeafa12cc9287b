#include "updtool/entry_order.h"

#include <algorithm>
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

LookupOrder::LookupOrder(const std::vector<std::string>& names)
{
    for (size_t i = 0; i < names.size(); ++i) {
        keys.push_back(LookupKeyOf(names[i]));
        order.push_back(i);
    }
    // Names with equal keys stay in the order given, so the result depends
    // on the names alone (which of two such names pack cannot store).
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    // A name that begins a later one begins every name between them: only
    // neighbours need comparing.
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        const size_t a = order[i], b = order[i + 1];
        if (keys[a] == keys[b])
            sameName.emplace_back(a, b);
        else if (KeyBegins(keys[a], keys[b]))
            begins.emplace_back(a, b);
    }
}

LookupOrder::~LookupOrder() {}
