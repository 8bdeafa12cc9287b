#include "updtool/commands/version_order.h"

#include <cctype>
#include <cstring>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Compares the digit runs at a and b as numbers; moves both past them.
int CompareNumbers(const char*& a, const char*& b)
{
    while (*a == '0' && IsDigit(a[1]))
        ++a;
    while (*b == '0' && IsDigit(b[1]))
        ++b;
    const char* aStart = a;
    const char* bStart = b;
    while (IsDigit(*a))
        ++a;
    while (IsDigit(*b))
        ++b;
    const size_t aLength = size_t(a - aStart), bLength = size_t(b - bStart);
    if (aLength != bLength)
        return aLength < bLength ? -1 : 1;
    return std::strncmp(aStart, bStart, aLength);
}

}  // namespace

int CompareAsNumbers(const char* a, const char* b)
{
    while (*a && *b) {
        if (IsDigit(*a) && IsDigit(*b)) {
            const int order = CompareNumbers(a, b);
            if (order != 0)
                return order;
            continue;
        }
        const int ca = std::tolower(static_cast<unsigned char>(*a));
        const int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++a;
        ++b;
    }
    return *a ? 1 : *b ? -1 : 0;
}
