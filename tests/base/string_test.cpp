#include "base/string.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "tests/support/message_box_answerer.h"

namespace {

// Shift-JIS characters whose trail byte is 0x5C, the backslash.
const char kHyo[] = "\x95\x5C";  // 表
const char kSo[] = "\x83\x5C";   // ソ

const int kNoBuffer = -1;

// The state a String should be in: text null means no buffer.
struct State {
    const char* text;
    int32_t capacity;
    int cursor;  // offset from text; kNoBuffer for a null cursor
};

::testing::AssertionResult HasState(const String& s, const State& want)
{
    if (want.text == nullptr) {
        if (s.text == nullptr && s.cursor == nullptr && s.capacity == 0 && s.length == 0)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "expected no buffer, got text \"" << (s.text ? s.text : "(null)")
               << "\" capacity " << s.capacity << " length " << s.length;
    }
    if (s.text == nullptr)
        return ::testing::AssertionFailure() << "no buffer, expected \"" << want.text << "\"";
    if (std::string(s.text) != want.text)
        return ::testing::AssertionFailure()
               << "text \"" << s.text << "\", expected \"" << want.text << "\"";
    if (s.length != int32_t(strlen(want.text)))
        return ::testing::AssertionFailure() << "length " << s.length;
    if (s.capacity != want.capacity)
        return ::testing::AssertionFailure()
               << "capacity " << s.capacity << ", expected " << want.capacity;
    if (s.text[s.capacity] != '\0')
        return ::testing::AssertionFailure() << "block's last byte is not NUL";
    const int cursor = s.cursor ? int(s.cursor - s.text) : kNoBuffer;
    if (cursor != want.cursor)
        return ::testing::AssertionFailure()
               << "cursor at " << cursor << ", expected " << want.cursor;
    return ::testing::AssertionSuccess();
}

struct Row {
    const char* name;
    std::function<void(String&)> run;
    State want;
};

void RunRows(const std::vector<Row>& rows)
{
    for (const Row& row : rows) {
        String s;
        row.run(s);
        EXPECT_TRUE(HasState(s, row.want)) << "row: " << row.name;
    }
}

std::string Repeat(char c, size_t n)
{
    return std::string(n, c);
}

}  // namespace

TEST(String, ConstructionAndReserve)
{
    const std::string sixty = Repeat('x', 60);
    RunRows({
        {"default", [](String&) {}, {nullptr, 0, 0}},
        {"reserve 0", [](String& s) { s.Reserve(0); }, {"", 64, 0}},
        {"reserve 63", [](String& s) { s.Reserve(63); }, {"", 64, 0}},
        {"reserve 64", [](String& s) { s.Reserve(64); }, {"", 128, 0}},
        {"reserve 512", [](String& s) { s.Reserve(512); }, {"", 576, 0}},
        {"reserve 1024", [](String& s) { s.Reserve(1024); }, {"", 1088, 0}},
        {"reserve -1", [](String& s) { s.Reserve(-1); }, {nullptr, 0, 0}},
        {"reserve smaller keeps", [](String& s) { s.Reserve(1024); s.Reserve(10); }, {"", 1088, 0}},
        {"reserve keeps text and cursor offset",
         [&](String& s) {
             s.Assign(sixty.c_str());
             s.cursor = s.text + 7;
             s.Reserve(200);
         },
         {sixty.c_str(), 256, 7}},
    });
    String none(-1);
    EXPECT_TRUE(HasState(none, {nullptr, 0, 0}));
    String reserved(512);
    EXPECT_TRUE(HasState(reserved, {"", 576, 0}));
    String zero(0);
    EXPECT_TRUE(HasState(zero, {"", 64, 0}));
}

