#include "pak/name_matcher.h"

#include <cstring>
#include "base/multibyte.h"

namespace {

uint32_t LoadWord(const unsigned char* p)
{
    uint32_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

}  // namespace

NameMatcher::NameMatcher(const char* sought, uint32_t length)
    : sought_(sought), length_(length), charStart_(length), probe_(length)
{
    for (unsigned c = 0; c < 256; ++c) {
        lead_[c] = IsLeadByte(static_cast<unsigned char>(c));
        fold_[c] = static_cast<unsigned char>(FoldSingle(c));
    }
    // Where each character of the sought name begins, as BeginsWith
    // steps through it.
    const unsigned char* a = reinterpret_cast<const unsigned char*>(sought);
    for (uint32_t i = 0; i < length;) {
        charStart_[i] = i;
        if (lead_[a[i]] && i + 1 < length) {
            charStart_[i + 1] = i;
            i += 2;
        } else {
            ++i;
        }
    }
}

NameMatcher::~NameMatcher() {}

// Does name (nameLength bytes) begin with the sought name? ASCII letters
// fold to one case; a double-byte character is compared as one unit with
// the code page's own case pairs, so its trail byte is never compared
// alone (ア and ヂ differ only by the case of their trail byte). A NUL
// ends a stored name, so one within the sought length never matches.
bool NameMatcher::BeginsWith(const char* name, uint32_t nameLength) const
{
    if (nameLength < length_)
        return false;
    const unsigned char* a = reinterpret_cast<const unsigned char*>(sought_);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(name);
    // Neighbouring names of an index tend to differ in the same place, so
    // the single-byte character where the last name differed is tried
    // first. A name that matches steps through the same characters as the
    // sought one, so a difference there is a difference in any case.
    if (probe_ < length_ && fold_[a[probe_]] != fold_[b[probe_]])
        return false;
    // Names mostly share long prefixes with the sought one (the same
    // directories), so equal bytes are skipped first, a word at a time.
    // Up to the first difference both sides step through the same
    // characters, so the careful comparison can start at the character
    // holding that difference.
    uint32_t same = 0;
    for (;;) {
        if (same + 4 > length_) {
            while (same < length_ && a[same] == b[same])
                ++same;
            break;
        }
        const uint32_t diff = LoadWord(a + same) ^ LoadWord(b + same);
        if (diff) {
            same += uint32_t(__builtin_ctz(diff)) / 8;  // little-endian
            break;
        }
        same += 4;
    }
    if (same < length_ && !FoldedEqual(a, b, charStart_[same]))
        return false;
    return std::memchr(name, 0, length_) == nullptr;
}

// The first length_ bytes from i on, character by character.
bool NameMatcher::FoldedEqual(const unsigned char* a, const unsigned char* b, uint32_t i) const
{
    while (i < length_) {
        const bool aDouble = lead_[a[i]] && i + 1 < length_;
        const bool bDouble = lead_[b[i]] && i + 1 < length_;
        if (aDouble != bDouble)
            return false;
        if (aDouble) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) {
                const unsigned codeA = unsigned(a[i]) << 8 | a[i + 1];
                const unsigned codeB = unsigned(b[i]) << 8 | b[i + 1];
                if (FoldDouble(codeA) != FoldDouble(codeB))
                    return false;
            }
            i += 2;
        } else {
            if (fold_[a[i]] != fold_[b[i]]) {
                probe_ = i;
                return false;
            }
            ++i;
        }
    }
    return true;
}

LookupKey LookupKeyOf(const char* name, uint32_t length)
{
    LookupKey key;
    key.reserve(length);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(name);
    for (uint32_t i = 0; i < length;) {
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
