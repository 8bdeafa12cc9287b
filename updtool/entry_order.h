#pragma once
// Entry names as the updater's lookup compares them (pak/name_matcher.h):
// character by character in the ANSI code page, a double-byte character as
// one unit, single-byte letters folded to lower case (FoldSingle) and
// double-byte ones through the code page's own case pairs (FoldDouble).
//
// The lookup takes the first entry, in index order, whose name begins with
// the name sought. Ordering entries by these keys puts every name before
// the longer names it begins, so each entry is found by its own name; two
// names with the same key would hide one another.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

typedef std::u32string LookupKey;

// The folded characters of name, stepped as the lookup steps them.
LookupKey LookupKeyOf(const char* name, uint32_t length);
LookupKey LookupKeyOf(const std::string& name);

// Does the lookup of `shorter` find an entry named `longer` (its name begins
// with the sought one)? True for equal keys.
bool KeyBegins(const LookupKey& shorter, const LookupKey& longer);

// The order pack writes names in, and what stands in its way.
class LookupOrder {
public:
    std::vector<LookupKey> keys;  // of each name, as given
    std::vector<size_t> order;    // the names' indexes, in the lookup's order
    // Neighbours in that order: two names the lookup cannot tell apart
    // (they differ only in case), and a name that begins the next one.
    std::vector<std::pair<size_t, size_t>> sameName;
    std::vector<std::pair<size_t, size_t>> begins;

    explicit LookupOrder(const std::vector<std::string>& names);
    virtual ~LookupOrder();
};