TEST(String, AssignKinds)
{
    const std::string sixtyFour = Repeat('y', 64);
    RunRows({
        {"cstring", [](String& s) { s.Assign("abc"); }, {"abc", 64, 0}},
        {"empty cstring has a buffer", [](String& s) { s.Assign(""); }, {"", 64, 0}},
        {"null cstring", [](String& s) { s.Assign("abc"); s.Assign(static_cast<const char*>(nullptr)); }, {nullptr, 0, 0}},
        {"64 bytes", [&](String& s) { s.Assign(sixtyFour.c_str()); }, {sixtyFour.c_str(), 128, 0}},
        {"count bytes", [](String& s) { s.Assign("abcdef", 3); }, {"abc", 64, 0}},
        {"count 0", [](String& s) { s.Assign("abc"); s.Assign("abc", 0); }, {nullptr, 0, 0}},
        {"null with room", [](String& s) { s.Assign(nullptr, 100); }, {"", 128, 0}},
        {"null without room", [](String& s) { s.Assign("abc"); s.Assign(nullptr, -1); }, {nullptr, 0, 0}},
        {"count beyond the source's NUL", [](String& s) { s.Assign("ab", 100); }, {"ab", 128, 0}},
        {"own text", [](String& s) { s.Assign("abc"); s.cursor += 2; s.Assign(s.text, -1); }, {"abc", 64, 2}},
        {"part of own text", [](String& s) { s.Assign("hello world"); s.Assign(s.text + 6); }, {"world", 64, 0}},
        {"AssignInt 260", [](String& s) { s.AssignInt(260); }, {"260", 64, 0}},
        {"AssignInt -5", [](String& s) { s.AssignInt(-5); }, {"-5", 64, 0}},
        {"AssignInt 0", [](String& s) { s.AssignInt(0); }, {"0", 64, 0}},
        {"AssignInt min", [](String& s) { s.AssignInt(INT_MIN); }, {"-2147483648", 64, 0}},
        {"String assigned", [](String& s) { String o; o.Assign("xyz"); o.Reserve(500); s = o; }, {"xyz", 64, 0}},
        {"String without buffer", [](String& s) { String o; s.Assign("abc"); s = o; }, {nullptr, 0, 0}},
        {"String to itself", [](String& s) { s.Assign("abc"); s.cursor++; s = s; }, {"abc", 64, 1}},
    });
}

TEST(String, CopyIsIndependent)
{
    String original;
    original.Assign("folder\\name");
    original.cursor += 3;
    String copy(original);
    EXPECT_TRUE(HasState(copy, {"folder\\name", 64, 0}));
    EXPECT_NE(copy.text, original.text);
    copy.text[0] = 'F';
    EXPECT_STREQ(original.text, "folder\\name");

    String none;
    String noneCopy(none);
    EXPECT_TRUE(HasState(noneCopy, {nullptr, 0, 0}));
}

TEST(String, AppendKinds)
{
    const std::string sixty = Repeat('a', 60);
    const std::string sixtyFive = sixty + "bcdef";
    RunRows({
        {"to nothing", [](String& s) { s.Append("abc"); }, {"abc", 64, 0}},
        {"empty to nothing", [](String& s) { s.Append(""); }, {"", 64, 0}},
        {"count 0 keeps the cursor", [](String& s) { s.Assign("abc"); s.cursor += 2; s.Append("x", 0); }, {"abc", 64, 2}},
        {"null moves the cursor", [](String& s) { s.Assign("abc"); s.cursor += 2; s.Append(static_cast<const char*>(nullptr)); }, {"abc", 64, 0}},
        {"null to nothing", [](String& s) { s.Append(static_cast<const char*>(nullptr)); }, {nullptr, 0, 0}},
        {"grows in steps", [&](String& s) { s.Assign(sixty.c_str()); s.Append("bcdef"); }, {sixtyFive.c_str(), 128, 0}},
        {"count bytes", [](String& s) { s.Assign("ab"); s.Append("cdef", 2); }, {"abcd", 64, 0}},
        {"int", [](String& s) { s.Assign("v"); s.AppendInt(-42); }, {"v-42", 64, 0}},
        {"after a platform write",
         [](String& s) {
             s.Assign(nullptr, 100);
             lstrcpyA(s.text, "C:\\Program Files");
             s.Append("\\app");
         },
         {"C:\\Program Files\\app", 128, 0}},
        {"text cut by an embedded NUL", [](String& s) { s.Assign("abcdef"); s.text[2] = '\0'; s.Append("X"); }, {"abX", 64, 0}},
        {"part of itself", [](String& s) { s.Assign("abc"); s.Append(s.text + 1); }, {"abcbc", 64, 0}},
        {"itself while growing",
         [&](String& s) {
             s.Assign(sixty.c_str());
             s.Append(s.text);
         },
         {(sixty + sixty).c_str(), 128, 0}},
    });
}

