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

// What stands between a '%' and its conversion letter.
class Spec {
public:
    int64_t width;
    int64_t precision;
    int64_t flagRoom;  // what '#' flags may add (0x, a point)
    Size size;

    Spec() : width(0), precision(0), flagRoom(0), size(Size::None) {}
    virtual ~Spec() {}
};

// Reads flags, width, precision and size prefix behind a '%'; p moves to
// the conversion letter. Each '*' takes its int from ap.
Spec ReadSpec(const char*& p, va_list* ap)
{
    Spec spec;
    for (;; ++p) {
        if (*p == '#') {
            spec.flagRoom += 2;
        } else if (*p == '*') {
            // A negative width means left-justified, as wide as its size.
            const int64_t w = va_arg(*ap, int);
            spec.width = w < 0 ? -w : w;
        } else if (*p != '-' && *p != '+' && *p != '0' && *p != ' ') {
            break;
        }
    }
    const int64_t digits = ReadNumber(p);
    if (spec.width == 0)
        spec.width = digits;
    if (*p == '.') {
        ++p;
        if (*p == '*') {
            // A negative precision counts as none.
            const int64_t given = va_arg(*ap, int);
            spec.precision = given < 0 ? 0 : given;
            ++p;
        } else {
            spec.precision = ReadNumber(p);
        }
    }
    if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
        spec.size = Size::Wide;
        p += 3;
    } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
        p += 3;
    } else if (*p == 'h') {
        spec.size = Size::Short;
        ++p;
    } else if (*p == 'l') {
        spec.size = Size::Long;
        ++p;
        if (*p == 'l') {
            spec.size = Size::Wide;
            ++p;
        }
    } else if (*p == 'F' || *p == 'L' || *p == 'N') {
        ++p;
    }
    return spec;
}

int64_t TextBound(char conversion, const Spec& spec, va_list* ap)
{
    const bool wide = conversion == 's' ? spec.size == Size::Long : spec.size != Size::Short;
    int64_t item;
    if (wide) {
        const wchar_t* s = va_arg(*ap, const wchar_t*);
        item = s == nullptr ? 6
               : spec.precision > 0 ? int64_t(wcsnlen(s, size_t(spec.precision)))
                                    : int64_t(wcslen(s));
    } else {
        const char* s = va_arg(*ap, const char*);
        item = s == nullptr ? 6
               : spec.precision > 0 ? int64_t(strnlen(s, size_t(spec.precision)))
                                    : int64_t(strlen(s));
    }
    return TextRule(Larger(item, 1), spec.width, spec.precision);
}

// The most one conversion writes; its argument is taken from ap. Unknown
// conversions take nothing and count nothing.
int64_t ItemBound(char conversion, const Spec& spec, va_list* ap)
{
    switch (conversion) {
    case 'c':
    case 'C':
        if (spec.size == Size::Wide)
            return 0;
        (void)va_arg(*ap, int);
        return TextRule(2, spec.width, spec.precision);
    case 's':
    case 'S':
        return spec.size == Size::Wide ? 0 : TextBound(conversion, spec, ap);
    case 'd':
    case 'i':
    case 'o':
    case 'u':
    case 'x':
    case 'X':
        if (spec.size == Size::Wide)
            (void)va_arg(*ap, long long);
        else
            (void)va_arg(*ap, int);
        return Larger(32, spec.width + spec.precision);
    case 'p':
        (void)va_arg(*ap, void*);
        return Larger(32, spec.width + spec.precision);
    case 'e':
    case 'E':  // takes its double like 'e'; skipping it would misread what follows
    case 'g':
    case 'G':
        (void)va_arg(*ap, double);
        return Larger(128, spec.width + spec.precision);
    case 'f':
        return FixedLength(va_arg(*ap, double), spec.width, spec.precision);
    case 'n':
        (void)va_arg(*ap, void*);
        return 0;
    default:
        return 0;
    }
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
        const Spec spec = ReadSpec(p, &ap);
        bound += spec.flagRoom;
        if (*p == '\0')
            break;
        const char conversion = *p;
        p += CharLength(p);
        bound += ItemBound(conversion, spec, &ap);
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
