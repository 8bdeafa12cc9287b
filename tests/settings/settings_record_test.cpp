// What the settings reader records of a text for the publisher's lint: each
// stretch it reads or passes over, once, in text order, read exactly as its
// search reads it.

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "settings/settings_reader.h"

namespace {

// A part as "kind@offset+length name=value" (name and value only where read).
std::string Shown(const SettingsPartRead& part)
{
    static const char* const kinds[] = {"header", "comment", "key", "hidden", "skipped"};
    std::string shown = std::string(kinds[part.part]) + "@" + std::to_string(part.offset) + "+" +
                        std::to_string(part.length);
    if (part.part == SettingsHeader || part.part == SettingsKey)
        shown += " " + std::string(TextOf(part.name)) + "=" + TextOf(part.value);
    return shown;
}

}  // namespace

TEST(SettingsRecord, KeepsWhatTheSearchReadsAndPassesOver)
{
    const struct {
        const char* label;
        std::string text;
        std::vector<std::string> parts;
    } rows[] = {
        {"a plain section", "[update]\r\nName=A\r\n", {"header@0+8 update=", "key@10+6 Name=A"}},
        {"keys above the header, spaces kept", "Name = A\r\n[update]\r\n",
         {"key@0+8 Name =A", "header@10+8 update="}},
        {"a header without ] loses its last character", "[update\nfile=x\n",
         {"header@0+7 updat=", "skipped@7+8"}},
        {"another section is passed over to the character before the next [",
         "[other]\nName=B\n[update]\nName=C\n",
         {"header@0+7 other=", "skipped@7+7", "header@15+8 update=", "key@24+6 Name=C"}},
        {"a comment ending in a lone CR hides the next line", "[update]\n'old\rfile=x\nName=N\n",
         {"header@0+8 update=", "comment@9+4", "hidden@13+7", "key@21+6 Name=N"}},
        {"a tab ends the value, backslash-n is a line break", "[update]\nTitle=a\\nb\tc\n",
         {"header@0+8 update=", "key@9+12 Title=a\nb"}},
        {"a line without separator has no key", "[update]\njunk\n", {"header@0+8 update=", "key@9+4 ="}},
    };
    for (const auto& row : rows) {
        String text;
        text.Assign(row.text.c_str());
        SettingsRecord record;
        RecordSettings("update", text, record);
        std::vector<std::string> got;
        for (const SettingsPartRead& part : record.parts)
            got.push_back(Shown(part));
        EXPECT_EQ(row.parts, got) << row.label;
        // Recording finds no key: the searches the updater makes still do.
        String value;
        text.cursor = text.text;
        FindSettingValue("update", "Name", value, text);
        std::string first;
        for (const SettingsPartRead& part : record.parts)
            if (first.empty() && part.part == SettingsKey && part.name.CompareNoCase("Name") == 0)
                first = TextOf(part.value);
        EXPECT_EQ(first, std::string(TextOf(value))) << row.label;
    }
}