TEST(String, ClearAndIsEmpty)
{
    String s;
    EXPECT_TRUE(s.IsEmpty());
    s.Assign("");
    EXPECT_TRUE(s.IsEmpty());
    s.Assign("a");
    EXPECT_FALSE(s.IsEmpty());
    s.Clear();
    EXPECT_TRUE(HasState(s, {nullptr, 0, 0}));
    EXPECT_TRUE(s.IsEmpty());
}

TEST(String, GrowthFailureLeavesNoBufferAndRaises)
{
    const std::vector<Row> rows = {
        {"reserve beyond the heap", [](String& s) { s.Reserve(0x7FFFFF00); }, {}},
        {"reserve beyond 32 bits", [](String& s) { s.Reserve(0x7FFFFFC0); }, {}},
        {"append beyond the heap", [](String& s) { s.Append("xyz", 0x7FFFFF00); }, {}},
        {"append overflowing the length", [](String& s) { s.Append("xyz", INT_MAX); }, {}},
        {"assign with huge room", [](String& s) { s.Assign(nullptr, 0x7FFFFF00); }, {}},
    };
    for (const Row& row : rows) {
        String s;
        s.Assign("abc");
        bool raised = false;
        try {
            row.run(s);
        } catch (const OCException& e) {
            raised = true;
            EXPECT_EQ(e.code, 0u) << row.name;
        }
        EXPECT_TRUE(raised) << row.name;
        EXPECT_TRUE(HasState(s, {nullptr, 0, 0})) << row.name;
        // Still usable afterwards.
        s.Append("ok");
        EXPECT_TRUE(HasState(s, {"ok", 64, 0})) << row.name;
    }
}

TEST(String, Delete)
{
    struct DeleteRow {
        const char* name;
        const char* text;
        int cursor;
        int32_t count;
        int32_t position;
        const char* want;  // null: no buffer
        int wantCursor;
    };
    const DeleteRow rows[] = {
        {"prefix up to the dot", "name.exe", 0, 5, 0, "exe", 0},
        {"trailing backslash", "C:\\dir\\", 6, 0, -1, "C:\\dir", 6},
        {"count 0 cuts at the position", "abcdef", 0, 0, 3, "abc", 3},
        {"middle", "abcdefg", 0, 2, 3, "abcfg", 3},
        {"reaching past the end cuts", "abcdef", 4, 5, -1, "abcd", 4},
        {"exactly to the end", "abcdef", 4, 2, -1, "abcd", 4},
        {"negative count cuts", "abcdef", 2, -1, -1, "ab", 2},
        {"position outside uses the cursor", "abcdef", 1, 1, 99, "acdef", 1},
        {"negative position uses the cursor", "abcdef", 2, 1, -7, "abdef", 2},
        {"position at the end", "abc", 0, 0, 3, "abc", 3},
        {"count greater than the length", "abc", 1, 4, -1, nullptr, 0},
        {"whole text", "abc", 0, 3, 0, "", 0},
        {"double-byte prefix", "\x95\x5C\\x", 0, 3, 0, "x", 0},
    };
    for (const DeleteRow& row : rows) {
        String s;
        s.Assign(row.text);
        s.Reserve(1024);  // the result takes a fresh block sized for it
        s.cursor = s.text + row.cursor;
        char* result = s.Delete(row.count, row.position);
        if (row.want == nullptr) {
            EXPECT_EQ(result, nullptr) << row.name;
            EXPECT_TRUE(HasState(s, {nullptr, 0, 0})) << row.name;
        } else {
            EXPECT_TRUE(HasState(s, {row.want, 64, row.wantCursor})) << row.name;
            EXPECT_EQ(result, s.cursor) << row.name;
        }
    }
    String none;
    EXPECT_EQ(none.Delete(0, 0), nullptr);
    EXPECT_TRUE(HasState(none, {nullptr, 0, 0}));
}

