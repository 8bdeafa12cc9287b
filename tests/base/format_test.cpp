#include "base/string.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/exceptions.h"

namespace {

// What the runtime's formatter itself writes, for conversions whose exact
// text is the formatter's business (exponent digits, %g).
std::string Reference(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = _vscprintf(format, args);
    va_end(args);
    if (n < 0)
        return "<unformattable>";
    std::vector<char> out(size_t(n) + 1);
    va_start(args, format);
    _vsnprintf(out.data(), out.size(), format, args);
    va_end(args);
    return std::string(out.data(), size_t(n));
}

const int32_t kAnyCapacity = 0;

struct FormatRow {
    const char* name;
    std::function<void(String&)> run;
    std::string want;
    int32_t capacity;  // kAnyCapacity: only "holds the output" is checked
};

void CheckRows(const std::vector<FormatRow>& rows, const char* prefill)
{
    for (const FormatRow& row : rows) {
        String s;
        if (prefill != nullptr)
            s.Assign(prefill);
        row.run(s);
        ASSERT_NE(s.text, nullptr) << row.name;
        // Output beyond the room would show up as a text cut at the capacity.
        EXPECT_EQ(std::string(s.text), row.want) << row.name;
        EXPECT_EQ(s.length, int32_t(row.want.size())) << row.name;
        EXPECT_LE(s.length, s.capacity) << row.name;
        EXPECT_EQ(s.capacity % 64, 0) << row.name;
        EXPECT_EQ(s.text[s.capacity], '\0') << row.name;
        if (row.capacity != kAnyCapacity) {
            EXPECT_EQ(s.capacity, row.capacity) << row.name;
        }
        EXPECT_EQ(s.cursor, s.text) << row.name;
    }
}

int32_t RoundedUp(size_t n)
{
    return (int32_t(n) & ~63) + 64;
}

}  // namespace

TEST(Format, TheSystemsOwnFormats)
{
    const std::string folder = "C:\\Program Files (x86)\\Quillmark\\Installer";
    const std::string joined = folder + "\\data.pak";
    const std::string openFailed = "ファイル C:\\表\\ソフト.exe が開けませんでした。";
    const std::string report = "エラーが発生しました。\nCode 0x5 :" + openFailed;
    const std::string finished = "アップデートが完了しました。";
    CheckRows(
        {
            {"folder and name", [&](String& s) { s.Format("%s\\%s", folder.c_str(), "data.pak"); },
             joined, RoundedUp(joined.size())},
            {"registry key", [](String& s) { s.Format("SOFTWARE\\%s\\%s", "Quillmark", "Installer"); },
             "SOFTWARE\\Quillmark\\Installer", 64},
            // 28 bytes of text plus 32 for each integer: 92.
            {"version query",
             [](String& s) { s.Format("\\StringFileInfo\\%04x%04x\\FileVersion", 0x0411, 0x03A4); },
             "\\StringFileInfo\\041103a4\\FileVersion", 128},
            {"error report",
             [&](String& s) { s.Format("エラーが発生しました。\nCode 0x%x :%s", 5u, openFailed.c_str()); },
             report, kAnyCapacity},
            {"error report with code 0",
             [](String& s) { s.Format("エラーが発生しました。\nCode 0x%x :%s", 0u, "データ解凍に失敗しました。"); },
             "エラーが発生しました。\nCode 0x0 :データ解凍に失敗しました。", kAnyCapacity},
            {"double-byte text alone", [&](String& s) { s.Format(finished.c_str()); },
             finished, RoundedUp(finished.size())},
            {"empty format", [](String& s) { s.Format(""); }, "", 64},
        },
        "old text that Format replaces");
    // The literals really are code page 932 bytes with 0x5C trail bytes.
    EXPECT_STREQ("表", "\x95\x5C");
    EXPECT_STREQ("ソ", "\x83\x5C");
}

