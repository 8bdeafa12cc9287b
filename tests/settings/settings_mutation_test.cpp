// Random and corrupted settings texts: every search ends, never touches the
// text, and whatever it returns could only have come from a key line.

#include "settings/settings_reader.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "base/multibyte.h"
#include "base/string.h"

namespace {

// "=" can never begin a found value, so this marks "nothing found".
const char kUnchanged[] = "=unchanged";

const char* const kSections[] = {"update", "other", "表", "", "UPDATE"};
const char* const kKeys[] = {"Name", "n", "表", "x", "NAME", "Title"};

std::string Piece(std::mt19937& rng, bool asciiOnly)
{
    static const std::vector<std::string> ascii = {
        "[", "]", "'", "\r", "\n", "\r\n", "\t", "=", " ", "\\", "\\n", "\\t", "n", "t", "x",
        "Name", "name", "Title=", "[update]", "[other]", "[UPDATE", "Name=", "=Foo", "Bar"};
    static const std::vector<std::string> bytes = {
        "表", "ソ", "値", "\x81", "\x95", "\x83", "\xFF", "\x80", "\xE0", "\xFC", "\x5C",
        std::string(1, '\0'), "[表]", "表n", "ソ\\t"};
    std::uniform_int_distribution<size_t> pick(0, ascii.size() + (asciiOnly ? 0 : bytes.size()) - 1);
    const size_t i = pick(rng);
    return i < ascii.size() ? ascii[i] : bytes[i - ascii.size()];
}

std::string RandomText(std::mt19937& rng, bool asciiOnly)
{
    std::uniform_int_distribution<int> count(0, 40);
    std::string text;
    for (int n = count(rng); n > 0; --n)
        text += Piece(rng, asciiOnly);
    return text;
}

std::string Corrupt(std::string text, std::mt19937& rng)
{
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> kind(0, 3);
    std::uniform_int_distribution<int> edits(1, 8);
    for (int n = edits(rng); n > 0; --n) {
        std::uniform_int_distribution<size_t> at(0, text.size());
        const size_t where = at(rng);
        switch (kind(rng)) {
        case 0:
            if (where < text.size())
                text[where] = char(byte(rng));
            break;
        case 1:
            text.insert(where, 1, char(byte(rng)));
            break;
        case 2:
            text.erase(where, 3);
            break;
        default:
            text.resize(where);
            break;
        }
    }
    return text;
}

const std::vector<std::string> kValidTexts = {
    "'settings\r\n[update]\r\nBrand=Acme\r\nName=Tool\r\nTitle=表ソ\\n2\r\nfile=a.exe;b.pak\r\n",
    "Name=Top\n[other]\nList=[a]\nName=O\n[update]\n\tName\t=\tU\tremark\n",
    "[update\rName=\r'x\rName=Later\n[表]\n表=値\n",
};

String MakeText(const std::string& bytes)
{
    String text;
    if (!bytes.empty())
        text.Assign(bytes.data(), int32_t(bytes.size()));
    return text;
}

std::string Printable(const std::string& bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += char(c);
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string Upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

std::string Replaced(std::string s, const std::string& from, const std::string& to)
{
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// Searches and checks what holds for any text; returns the value found.
std::string CheckedSearch(const std::string& bytes, const char* section, const char* key)
{
    String text = MakeText(bytes);
    const std::string visible = text.text != nullptr ? std::string(text.text) : std::string();
    const char* const buffer = text.text;

    String value;
    value.Assign(kUnchanged);
    FindSettingValue(section, key, value, text);

    const std::string where = "text \"" + Printable(bytes) + "\" [" + section + "] " + key;
    EXPECT_EQ(text.text, buffer) << where;
    if (text.text != nullptr) {
        EXPECT_EQ(std::string(text.text), visible) << "text changed: " << where;
        EXPECT_TRUE(text.cursor >= text.text && text.cursor <= text.text + visible.size())
            << "cursor outside the text: " << where;
    }

    EXPECT_NE(value.text, nullptr) << where;
    if (value.text == nullptr)
        return std::string();
    const std::string found = value.text;
    if (found == kUnchanged)
        return found;

    EXPECT_FALSE(found.empty()) << where;
    // Stepping as the reader does: a lone lead byte takes the next byte as
    // its trail, even a CR, LF or tab, so only whole characters count here.
    // A LF standing alone was written as backslash-n; undoing that gives
    // bytes of the text.
    std::string raw;
    const std::string shown = "value \"" + Printable(found) + "\": " + where;
    for (const char* p = found.c_str(); *p != '\0';) {
        const char* next = NextChar(p);
        if (next == p)
            break;
        if (next - p == 1) {
            EXPECT_TRUE(*p != '\r' && *p != '\t') << shown;
            EXPECT_FALSE(p == found.c_str() && (*p == ' ' || *p == '=')) << shown;
        }
        raw += (next - p == 1 && *p == '\n') ? std::string("\\n") : std::string(p, next);
        p = next;
    }
    EXPECT_NE(visible.find(raw), std::string::npos) << "not from the text: " << shown;
    return found;
}

void CheckText(const std::string& bytes, std::mt19937& rng)
{
    std::uniform_int_distribution<size_t> section(0, std::size(kSections) - 1);
    std::uniform_int_distribution<size_t> key(0, std::size(kKeys) - 1);
    for (int n = 0; n < 2; ++n) {
        const char* s = kSections[section(rng)];
        const char* k = kKeys[key(rng)];
        const std::string found = CheckedSearch(bytes, s, k);
        // Case never matters for ASCII sections and keys.
        EXPECT_EQ(CheckedSearch(bytes, Upper(s).c_str(), Upper(k).c_str()), found)
            << "case changed the result: " << Printable(bytes) << " [" << s << "] " << k;
    }
    // A section appended behind the text is always reached.
    if (bytes.find('\0') == std::string::npos) {
        EXPECT_EQ(CheckedSearch(bytes + "x\n[update]\nZq9=Z\n", "update", "Zq9"), "Z")
            << "appended section missed: " << Printable(bytes);
    }
}

}  // namespace

TEST(SettingsMutation, RandomTexts)
{
    std::mt19937 rng(20240517);
    for (int i = 0; i < 4000; ++i)
        CheckText(RandomText(rng, false), rng);
}

TEST(SettingsMutation, CorruptedTexts)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i)
        CheckText(Corrupt(kValidTexts[size_t(i) % kValidTexts.size()], rng), rng);
}

TEST(SettingsMutation, RandomBinary)
{
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> size(0, 300);
    for (int i = 0; i < 2000; ++i) {
        std::string bytes;
        for (int n = size(rng); n > 0; --n)
            bytes += char(byte(rng));
        CheckText(bytes, rng);
    }
}

TEST(SettingsMutation, LineEndsAreInterchangeable)
{
    // Without comments (which look for a LF) every CR, LF and CR LF is the
    // same line break.
    std::mt19937 rng(3);
    for (int i = 0; i < 3000; ++i) {
        const std::string bytes = RandomText(rng, true);
        if (bytes.find('\'') != std::string::npos)
            continue;
        const std::string lf = Replaced(Replaced(bytes, "\r\n", "\n"), "\r", "\n");
        const std::string cr = Replaced(lf, "\n", "\r");
        for (const char* key : {"Name", "n", "x", "Title"}) {
            const std::string found = CheckedSearch(bytes, "update", key);
            EXPECT_EQ(CheckedSearch(lf, "update", key), found) << Printable(bytes) << " key " << key;
            EXPECT_EQ(CheckedSearch(cr, "update", key), found) << Printable(bytes) << " key " << key;
        }
    }
}
