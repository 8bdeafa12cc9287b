#pragma once
// The archive lookup's name rule: an entry matches when its name begins with
// the sought name, compared case-insensitively character by character in the
// ANSI code page (a double-byte character as one unit, with the code page's
// own case pairs). A stored name ends at an embedded NUL.

#include <cstdint>
#include <string>
#include <vector>

// The sought name and the code page's byte classes, taken once per search:
// the index scan asks about every entry, so the per-entry work must stay a
// handful of instructions.
class NameMatcher {
public:
    // sought: length bytes, kept by pointer for the matcher's life.
    NameMatcher(const char* sought, uint32_t length);
    NameMatcher(const NameMatcher&) = delete;
    NameMatcher& operator=(const NameMatcher&) = delete;
    virtual ~NameMatcher();

    // Does name (nameLength bytes, not terminated) begin with the sought
    // name? An empty sought name matches every name.
    bool BeginsWith(const char* name, uint32_t nameLength) const;

private:
    bool FoldedEqual(const unsigned char* a, const unsigned char* b, uint32_t i) const;

    const char* sought_;
    uint32_t length_;
    std::vector<uint32_t> charStart_;
    mutable uint32_t probe_;  // a single-byte character of the sought name
    bool lead_[256];
    unsigned char fold_[256];
};

// The same rule as a key, for sorting and matching many names at once: the
// name's characters stepped as BeginsWith steps them (a lead byte with a byte
// behind it starts a double-byte character) and folded as it folds them.
// Equal keys are names the lookup cannot tell apart.
typedef std::u32string LookupKey;

LookupKey LookupKeyOf(const char* name, uint32_t length);
LookupKey LookupKeyOf(const std::string& name);

// Does the lookup of `shorter` find an entry named `longer` (its name begins
// with the sought one)? True for equal keys.
bool KeyBegins(const LookupKey& shorter, const LookupKey& longer);