TEST(Format, ConversionsAndTheirBound)
{
    const std::string hundred(100, 'h');
    const std::string sixtyTwo(62, 'p');
    const std::string thirty(30, 't');
    CheckRows(
        {
            {"null string", [](String& s) { s.Format("%s", static_cast<const char*>(nullptr)); }, "(null)", 64},
            {"doubled percent counts 1",
             [&](String& s) { s.Format((sixtyTwo + "%%").c_str()); }, sixtyTwo + "%", 64},
            {"precision cuts bound and output",
             [&](String& s) { s.Format("%.3s", hundred.c_str()); }, "hhh", 64},
            {"precision from the list", [](String& s) { s.Format("%.*s", 2, "abcdef"); }, "ab", 64},
            {"width widens bound and output", [](String& s) { s.Format("%100s", "a"); },
             std::string(99, ' ') + "a", 128},
            {"left-justified width", [](String& s) { s.Format("%-4s|", "ab"); }, "ab  |", 64},
            // 30 + 2 for '#' + 32: past 63.
            {"hash adds the prefix",
             [&](String& s) { s.Format((thirty + "%#x").c_str(), 255); }, thirty + "0xff", 128},
            {"without hash", [&](String& s) { s.Format((thirty + "%x").c_str(), 255); }, thirty + "ff", 64},
            {"decimal", [](String& s) { s.Format("%d|%i|%u", -12, 34, 56u); }, "-12|34|56", 128},
            {"minimum", [](String& s) { s.Format("%d", INT32_MIN); }, "-2147483648", 64},
            {"upper hex and octal", [](String& s) { s.Format("%X %o", 0xABCu, 8u); }, "ABC 10", 128},
            {"I64", [](String& s) { s.Format("%I64d", int64_t(-9223372036854775807LL - 1)); },
             "-9223372036854775808", 64},
            {"I64 then a string",
             [](String& s) { s.Format("%I64x %s", uint64_t(0x123456789ABCDEFULL), "end"); },
             "123456789abcdef end", 64},
            {"star width", [](String& s) { s.Format("%*d", 5, 42); }, "   42", 64},
            {"characters", [](String& s) { s.Format("%c%c", 'o', 'k'); }, "ok", 64},
            {"fixed", [](String& s) { s.Format("%.2f", 3.14159); }, "3.14", 64},
            {"fixed default precision", [](String& s) { s.Format("%f", 1.5); }, "1.500000", 64},
            {"exponent", [](String& s) { s.Format("%e", 1.0); }, Reference("%e", 1.0), 192},
            {"general", [](String& s) { s.Format("%g", 0.5); }, "0.5", 192},
            {"wide string", [](String& s) { s.Format("%ls|%S", L"wide", L"too"); }, "wide|too", 64},
            {"narrow h string", [](String& s) { s.Format("%hs", "narrow"); }, "narrow", 64},
        },
        nullptr);
}

TEST(Format, OutputBeyondTheBoundStaysInside)
{
    CheckRows(
        {
            {"exponent with a long precision", [](String& s) { s.Format("%.200e", 1.0); },
             Reference("%.200e", 1.0), kAnyCapacity},
            // Bound 191, room 192: the exponent's sign and digits do not fit.
            {"exponent just past the room", [](String& s) { s.Format("%.191e", 1.0); },
             Reference("%.191e", 1.0), kAnyCapacity},
            {"upper exponent just past the room", [](String& s) { s.Format("%.191E", 2.0); },
             Reference("%.191E", 2.0), kAnyCapacity},
            // The runtime's "C" locale cannot convert these: nothing is
            // appended rather than a half-written text.
            {"wide string outside ASCII", [](String& s) { s.Format("[%ls]", L"\xFF21\xFF22"); }, "",
             kAnyCapacity},
            {"string with I64 size", [](String& s) { s.Format("%I64s", "counted as nothing"); },
             Reference("%I64s", "counted as nothing"), kAnyCapacity},
            {"general with a long precision", [](String& s) { s.Format("%.150g", 1.0 / 3); },
             Reference("%.150g", 1.0 / 3), kAnyCapacity},
            {"upper exponent then a string", [](String& s) { s.Format("%E %s", 1e300, "tail"); },
             Reference("%E %s", 1e300, "tail"), kAnyCapacity},
            {"negative width from the list", [](String& s) { s.Format("%*d|", -100, 7); },
             "7" + std::string(99, ' ') + "|", kAnyCapacity},
            {"negative precision from the list", [](String& s) { s.Format("%.*s", -1, "abc"); }, "abc",
             kAnyCapacity},
            {"wide fixed", [](String& s) { s.Format("%5000.1f", 2.5); }, Reference("%5000.1f", 2.5),
             kAnyCapacity},
            {"huge value fixed", [](String& s) { s.Format("%f", 1e308); }, Reference("%f", 1e308),
             kAnyCapacity},
            {"long fixed precision", [](String& s) { s.Format("%.6000f", 0.1); },
             Reference("%.6000f", 0.1), kAnyCapacity},
            {"unknown conversion", [](String& s) { s.Format("a%yb"); }, Reference("a%yb"), kAnyCapacity},
            {"single percent at the end", [](String& s) { s.Format("abc%"); }, Reference("abc%"),
             kAnyCapacity},
        },
        nullptr);
}

