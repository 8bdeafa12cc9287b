#include "base/string.h"
#include "base/string_block.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/exceptions.h"
#include "base/multibyte.h"

namespace string_block {

int32_t Measure(const String& s)
{
    return s.text ? int32_t(strnlen(s.text, size_t(s.capacity))) : 0;
}

void Take(String& to, String& from)
{
    free(to.text);
    to.text = from.text;
    to.capacity = from.capacity;
    to.length = from.length;
    to.cursor = from.cursor;
    from.text = nullptr;
    from.cursor = nullptr;
    from.capacity = 0;
    from.length = 0;
}

}  // namespace string_block

using string_block::Measure;
using string_block::Take;

namespace {

// Largest n for which (n & ~63) + 64 is still a positive 32-bit capacity.
const int64_t kMaxReserve = 0x7FFFFFBF;


bool PointsInto(const String& s, const char* p)
{
    if (s.text == nullptr || p == nullptr)
        return false;
    const uintptr_t begin = reinterpret_cast<uintptr_t>(s.text);
    const uintptr_t at = reinterpret_cast<uintptr_t>(p);
    return at >= begin && at <= begin + uintptr_t(s.capacity);
}

// A fresh String holding n bytes of src with room for `room` bytes; the
// source is read before anything is released, so it may lie in any block.
void Build(String& fresh, const char* src, size_t n, int64_t room)
{
    if (room > kMaxReserve) {
        fresh.Clear();
        throw OCException(0);
    }
    fresh.Reserve(int32_t(room));
    memcpy(fresh.text, src, n);
    fresh.text[n] = '\0';
    fresh.length = int32_t(n);
    fresh.cursor = fresh.text;
}

void DecimalText(int32_t value, char* out)
{
    char digits[12];
    int count = 0;
    uint32_t magnitude = value < 0 ? 0u - uint32_t(value) : uint32_t(value);
    do {
        digits[count++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *out++ = '-';
    while (count > 0)
        *out++ = digits[--count];
    *out = '\0';
}

}  // namespace

String::String() : text(nullptr), capacity(0), length(0), cursor(nullptr) {}

String::String(int32_t reserve) : String()
{
    if (reserve >= 0) {
        Reserve(reserve);
        cursor = text;
    }
}

String::String(const String& other) : String()
{
    if (other.text != nullptr) {
        const int32_t n = Measure(other);
        Build(*this, other.text, size_t(n), n);
    }
}

String::~String()
{
    free(text);
}

void String::Reserve(int32_t n)
{
    if (n < 0)
        return;
    if (n > kMaxReserve) {
        Clear();
        throw OCException(0);
    }
    const int32_t wanted = (n & ~63) + 64;
    if (wanted <= capacity)
        return;
    char* block = static_cast<char*>(malloc(size_t(wanted) + 1));
    if (block == nullptr) {
        // Keeping the old block would let the caller write past it.
        Clear();
        throw OCException(0);
    }
    block[0] = '\0';
    block[wanted] = '\0';
    if (text != nullptr) {
        const int32_t old = Measure(*this);
        memcpy(block, text, size_t(old));
        block[old] = '\0';
        if (cursor != nullptr) {
            int32_t offset = int32_t(cursor - text);
            if (offset < 0 || offset > old)
                offset = old;
            cursor = block + offset;
        }
        free(text);
    } else {
        cursor = block;
    }
    text = block;
    capacity = wanted;
}

void String::Assign(const char* bytes, int32_t count)
{
    if (bytes != nullptr && bytes == text)
        return;
    if (bytes == nullptr) {
        Clear();
        if (count >= 0) {
            Reserve(count);
            length = 0;
            cursor = text;
        }
        return;
    }
    if (count == 0) {
        Clear();
        return;
    }
    const size_t n = count < 0 ? strlen(bytes) : strnlen(bytes, size_t(count));
    String fresh;
    try {
        Build(fresh, bytes, n, count < 0 ? int64_t(n) : int64_t(count));
    } catch (const OCException&) {
        Clear();
        throw;
    }
    Take(*this, fresh);
}

String& String::Assign(const char* cstring)
{
    if (cstring == nullptr)
        Clear();
    else
        Assign(cstring, -1);
    return *this;
}

String& String::Assign(const String& other)
{
    if (&other == this)
        return *this;
    if (other.text == nullptr) {
        Clear();
        return *this;
    }
    const int32_t n = Measure(other);
    String fresh;
    try {
        Build(fresh, other.text, size_t(n), n);
    } catch (const OCException&) {
        Clear();
        throw;
    }
    Take(*this, fresh);
    return *this;
}

void String::AssignInt(int32_t value)
{
    char digits[16];
    DecimalText(value, digits);
    Assign(digits, -1);
}

void String::Append(const char* bytes, int32_t count)
{
    if (count == 0)
        return;
    length = Measure(*this);
    if (bytes == nullptr) {
        cursor = text;
        return;
    }
    const size_t n = count < 0 ? strlen(bytes) : strnlen(bytes, size_t(count));
    const int64_t room = count < 0 ? int64_t(n) : int64_t(count);
    if (n > 0 && PointsInto(*this, bytes)) {
        // Growth frees the block the bytes are in: copy them out first.
        String copy;
        Build(copy, bytes, n, int64_t(n));
        Append(copy.text, int32_t(room));
        return;
    }
    if (length + room > kMaxReserve) {
        Clear();
        throw OCException(0);
    }
    Reserve(int32_t(length + room));
    memcpy(text + length, bytes, n);
    length += int32_t(n);
    text[length] = '\0';
    cursor = text;
}

String& String::Append(const char* cstring)
{
    if (cstring == nullptr) {
        length = Measure(*this);
        cursor = text;
        return *this;
    }
    Append(cstring, -1);
    return *this;
}

void String::AppendInt(int32_t value)
{
    char digits[16];
    DecimalText(value, digits);
    Append(digits, -1);
}

void String::Clear()
{
    free(text);
    text = nullptr;
    cursor = nullptr;
    capacity = 0;
    length = 0;
}

bool String::IsEmpty() const
{
    return text == nullptr || text[0] == '\0';
}

char* String::ReverseFind(unsigned ch)
{
    if (cursor == nullptr)
        return nullptr;
    char* hit = nullptr;
    for (char* p = cursor; *p != '\0'; p = NextChar(p)) {
        if (CharCode(p) == ch)
            hit = p;
    }
    if (hit != nullptr)
        cursor = hit;
    return hit;
}

char* String::Find(unsigned ch)
{
    if (cursor == nullptr)
        return nullptr;
    for (char* p = cursor; *p != '\0'; p = NextChar(p)) {
        if (CharCode(p) == ch)
            return cursor = p;
    }
    return nullptr;
}

char* String::FindAny(const char* set)
{
    if (cursor == nullptr)
        return nullptr;
    for (char* p = cursor; *p != '\0'; p = NextChar(p)) {
        if (SetContains(set, CharCode(p)))
            return cursor = p;
    }
    return nullptr;
}

char* String::FindText(const char* sub)
{
    if (cursor == nullptr || sub == nullptr || *sub == '\0')
        return nullptr;
    const size_t n = strlen(sub);
    for (char* p = cursor; *p != '\0'; p = NextChar(p)) {
        if (strncmp(p, sub, n) == 0)
            return cursor = p;
    }
    return nullptr;
}

char* String::SkipAny(const char* set)
{
    if (cursor == nullptr)
        return nullptr;
    for (char* p = cursor; *p != '\0'; p = NextChar(p)) {
        if (!SetContains(set, CharCode(p)))
            return cursor = p;
    }
    return nullptr;
}

int String::CompareNoCase(const char* other) const
{
    if (cursor == nullptr)
        return -1;
    const char* a = cursor;
    const char* b = other ? other : "";
    for (;;) {
        const unsigned ca = CharCode(a);
        const unsigned cb = CharCode(b);
        const unsigned fa = ca > 0xFF ? FoldDouble(ca) : FoldSingle(ca);
        const unsigned fb = cb > 0xFF ? FoldDouble(cb) : FoldSingle(cb);
        if (fa != fb)
            return fa < fb ? -1 : 1;
        if (ca == 0)
            return 0;
        a = NextChar(a);
        b = NextChar(b);
    }
}

unsigned String::CurrentChar() const
{
    if (cursor == nullptr)
        return 0;
    const unsigned char c = static_cast<unsigned char>(cursor[0]);
    if (c != 0 && IsLeadByte(c)) {
        const unsigned char trail = static_cast<unsigned char>(cursor[1]);
        return IsTrailByte(trail) ? unsigned(c) << 8 | trail : 0;
    }
    return c;
}

char* String::Delete(int32_t count, int32_t position)
{
    const int32_t len = Measure(*this);
    if (count > len) {
        Clear();
        return nullptr;
    }
    if (text == nullptr)
        return nullptr;
    if (position >= 0 && position <= len)
        cursor = text + position;
    int32_t at = cursor ? int32_t(cursor - text) : len;
    // A cursor left outside the text by a shorter platform write cuts at the end.
    if (at < 0 || at > len)
        at = len;
    const bool keepTail = count > 0 && int64_t(at) + count <= len;
    const int32_t tail = keepTail ? len - at - count : 0;
    String fresh;
    Build(fresh, text, size_t(at), int64_t(at) + tail);
    if (tail > 0) {
        memcpy(fresh.text + at, text + at + count, size_t(tail));
        fresh.text[at + tail] = '\0';
        fresh.length = at + tail;
    }
    fresh.cursor = fresh.text + at;
    Take(*this, fresh);
    return cursor;
}

void String::CopyRange(String& target, const char* from, const char* to) const
{
    if (text == nullptr) {
        if (from == nullptr && to == nullptr)
            target.Clear();
        return;
    }
    const char* end = text + Measure(*this);
    const char* f = from ? from : text;
    const char* t = to ? to : end;
    const uintptr_t begin = reinterpret_cast<uintptr_t>(text);
    const uintptr_t last = reinterpret_cast<uintptr_t>(end);
    uintptr_t a = reinterpret_cast<uintptr_t>(f);
    uintptr_t b = reinterpret_cast<uintptr_t>(t);
    if (b < a) {
        const uintptr_t swap = a;
        a = b;
        b = swap;
    }
    if (a < begin || b > last)
        return;
    // Built aside first: target may be this String itself.
    String piece;
    piece.Append(text + (a - begin), int32_t(b - a));
    Take(target, piece);
    target.cursor = target.text;
}

void String::Replace(const char* find, const char* replacement)
{
    cursor = text;
    if (text == nullptr || find == nullptr || *find == '\0')
        return;
    try {
        const size_t n = strlen(find);
        String result;
        const char* done = text;
        bool matched = false;
        for (const char* p = text; *p != '\0';) {
            if (strncmp(p, find, n) != 0) {
                p = NextChar(p);
                continue;
            }
            if (!matched) {
                result.Reserve(capacity);
                matched = true;
            }
            result.Append(done, int32_t(p - done));
            result.Append(replacement);
            p += n;
            done = p;
        }
        if (!matched)
            return;
        result.Append(done);
        String fresh(result);
        Take(*this, fresh);
    } catch (...) {
        throw OCException(0);
    }
}

char* String::NextToken(String& token, const char* separators)
{
    if (cursor == nullptr)
        return nullptr;
    char* p = cursor;
    while (*p != '\0' && SetContains(separators, CharCode(p)))
        p = NextChar(p);
    if (*p == '\0')
        return nullptr;
    char* start = p;
    while (*p != '\0' && !SetContains(separators, CharCode(p)))
        p = NextChar(p);
    cursor = p;
    // Stepping by characters ends on a boundary, so the copy never splits a
    // double-byte character.
    const int32_t n = int32_t(p - start);
    String piece;
    Build(piece, start, size_t(n), int64_t(n) + 1);
    Take(token, piece);
    return &token == this ? text : start;
}

uint32_t NameTextLength(const char* name, uint32_t length)
{
    const void* nul = std::memchr(name, '\0', length);
    return nul ? uint32_t(static_cast<const char*>(nul) - name) : length;
}