TEST(String, CopyRange)
{
    String source;
    source.Assign("C:\\folder\\file.txt");
    source.cursor = source.text + 2;
    char* t = source.text;
    struct RangeRow {
        const char* name;
        const char* from;
        const char* to;
        const char* want;  // null: no buffer; kKeep: target unchanged
    };
    const char* kKeep = "keep";
    const RangeRow rows[] = {
        {"whole", nullptr, nullptr, "C:\\folder\\file.txt"},
        {"head", nullptr, t + 2, "C:"},
        {"tail", t + 10, nullptr, "file.txt"},
        {"swapped", t + 9, t + 3, "folder"},
        {"empty", t + 4, t + 4, nullptr},
        {"before the text", t - 1, t + 3, kKeep},
        {"past the end", t + 3, t + 20, kKeep},
    };
    for (const RangeRow& row : rows) {
        String target;
        target.Assign(kKeep);
        target.cursor += 1;
        source.CopyRange(target, row.from, row.to);
        if (row.want == nullptr)
            EXPECT_TRUE(HasState(target, {nullptr, 0, 0})) << row.name;
        else if (row.want == kKeep)
            EXPECT_TRUE(HasState(target, {kKeep, 64, 1})) << row.name;
        else
            EXPECT_TRUE(HasState(target, {row.want, 64, 0})) << row.name;
        EXPECT_EQ(source.cursor, source.text + 2) << row.name;
        EXPECT_STREQ(source.text, "C:\\folder\\file.txt") << row.name;
    }
    source.CopyRange(source, t + 3, t + 9);
    EXPECT_TRUE(HasState(source, {"folder", 64, 0}));
}

TEST(String, Replace)
{
    struct ReplaceRow {
        const char* name;
        const char* text;
        const char* find;
        const char* replacement;
        const char* want;
    };
    const std::string many = Repeat('a', 100);
    const std::string manyB = Repeat('b', 200);
    const ReplaceRow rows[] = {
        {"three backslashes", "\\\\\\", "\\\\", "\\", "\\\\"},
        {"four backslashes", "\\\\\\\\", "\\\\", "\\", "\\\\"},
        {"line feed escape", "a\\nb\\tc", "\\n", "\n", "a\nb\\tc"},
        {"no occurrence", "abc", "x", "y", "abc"},
        {"null replacement removes", "a-b-c-", "-", nullptr, "abc"},
        {"everything removed", "--", "-", nullptr, ""},
        {"longer replacement", "a.b", ".", "<dot>", "a<dot>b"},
        {"growing past the capacity", many.c_str(), "a", "bb", manyB.c_str()},
        {"trail byte is no backslash", "\x95\x5Cn", "\\n", "\n", "\x95\x5Cn"},
        {"after a trail byte", "\x83\x5C\\n", "\\n", "\n", "\x83\x5C\n"},
        {"double-byte find", "a\x95\x5C" "b\x95\x5C", kHyo, "X", "aXbX"},
        {"empty find", "abc", "", "x", "abc"},
        {"null find", "abc", nullptr, "x", "abc"},
    };
    for (const ReplaceRow& row : rows) {
        String s;
        s.Assign(row.text);
        s.cursor += 1;
        s.Replace(row.find, row.replacement);
        const int32_t capacity = (int32_t(strlen(row.want)) & ~63) + 64;
        EXPECT_TRUE(HasState(s, {row.want, capacity, 0})) << row.name;
    }
    String none;
    none.Replace("a", "b");
    EXPECT_TRUE(HasState(none, {nullptr, 0, 0}));
}

namespace {

// Reserves (without committing) all the address space it can get, so large
// requests fail for real while it lives; cheap since no page is touched.
class AddressSpaceHog {
public:
    AddressSpaceHog()
    {
        for (SIZE_T size = SIZE_T(256) << 20; size >= (SIZE_T(1) << 20); size /= 2) {
            while (void* p = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS))
                held_.push_back(p);
        }
    }
    AddressSpaceHog(const AddressSpaceHog&) = delete;
    AddressSpaceHog& operator=(const AddressSpaceHog&) = delete;
    virtual ~AddressSpaceHog()
    {
        for (void* p : held_)
            VirtualFree(p, 0, MEM_RELEASE);
    }

private:
    std::vector<void*> held_;
};

}  // namespace

