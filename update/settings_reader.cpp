// The settings file, update.ini: bytes of the ANSI code page (no byte-order
// mark), ending at the end of the file or at its first NUL.
//
//   - Lines end at any run of CR and LF bytes; blank lines vanish.
//   - "[name]" starts a section. Without "]" the name stops before the line's
//     last character ("[update" names "updat").
//   - "'" starts a comment. Reading resumes at the first LF after the line, so
//     a comment ending in a lone CR hides the lines up to the next LF.
//   - Anything else is a key line: leading tabs skipped, the key runs up to the
//     first tab or "=", the value starts after the following run of tabs,
//     spaces and "=" and ends before the next tab or at the line's end.
//     Backslash-n becomes a LF (kept in the value), then backslash-t a tab
//     (ends the value). Spaces are never trimmed; an empty value is ignored.
//   - Key lines above the first header answer for any section. Sections and
//     keys compare case-insensitively, character by character.
//
// A section that does not match is skipped by jumping to the next "[" in the
// text, wherever it stands; reading restarts on the character before it. All
// scanning goes through String's character-wise operations, so a Shift-JIS
// trail byte 0x5C is never read as a backslash.

#include "update/settings_reader.h"

#include <cstdint>
#include <cstring>

#include "base/exceptions.h"
#include "base/multibyte.h"
#include "pak/archive_file.h"

namespace {

// The character just before `target`, stepping from `from` (a character
// boundary before target), so the cursor never lands on a trail byte.
char* CharBefore(char* from, char* target)
{
    char* previous = from;
    char* p = from;
    while (p < target) {
        previous = p;
        char* next = NextChar(p);
        if (next == p)
            break;
        p = next;
    }
    return previous;
}

// The section name of a header line (which starts with "[").
void HeaderName(String& line, String& name)
{
    char* first = line.text + 1;
    line.cursor = first;
    char* close = line.Find(']');
    if (close == nullptr) {
        // No "]": the name leaves out the line's last character.
        close = CharBefore(first, line.text + std::strlen(line.text));
    }
    line.CopyRange(name, first, close);
}

// Searches one key line; true with `value` set when it answers for `key`.
bool MatchKeyLine(String& line, const char* key, String& value)
{
    line.Replace("\\n", "\n");
    line.Replace("\\t", "\t");

    char* keyStart = line.SkipAny("\t");
    if (keyStart == nullptr)
        return false;
    char* separator = line.FindAny("\t=");
    if (separator == nullptr || separator == keyStart)
        return false;

    String lineKey;
    line.CopyRange(lineKey, keyStart, separator);
    if (lineKey.IsEmpty() || lineKey.CompareNoCase(key) != 0)
        return false;

    char* valueStart = line.SkipAny("\t =");
    if (valueStart == nullptr)
        return false;
    char* valueEnd = line.Find('\t');
    if (valueEnd == nullptr)
        valueEnd = line.text + std::strlen(line.text);
    if (valueEnd == valueStart)
        return false;

    line.CopyRange(value, valueStart, valueEnd);
    return true;
}

}  // namespace

void FindSettingValue(const char* section, const char* key, String& value, String& settingsText)
{
    String& text = settingsText;
    if (text.text == nullptr || section == nullptr || key == nullptr)
        return;

    char* const start = text.text;
    char* const end = start + std::strlen(start);
    if (text.cursor == nullptr || text.cursor < start || text.cursor > end)
        text.cursor = start;

    bool passed = false;
    int32_t sectionStart = -1;
    // A comment with no LF after it means none after any later point either;
    // remembering that keeps a file of CR-ended comments from being rescanned
    // to its end once per line.
    char* noLineFeedFrom = nullptr;

    for (;;) {
        char* lineStart = text.SkipAny("\r\n");
        if (lineStart == nullptr) {
            if (passed)
                break;
            passed = true;
            text.cursor = start;
            continue;
        }

        char* lineEnd = text.FindAny("\r\n");
        if (lineEnd == nullptr)
            lineEnd = end;
        text.cursor = lineEnd;

        bool found = false;
        try {
            // Copied by count: CopyRange would measure the whole text for
            // every line.
            String line;
            line.Assign(lineStart, int32_t(lineEnd - lineStart));
            if (line.IsEmpty())
                continue;  // only if the copy failed; the cursor moved on

            if (line.text[0] == '[') {
                String name;
                HeaderName(line, name);
                if (!name.IsEmpty() && name.CompareNoCase(section) == 0) {
                    sectionStart = int32_t(lineStart - start);
                    passed = true;
                    continue;
                }
                char* bracket = text.Find('[');
                if (bracket == nullptr)
                    break;
                // The "[" lies after this line's end, so there is a character
                // before it and the cursor still moves forward.
                text.cursor = CharBefore(lineEnd, bracket);
                continue;
            }

            if (line.text[0] == '\'') {
                if (noLineFeedFrom != nullptr && lineEnd >= noLineFeedFrom)
                    continue;
                if (text.Find('\n') == nullptr)
                    noLineFeedFrom = lineEnd;
                continue;
            }

            found = MatchKeyLine(line, key, value);
        } catch (OCException&) {
            // A line too long to copy is skipped like any line that does not
            // parse; the cursor is already past it.
            text.cursor = lineEnd;
        }
        if (found)
            break;
    }

    // value may be this very String; only an offset that is still inside
    // the text is restored.
    if (sectionStart >= 0 && text.text != nullptr &&
        sectionStart <= int32_t(std::strlen(text.text)))
        text.cursor = text.text + sectionStart;
}

void ReadSetting(const char* section, const char* key, String& value, const char* fileName)
{
    ArchiveFile file;
    file.Open(fileName, ModeRead);  // nothing opened reads as size 0
    const uint32_t size = file.Size();

    String settings;
    // A file too large to hold is an error: read as empty, every setting
    // would keep its default and the run would report success.
    if (size >= 0x7FFFFFC0u)
        RaiseNoMemory();
    try {
        settings.Reserve(int32_t(size));
    } catch (OCException&) {
        RaiseNoMemory();
    }
    if (settings.text != nullptr && uint32_t(settings.capacity) >= size) {
        uint32_t got = file.Read(settings.text, size);
        if (got > size)
            got = size;
        settings.text[got] = '\0';
        settings.length = int32_t(std::strlen(settings.text));
        settings.cursor = settings.text;
    }
    file.Close();

    FindSettingValue(section, key, value, settings);
}
