#include "update/version_order.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace {

const char* const digits = "0123456789";

// The run of digits at text without its leading zeros (a lone 0 kept);
// moves text past the run.
std::string NumberAt(const char*& text)
{
    const size_t length = std::strspn(text, digits);
    const std::string number(text, length);
    text += length;
    return number.substr(std::min(number.find_first_not_of('0'), length - 1));
}

}  // namespace

int CompareAsNumbers(const char* a, const char* b)
{
    while (*a && *b) {
        if (std::strchr(digits, *a) && std::strchr(digits, *b)) {
            const std::string x = NumberAt(a), y = NumberAt(b);
            if (x.size() != y.size())
                return x.size() < y.size() ? -1 : 1;
            if (x != y)
                return x < y ? -1 : 1;
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