TEST(String, ReplaceFailureKeepsTheText)
{
    const std::string replacement(16u << 20, 'x');
    String s;
    s.Assign("a-a-a");
    s.cursor += 3;
    bool raised = false;
    uint32_t code = 1;
    {
        AddressSpaceHog hog;
        try {
            s.Replace("a", replacement.c_str());
        } catch (const OCException& e) {
            raised = true;
            code = e.code;
        }
    }
    EXPECT_TRUE(raised);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(HasState(s, {"a-a-a", 64, 0}));
    // With the space back the same replacement works.
    s.Replace("a", "bb");
    EXPECT_TRUE(HasState(s, {"bb-bb-bb", 64, 0}));
}

TEST(String, NextToken)
{
    struct TokenRow {
        const char* name;
        const char* text;
        const char* separators;
        std::vector<std::string> tokens;
    };
    const std::string hyoSo = std::string(kHyo) + "\\" + kSo;
    const TokenRow rows[] = {
        {"file list", ";a;;b;", ";", {"a", "b"}},
        {"no separator", "whole text", ";", {"whole text"}},
        {"only separators", ";;;", ";", {}},
        {"empty text", "", ";", {}},
        {"several separators", "a \tb=c", " \t=", {"a", "b", "c"}},
        {"trail bytes 0x5C", hyoSo.c_str(), "\\", {kHyo, kSo}},
        {"double-byte separator", "a\x81\x41" "b", "\x81\x41", {"a", "b"}},
        {"single byte is not a trail byte", "x\x81\x41y", "A", {"x\x81\x41y"}},
    };
    for (const TokenRow& row : rows) {
        String s;
        s.Assign(row.text);
        String token;
        std::vector<std::string> got;
        for (int i = 0; i < 10; ++i) {
            char* before = s.cursor;
            char* start = s.NextToken(token, row.separators);
            if (start == nullptr) {
                EXPECT_EQ(s.cursor, before) << row.name << ": cursor moved on a miss";
                break;
            }
            ASSERT_NE(token.text, nullptr) << row.name;
            got.push_back(token.text);
            EXPECT_EQ(strncmp(start, token.text, strlen(token.text)), 0) << row.name;
            EXPECT_EQ(s.cursor, start + strlen(token.text)) << row.name;
            EXPECT_EQ(token.capacity, ((token.length + 1) & ~63) + 64) << row.name;
            EXPECT_EQ(token.cursor, token.text) << row.name;
        }
        EXPECT_EQ(got, row.tokens) << row.name;
    }
    String none;
    String token;
    EXPECT_EQ(none.NextToken(token, ";"), nullptr);
}

TEST(String, ReverseFindAndFind)
{
    struct FindRow {
        const char* name;
        const char* text;
        int cursor;
        unsigned ch;
        int want;  // offset, or -1 for a miss
    };
    const FindRow rows[] = {
        {"no dot", "name", 0, '.', -1},
        {"last of several dots", "a.b.c.exe", 0, '.', 5},
        {"from the cursor", "a.b.c", 4, '.', -1},
        {"backslash after a 0x5C trail", "C:\\\x95\x5C", 0, '\\', 2},
        {"only 0x5C trails", "\x95\x5C\x83\x5C", 0, '\\', -1},
        {"double-byte character", "a\x95\x5C" "b\x95\x5C" "c", 0, 0x955C, 4},
        {"lead byte alone is no match", "\x95\x5C", 0, 0x95, -1},
    };
    for (const FindRow& row : rows) {
        String s;
        s.Assign(row.text);
        s.cursor = s.text + row.cursor;
        char* hit = s.ReverseFind(row.ch);
        if (row.want < 0) {
            EXPECT_EQ(hit, nullptr) << row.name;
            EXPECT_EQ(s.cursor, s.text + row.cursor) << row.name;
        } else {
            EXPECT_EQ(hit, s.text + row.want) << row.name;
            EXPECT_EQ(s.cursor, hit) << row.name;
        }
    }
    String none;
    EXPECT_EQ(none.ReverseFind('.'), nullptr);

    String path;
    path.Assign("C:\\\x95\x5C\\x.txt");
    EXPECT_EQ(path.Find('\\'), path.text + 2);
    path.cursor++;
    EXPECT_EQ(path.Find('\\'), path.text + 5);
    path.cursor = path.text;
    EXPECT_EQ(path.FindAny(".:"), path.text + 1);
    path.cursor = path.text;
    EXPECT_EQ(path.FindText("\\x"), path.text + 5);
    EXPECT_EQ(path.FindText("\\\\"), nullptr);
    EXPECT_EQ(path.cursor, path.text + 5);
}

