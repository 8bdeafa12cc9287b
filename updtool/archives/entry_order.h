#pragma once
// The order pack writes entries in, by the lookup's own keys
// (pak/name_matcher.h). The lookup takes the first entry, in index order,
// whose name begins with the name sought. Ordering entries by these keys
// puts every name before the longer names it begins, so each entry is found
// by its own name; two names with the same key would hide one another.

#include <string>
#include <utility>
#include <vector>
#include "pak/name_matcher.h"

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
