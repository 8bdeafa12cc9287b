#pragma once
// Upper-case hexadecimal digits, as the updater numbers the files it makes
// (upd<digits>.tmp, its journals and their folders) and as it recognises
// them again. Lower case is not one of its names.

#include <cstddef>
#include <cstdint>
#include <string>

// True for 0-9 and A-F.
bool IsHexDigit(wchar_t c);

// value in upper-case hexadecimal, padded with zeros to at least `least`
// digits; "0" for 0 with least 0 or 1.
std::wstring HexDigits(uint64_t value, size_t least);
