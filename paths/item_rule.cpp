#include "paths/item_rule.h"

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
