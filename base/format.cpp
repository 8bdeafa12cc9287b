// printf-style formatting into a String, in two passes: first an upper bound
// of the output is computed from the format and a copy of the argument list,
// then the String reserves its text plus that bound and the runtime's own
// formatter (msvcrt's, which knows the I64 size prefix) writes behind the
// text. The formatter is always given the reserved room as its limit; when a
// format outruns its bound (conversions the bound does not know, wide
// strings, negative widths) the output is measured exactly and written again.

#include "base/string.h"
#include "base/string_block.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "base/exceptions.h"
#include "base/multibyte.h"

using string_block::Measure;
using string_block::Take;

namespace {

const int64_t kMaxReserve = 0x7FFFFFBF;
const int64_t kMaxNumber = 0x7FFFFFFF;

enum class Size { None, Short, Long, Wide };

int64_t Larger(int64_t a, int64_t b)
{
    return a > b ? a : b;
}

// A decimal number at p (0 when none); p moves behind its digits.
int64_t ReadNumber(const char*& p)
{
    int64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value > kMaxNumber)
            value = kMaxNumber;
        ++p;
    }
    return value;
}

// Strings are cut to the precision and widened to the width.
int64_t TextRule(int64_t item, int64_t width, int64_t precision)
{
    if (precision != 0 && item >= precision)
        item = precision;
    return Larger(item, width);
}

int64_t FixedLength(double value, int64_t width, int64_t precision)
{
    // Past a few pages the exact text costs more than it saves: sign, 309
    // integer digits of the largest double, point and the fraction.
    if (width > 4096 || precision > 4096)
        return Larger(width, precision + 6 + 311);
    const int n = _scprintf("%*.*f", int(width), int(precision + 6), value);
    return n < 0 ? Larger(width, precision + 6 + 311) : n;
}

int64_t Bound(const char* format, va_list args)
{
    va_list ap;
    va_copy(ap, args);
    int64_t bound = 0;
    const char* p = format;
    while (*p != '\0') {
        if (*p != '%') {
            const int n = CharLength(p);
            bound += n;
            p += n;
            continue;
        }
        ++p;
        if (*p == '%') {
            bound += 1;
            ++p;
            continue;
        }
        int64_t width = 0;
        int64_t precision = 0;
        for (;; ++p) {
            if (*p == '#') {
                bound += 2;
            } else if (*p == '*') {
                // A negative width means left-justified, as wide as its size.
                const int64_t w = va_arg(ap, int);
                width = w < 0 ? -w : w;
            } else if (*p != '-' && *p != '+' && *p != '0' && *p != ' ') {
                break;
            }
        }
        const int64_t digits = ReadNumber(p);
        if (width == 0)
            width = digits;
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                // A negative precision counts as none.
                const int64_t given = va_arg(ap, int);
                precision = given < 0 ? 0 : given;
                ++p;
            } else {
                precision = ReadNumber(p);
            }
        }
        Size size = Size::None;
        if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            size = Size::Wide;
            p += 3;
        } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
            p += 3;
        } else if (*p == 'h') {
            size = Size::Short;
            ++p;
        } else if (*p == 'l') {
            size = Size::Long;
            ++p;
            if (*p == 'l') {
                size = Size::Wide;
                ++p;
            }
        } else if (*p == 'F' || *p == 'L' || *p == 'N') {
            ++p;
        }
        if (*p == '\0')
            break;
        const char conversion = *p;
        p += CharLength(p);
        int64_t item = 0;
        switch (conversion) {
        case 'c':
        case 'C':
            if (size == Size::Wide)
                break;
            (void)va_arg(ap, int);
            item = TextRule(2, width, precision);
            break;
        case 's':
        case 'S': {
            if (size == Size::Wide)
                break;
            const bool wide = conversion == 's' ? size == Size::Long : size != Size::Short;
            if (wide) {
                const wchar_t* s = va_arg(ap, const wchar_t*);
                item = s == nullptr ? 6
                       : precision > 0 ? int64_t(wcsnlen(s, size_t(precision)))
                                       : int64_t(wcslen(s));
            } else {
                const char* s = va_arg(ap, const char*);
                item = s == nullptr ? 6
                       : precision > 0 ? int64_t(strnlen(s, size_t(precision)))
                                       : int64_t(strlen(s));
            }
            item = TextRule(Larger(item, 1), width, precision);
            break;
        }
        case 'd':
        case 'i':
        case 'o':
        case 'u':
        case 'x':
        case 'X':
            if (size == Size::Wide)
                (void)va_arg(ap, long long);
            else
                (void)va_arg(ap, int);
            item = Larger(32, width + precision);
            break;
        case 'p':
            (void)va_arg(ap, void*);
            item = Larger(32, width + precision);
            break;
        case 'e':
        case 'E':  // takes its double like 'e'; skipping it would misread what follows
        case 'g':
        case 'G':
            (void)va_arg(ap, double);
            item = Larger(128, width + precision);
            break;
        case 'f':
            item = FixedLength(va_arg(ap, double), width, precision);
            break;
        case 'n':
            (void)va_arg(ap, void*);
            break;
        default:
            break;
        }
        bound += item;
    }
    va_end(ap);
    return bound;
}


// Makes room for `need` bytes. The block the String had on entry is parked
// in `entry` rather than freed, since an argument may point into it.
void Grow(String& s, String& entry, int64_t need)
{
    if (need > kMaxReserve) {
        s.Clear();
        throw OCException(0);
    }
    if ((need & ~int64_t(63)) + 64 <= s.capacity)
        return;
    if (entry.text != nullptr || s.text == nullptr) {
        s.Reserve(int32_t(need));
        return;
    }
    const int32_t len = Measure(s);
    const int32_t offset = s.cursor ? int32_t(s.cursor - s.text) : -1;
    Take(entry, s);
    s.Reserve(int32_t(need));
    memcpy(s.text, entry.text, size_t(len));
    s.text[len] = '\0';
    s.length = len;
    s.cursor = offset < 0 ? nullptr : s.text + (offset > len ? len : offset);
}

}  // namespace

void String::AppendFormatV(const char* format, va_list args)
{
    if (format == nullptr)
        format = "";
    length = Measure(*this);
    const int64_t bound = Bound(format, args);
    String entry;
    Grow(*this, entry, length + bound);
    for (int attempt = 0; attempt < 2; ++attempt) {
        // text[capacity] is the block's last byte and always NUL, so room is
        // everything up to it.
        const size_t room = size_t(capacity - length);
        va_list ap;
        va_copy(ap, args);
        const int written = _vsnprintf(text + length, room, format, ap);
        va_end(ap);
        if (written >= 0 && size_t(written) <= room)
            break;
        va_copy(ap, args);
        const int needed = _vscprintf(format, ap);
        va_end(ap);
        if (needed < 0) {
            // The formatter cannot produce it at all: append nothing.
            text[length] = '\0';
            break;
        }
        text[length] = '\0';
        Grow(*this, entry, int64_t(length) + needed);
    }
    text[capacity] = '\0';
    length = Measure(*this);
}

void String::FormatV(const char* format, va_list args)
{
    // Built in a String of its own: the old block stays until the output is
    // written, in case an argument points into it.
    String result;
    try {
        result.AppendFormatV(format, args);
    } catch (const OCException&) {
        Clear();
        throw;
    }
    Take(*this, result);
    cursor = text;
}

void String::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    try {
        FormatV(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
}

void String::AppendFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    try {
        AppendFormatV(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
}