TEST(String, SkipAny)
{
    struct SkipRow {
        const char* name;
        const char* text;
        const char* set;
        int want;  // offset or -1
    };
    const SkipRow rows[] = {
        {"settings separators", " \t= value", " \t=", 4},
        {"nothing to skip", "value", " ", 0},
        {"only set characters", " \t ", " \t", -1},
        {"empty text", "", " ", -1},
        {"0x5C trail not in a backslash set", "\\\x95\x5C", "\\", 1},
        {"double-byte member", "\x81\x40\x81\x40x", "\x81\x40", 4},
        {"single byte does not match a trail", "\x81\x40", "@", 0},
        {"same lead byte, other character", "\x81\x40x", "\x81\x41", 0},
    };
    for (const SkipRow& row : rows) {
        String s;
        s.Assign(row.text);
        char* hit = s.SkipAny(row.set);
        if (row.want < 0) {
            EXPECT_EQ(hit, nullptr) << row.name;
            EXPECT_EQ(s.cursor, s.text) << row.name;
        } else {
            EXPECT_EQ(hit, s.text + row.want) << row.name;
            EXPECT_EQ(s.cursor, hit) << row.name;
        }
    }
}

TEST(String, CurrentChar)
{
    struct CharRow {
        const char* name;
        const char* text;
        int cursor;
        unsigned want;
    };
    const CharRow rows[] = {
        {"single byte", "a", 0, 'a'},
        {"line feed", "\n", 0, '\n'},
        {"double byte with 0x5C trail", kHyo, 0, 0x955C},
        {"katakana so", kSo, 0, 0x835C},
        {"invalid trail byte", "\x81\x20", 0, 0},
        {"lead byte at the end", "\x81", 0, 0},
        {"end of text", "ab", 2, 0},
        {"half-width katakana", "\xB1", 0, 0xB1},
    };
    for (const CharRow& row : rows) {
        String s;
        s.Assign(row.text);
        s.cursor = s.text + row.cursor;
        EXPECT_EQ(s.CurrentChar(), row.want) << row.name;
        EXPECT_EQ(s.cursor, s.text + row.cursor) << row.name;
    }
    String none;
    EXPECT_EQ(none.CurrentChar(), 0u);
}

TEST(String, CompareNoCase)
{
    struct CompareRow {
        const char* name;
        const char* text;
        int cursor;
        const char* other;
        int want;  // sign
    };
    const CompareRow rows[] = {
        {"extension", "EXE", 0, "exe", 0},
        {"empty against text", "", 0, "exe", -1},
        {"text against empty", "a", 0, "", 1},
        {"versions as text", "1.10", 0, "1.9", -1},
        {"equal versions", "1.01", 0, "1.01", 0},
        {"greater", "b", 0, "A", 1},
        {"from the cursor", "name.DLL", 5, "dll", 0},
        {"full-width latin", "\x82\x81\x82\x9A", 0, "\x82\x60\x82\x79", 0},  // ａｚ / ＡＺ
        {"greek", "\x83\xBF", 0, "\x83\x9F", 0},                              // α / Α
        {"cyrillic before the gap", "\x84\x7E", 0, "\x84\x4E", 0},             // н / Н
        {"cyrillic after the gap", "\x84\x80\x84\x91", 0, "\x84\x4F\x84\x60", 0},  // о я / О Я
        {"different double bytes", kHyo, 0, kSo, 1},
        {"0x5C trail then letters", "\x95\x5C" "a", 0, "\x95\x5C" "A", 0},
        {"double byte after single byte", "\x83\x5C", 0, "z", 1},
        {"half-width katakana has no case", "\xB1", 0, "\xB1", 0},
        // Trail bytes that are letters under other code pages: ア 83 41 and
        // ヂ 83 61 are different characters on every system.
        {"trail bytes are no letters", "アイテム.txt", 0, "ヂイテム.txt", -1},
        {"accented bytes have no case", "\xC9", 0, "\xE9", -1},  // single bytes É/é in 1252
    };
    for (const CompareRow& row : rows) {
        String s;
        s.Assign(row.text);
        s.cursor = s.text + row.cursor;
        const int got = s.CompareNoCase(row.other);
        EXPECT_EQ((got > 0) - (got < 0), row.want) << row.name;
        EXPECT_EQ(s.cursor, s.text + row.cursor) << row.name;
    }
    String none;
    EXPECT_EQ(none.CompareNoCase("exe"), -1);
    EXPECT_EQ(none.CompareNoCase(""), -1);
}