TEST(Format, AppendFormatKeepsTextAndCursor)
{
    String s;
    s.Assign("C:\\Program Files");
    s.cursor = s.text + 3;
    s.AppendFormat("\\%s", "app");
    EXPECT_STREQ(s.text, "C:\\Program Files\\app");
    EXPECT_EQ(s.length, 20);
    EXPECT_EQ(s.cursor, s.text + 3);
    EXPECT_EQ(s.capacity, 64);

    // Growth moves the text; the cursor keeps its offset.
    s.AppendFormat("%100s", "x");
    EXPECT_EQ(s.length, 120);
    EXPECT_EQ(s.capacity, 128);
    EXPECT_EQ(s.cursor, s.text + 3);
    EXPECT_EQ(strncmp(s.text, "C:\\Program Files\\app ", 21), 0);

    // After a platform call filled the buffer, the written text is measured.
    String filled;
    filled.Assign(nullptr, 100);
    lstrcpyA(filled.text, "abc");
    filled.AppendFormat("%d", 7);
    EXPECT_STREQ(filled.text, "abc7");
    EXPECT_EQ(filled.length, 4);

    String none;
    none.AppendFormat("%s", "x");
    EXPECT_STREQ(none.text, "x");
    EXPECT_EQ(none.cursor, none.text);
}

TEST(Format, ArgumentsFromTheStringItself)
{
    const std::string sixty(60, 'a');
    String s;
    s.Assign(sixty.c_str());
    s.AppendFormat("%s", s.text);  // grows while reading its own old block
    EXPECT_EQ(std::string(s.text), sixty + sixty);

    String t;
    t.Assign("inner");
    t.Format("[%s]", t.text);
    EXPECT_STREQ(t.text, "[inner]");
    EXPECT_EQ(t.cursor, t.text);
}

TEST(Format, GrowthFailureLeavesNoBuffer)
{
    struct FailRow {
        const char* name;
        std::function<void(String&)> run;
    };
    const FailRow rows[] = {
        {"Format", [](String& s) { s.Format("%2000000000d", 1); }},
        {"AppendFormat", [](String& s) { s.AppendFormat("%2000000000d", 1); }},
        {"bound past 32 bits", [](String& s) { s.AppendFormat("%2147483647d%2147483647d", 1, 2); }},
    };
    for (const FailRow& row : rows) {
        String s;
        s.Assign("text");
        bool raised = false;
        try {
            row.run(s);
        } catch (const OCException& e) {
            raised = true;
            EXPECT_EQ(e.code, 0u) << row.name;
        }
        EXPECT_TRUE(raised) << row.name;
        EXPECT_EQ(s.text, nullptr) << row.name;
        EXPECT_EQ(s.cursor, nullptr) << row.name;
        EXPECT_EQ(s.capacity, 0) << row.name;
    }
}
