#pragma once
// Block handling shared by the String operations in base/; not for callers.

#include <cstdint>
#include "base/string.h"

namespace string_block {

// Bytes before the first NUL. The block keeps a NUL at text[capacity], so a
// platform call that filled every byte still ends there.
int32_t Measure(const String& s);

// Hands the block of `from` to `to` (whose own block is freed); `from` is
// left without buffer.
void Take(String& to, String& from);

}  // namespace string_block
