#pragma once
// Character stepping in code page 932, the code page of the product's texts,
// whatever the code page of the system: a lead byte (0x81-0x9F, 0xE0-0xFC)
// and its trail byte form one character, so a trail byte 0x5C is never taken
// for a backslash. The results are those CharNextA and CharPrevA give on a
// Japanese system.

#include <cstdint>

// True when c is a lead byte of code page 932.
bool IsLeadByte(unsigned char c);
// True when c may follow a lead byte (0x40-0x7E, 0x80-0xFC).
bool IsTrailByte(unsigned char c);
// The next character after p; never steps past the terminating NUL.
const char* NextChar(const char* p);
char* NextChar(char* p);
// The character before p, not before start.
const char* PrevChar(const char* start, const char* p);
// Code of the character at p: lead * 256 + trail for a double-byte character,
// else the byte. A lead byte followed by NUL is one byte.
unsigned CharCode(const char* p);
// Byte length of the character at p (1 or 2; 0 at the terminating NUL).
int CharLength(const char* p);
// Case folding as a Japanese system compares: single-byte letters A-Z to
// lower case; double-byte letters (full-width Latin, Greek, Cyrillic) to
// upper case through the code page's own pairs.
unsigned FoldSingle(unsigned code);
unsigned FoldDouble(unsigned code);
// True when the character code ch occurs as one character of set.
bool SetContains(const char* set, unsigned ch);
