#include "updtool/archives/entry_order.h"

#include <algorithm>

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
