#include "paths/item_rule.h"

#include <windows.h>
#include <algorithm>
#include <cstring>
#include "base/multibyte.h"
#include "paths/device_name.h"

namespace {

bool IsSeparator(unsigned code)
{
    return code == '\\' || code == '/';
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

std::wstring ItemKey(const std::wstring& item)
{
    std::wstring key = item;
    std::replace(key.begin(), key.end(), L'/', L'\\');
    return key;
}

int CompareItemKeys(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) - CSTR_EQUAL;
}

std::vector<bool> ListedAgainLater(const std::vector<std::wstring>& names)
{
    std::vector<std::wstring> keys(names.size());
    std::vector<size_t> order(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        keys[i] = ItemKey(names[i]);
        order[i] = i;
    }
    // Equal names stay in list order, so each but the last of a run of them
    // is listed again later.
    std::stable_sort(order.begin(), order.end(),
                     [&keys](size_t a, size_t b) { return CompareItemKeys(keys[a], keys[b]) < 0; });
    std::vector<bool> again(names.size(), false);
    for (size_t i = 1; i < order.size(); ++i)
        if (CompareItemKeys(keys[order[i - 1]], keys[order[i]]) == 0)
            again[order[i - 1]] = true;
    return again;
}
