// The small byte helpers: hexadecimal names, little-endian words, stored
// name lengths and exact code page 932 conversion.

#include <gtest/gtest.h>
#include <string>
#include "base/hex_digits.h"
#include "base/little_endian.h"
#include "base/string.h"
#include "base/text_932.h"

TEST(Bytes, HexDigits)
{
    const struct {
        uint64_t value;
        size_t least;
        const wchar_t* text;
    } rows[] = {
        {0, 0, L"0"}, {0, 4, L"0000"}, {0xA, 1, L"A"}, {0xFF, 4, L"00FF"}, {0x12345, 4, L"12345"},
        {0xFFFFFFFFFFFFFFFFull, 16, L"FFFFFFFFFFFFFFFF"}, {0x0123456789ABCDEFull, 16, L"0123456789ABCDEF"},
    };
    for (const auto& row : rows) {
        const std::wstring text = HexDigits(row.value, row.least);
        EXPECT_EQ(std::wstring(row.text), text) << row.value;
        for (wchar_t c : text)
            EXPECT_TRUE(IsHexDigit(c)) << row.value;
    }
    for (wchar_t c : std::wstring(L"abcdefGgx-/:@ \u0660\uFF10"))
        EXPECT_FALSE(IsHexDigit(c)) << int(c);
}

TEST(Bytes, LittleEndianRoundTrip)
{
    const uint32_t values[] = {0, 1, 0x80, 0x12345678, 0x80000000u, 0xFFFFFFFFu};
    for (uint32_t value : values) {
        unsigned char bytes[6] = {0xEE, 0, 0, 0, 0, 0xEE};
        StoreU32(bytes + 1, value);
        EXPECT_EQ(value, LoadU32(bytes + 1)) << value;
        EXPECT_EQ(0xEE, bytes[0]) << "wrote before the word";
        EXPECT_EQ(0xEE, bytes[5]) << "wrote past the word";
    }
    const unsigned char stored[] = {0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(0x12345678u, LoadU32(stored));
}

TEST(Bytes, NameTextLengthStopsAtNul)
{
    const struct {
        const char* bytes;
        uint32_t length;
        uint32_t expected;
    } rows[] = {
        {"abc", 3, 3}, {"abc", 2, 2}, {"a\0c", 3, 1}, {"\0bc", 3, 0}, {"", 0, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.expected, NameTextLength(row.bytes, row.length)) << row.bytes;
}

// Literals are code page 932: ソ is 83 5C.
TEST(Bytes, ExactCodePage932)
{
    std::wstring wide;
    EXPECT_TRUE(WideFrom932Exactly("a\x83\x5C", 3, wide));
    EXPECT_EQ(std::wstring(L"a\u30BD"), wide);
    EXPECT_TRUE(WideFrom932Exactly("", 0, wide));
    EXPECT_EQ(L"", wide);
    EXPECT_FALSE(WideFrom932Exactly("a\x83", 2, wide)) << "a lead byte alone";
    EXPECT_FALSE(WideFrom932Exactly("\x85\x40", 2, wide)) << "an unassigned pair";

    std::string narrow = "kept";
    EXPECT_TRUE(ExactlyTo932(L"a\u30BD", narrow));
    EXPECT_EQ("a\x83\x5C", narrow);
    narrow = "kept";
    EXPECT_FALSE(ExactlyTo932(L"\u00E9", narrow)) << "no best-fit stand-in";
    EXPECT_FALSE(ExactlyTo932(std::wstring(L"a\0b", 3), narrow)) << "a NUL would cut the name";
    EXPECT_EQ("kept", narrow);
}
