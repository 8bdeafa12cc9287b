#pragma once
// String: the system's one text type. An owned, growable, NUL-terminated byte
// string in the ANSI code page (code page 932 on the product's systems) with a
// scanning cursor kept inside the object.
//
// Fields are public on purpose: platform calls fill `text` directly with
// `capacity` as the buffer size, so every operation that extends or copies a
// text measures it up to its first NUL instead of trusting `length`.
//
// Without buffer: text and cursor null, capacity and length 0. Such a String
// reads as the empty text everywhere.
// With buffer: the block is capacity + 1 bytes and always holds a NUL;
// capacity is a multiple of 64 (>= 64) and never shrinks while the block
// stays; operations that rebuild the text (Delete, Replace, assignment from a
// String) take a fresh block sized for the result.
//
// Memory: growth that cannot get its block leaves the String without buffer
// and raises OCException(0); no operation ever writes into a missing buffer.
//
// Searches, tokens and comparisons step by characters of the ANSI code page
// (a trail byte 0x5C is never a backslash); positional operations use bytes.

#include <cstdarg>
#include <cstdint>
#include <windows.h>
#include "base/little_endian.h"

class String {
public:
    char* text;
    int32_t capacity;
    int32_t length;
    char* cursor;

    String();
    // -1: no buffer. 0 or more: Reserve(reserve), empty text, cursor at start.
    explicit String(int32_t reserve);
    String(const String& other);
    String& operator=(const String& other) { return Assign(other); }
    virtual ~String();

    // Capacity becomes (n & ~63) + 64 when that is larger than now; text and
    // the cursor's offset are kept. Reserve(-1) does nothing.
    void Reserve(int32_t n);

    // Takes count bytes of bytes (-1: up to its NUL). bytes null: empty text
    // with room for count bytes (-1: no buffer). count 0 with bytes: no buffer.
    // bytes == text: nothing changes. Cursor at the start.
    void Assign(const char* bytes, int32_t count);
    // Copy of cstring; null: no buffer; "" gives an empty text with a buffer.
    String& Assign(const char* cstring);
    String& Assign(const String& other);
    void AssignInt(int32_t value);

    // Appends count bytes (-1: up to NUL) behind the measured text, cursor at
    // the start. count 0 changes nothing, the cursor included.
    void Append(const char* bytes, int32_t count);
    // null appends nothing but still puts the cursor at the start.
    String& Append(const char* cstring);
    void AppendInt(int32_t value);

    // Frees the block: no buffer.
    void Clear();

    // Reads a counted text: a 32-bit little-endian count, then that many bytes
    // (no terminator on disk). Source is anything with
    // `uint32_t Read(void*, uint32_t)`. Count 0, a count above `limit` or one
    // no block can be had for leaves the String without buffer and consumes
    // only the 4 count bytes. The text is cut at an embedded NUL.
    template <class Source>
    void ReadCounted(Source& source, uint32_t limit = 0x7FFFFFBFu);

    // printf-style formatting (see format.cpp for the bound). Format replaces
    // the text (cursor at the start), AppendFormat appends (cursor keeps its
    // offset). Neither ever writes beyond the room reserved.
    void Format(const char* format, ...);
    void AppendFormat(const char* format, ...);
    void FormatV(const char* format, va_list args);
    void AppendFormatV(const char* format, va_list args);

    // True without buffer or when the first byte is NUL.
    bool IsEmpty() const;

    // Last occurrence of the character ch (a byte, or lead * 256 + trail) from
    // the cursor to the end; the cursor moves to it. Null (cursor unchanged)
    // when absent or when the cursor is null.
    char* ReverseFind(unsigned ch);
    // First occurrence of ch from the cursor; the cursor moves to it.
    char* Find(unsigned ch);
    // First character from the cursor that is in set; the cursor moves to it.
    char* FindAny(const char* set);
    // First occurrence of sub from the cursor, starting on a character
    // boundary; the cursor moves to it. Null (cursor unchanged) when absent.
    char* FindText(const char* sub);
    // First character at or after the cursor not in set; the cursor moves to
    // it. Null (cursor unchanged) when only set characters remain.
    char* SkipAny(const char* set);

    // The text from the cursor compared with other, ignoring case: single-byte
    // letters by lower case, double-byte characters by upper case as a 16-bit
    // code. -1 when the cursor is null.
    int CompareNoCase(const char* other) const;

    // Code at the cursor: lead * 256 + trail for a double-byte character,
    // 0 for a lead byte without valid trail byte, 0 at the end or null cursor.
    unsigned CurrentChar() const;

    // Deletes count bytes at position (-1 or outside the text: at the cursor).
    // count 0 (or negative), or one reaching past the end, cuts the text
    // there. A count greater than the length empties the String (no buffer)
    // and returns null.
    // Returns the new cursor, at the deletion point.
    char* Delete(int32_t count, int32_t position);

    // target := bytes [from, to) of this text (null from: start, null to:
    // end; swapped when reversed). A range outside the text leaves target as
    // it was; an empty range leaves it without buffer.
    void CopyRange(String& target, const char* from, const char* to) const;

    // Every non-overlapping occurrence of find, left to right, is replaced
    // (null replacement removes). Cursor at the start. Raises OCException(0)
    // on failure, the text then unchanged. An empty find changes nothing.
    void Replace(const char* find, const char* replacement);

    // Skips separators from the cursor, then takes the run of non-separators
    // into token; the cursor stops on the separator that ended it (or at the
    // end). Returns the token's start in this text, or null when no token is
    // left (cursor unchanged). Never yields an empty token.
    char* NextToken(String& token, const char* separators);

    // A message box with this text, the caption (null: "エラー") and
    // style | MB_TOPMOST, both converted from code page 932 (ShowMessageBox).
    // Owner is not used: every box of the program has none. Returns the
    // button pressed.
    int ShowMessage(HWND owner, const char* caption, UINT style) const;
};

// The text of s, or "" when it has no buffer: for calls that want a C text.
inline const char* TextOf(const String& s)
{
    return s.text ? s.text : "";
}

// The length of a name stored in `length` bytes that need not end with a
// NUL: up to its first NUL, as every C call reads it.
uint32_t NameTextLength(const char* name, uint32_t length);

template <class Source>
void String::ReadCounted(Source& source, uint32_t limit)
{
    Clear();
    unsigned char bytes[4] = {0, 0, 0, 0};
    source.Read(bytes, 4);
    const uint32_t count = LoadU32(bytes);
    if (count == 0 || count > limit || count >= 0x7FFFFFC0u)
        return;
    try {
        Reserve(int32_t(count));
    } catch (...) {
        return;  // no block for that count: Reserve left no buffer
    }
    const uint32_t got = source.Read(text, count);
    text[got < count ? got : count] = '\0';
    cursor = text;
    length = lstrlenA(text);
}