namespace {

// A byte source with the Read of the archive file.
struct ByteSource {
    std::vector<unsigned char> bytes;
    size_t position = 0;

    uint32_t Read(void* out, uint32_t n)
    {
        const size_t left = bytes.size() - position;
        const size_t take = n < left ? n : left;
        memcpy(out, bytes.data() + position, take);
        position += take;
        return uint32_t(take);
    }
};

ByteSource Counted(uint32_t count, const std::string& body)
{
    ByteSource source;
    for (int i = 0; i < 4; ++i)
        source.bytes.push_back(static_cast<unsigned char>(count >> (8 * i)));
    source.bytes.insert(source.bytes.end(), body.begin(), body.end());
    return source;
}

}  // namespace

TEST(String, ReadCounted)
{
    struct CountedRow {
        const char* name;
        uint32_t count;
        std::string body;
        uint32_t limit;
        State want;
        size_t consumed;
    };
    const CountedRow rows[] = {
        {"abc", 3, "abcdef", 0x7FFFFFBF, {"abc", 64, 0}, 7},
        {"count 0", 0, "abc", 0x7FFFFFBF, {nullptr, 0, 0}, 4},
        {"above the limit", 300, std::string(300, 'x'), 260, {nullptr, 0, 0}, 4},
        {"no block for the count", 0x7FFFFF00, "abc", 0x7FFFFFBF, {nullptr, 0, 0}, 4},
        {"beyond 32-bit capacity", 0x7FFFFFC0, "abc", 0xFFFFFFFF, {nullptr, 0, 0}, 4},
        {"embedded NUL", 5, std::string("ab\0cd", 5), 0x7FFFFFBF, {"ab", 64, 0}, 9},
        {"short source", 10, "abc", 0x7FFFFFBF, {"abc", 64, 0}, 7},
        {"Japanese name", 4, "\x95\x5C\x83\x5C", 0x7FFFFFBF, {"\x95\x5C\x83\x5C", 64, 0}, 8},
    };
    for (const CountedRow& row : rows) {
        ByteSource source = Counted(row.count, row.body);
        String s;
        s.Assign("old");
        s.ReadCounted(source, row.limit);
        EXPECT_TRUE(HasState(s, row.want)) << row.name;
        EXPECT_EQ(source.position, row.consumed) << row.name;
    }
    ByteSource empty;
    String s;
    s.Assign("old");
    s.ReadCounted(empty);
    EXPECT_TRUE(HasState(s, {nullptr, 0, 0}));
}

// MB_TOPMOST itself cannot be seen here: Wine's message box leaves the
// window without WS_EX_TOPMOST whatever the style.
TEST(String, ShowMessageShowsTheTextAndReturnsTheButton)
{
    String s;
    s.Assign("\x83\x41\x83\x62\x83\x76\x83\x66\x81\x5B\x83\x67");  // アップデート
    struct Row {
        const char* name;
        const char* caption;
        UINT style;
        int answer;
        const char* wantCaption;
    };
    const Row rows[] = {
        {"yes/no", "Caption", MB_YESNO, IDNO, "Caption"},
        {"default caption", nullptr, MB_OK, IDOK, "\x83\x47\x83\x89\x81\x5B"},  // エラー
        {"abort/retry/ignore", "\x83\x74\x83\x40\x83\x43\x83\x8B", MB_ABORTRETRYIGNORE, IDRETRY,
         "\x83\x74\x83\x40\x83\x43\x83\x8B"},
    };
    for (const Row& row : rows) {
        MessageBoxAnswerer answerer({row.answer});
        EXPECT_EQ(s.ShowMessage(nullptr, row.caption, row.style), row.answer) << row.name;
        ASSERT_EQ(answerer.boxes.size(), 1u) << row.name;
        EXPECT_EQ(answerer.boxes[0].caption, row.wantCaption) << row.name;
        EXPECT_EQ(answerer.boxes[0].text, s.text) << row.name;
    }
}
