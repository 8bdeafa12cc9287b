#include "updtool/settings_lint.h"

#include <cstring>
#include <windows.h>
#include "base/multibyte.h"
#include "update/settings_reader.h"
#include "update/update_settings.h"
#include "updtool/report_text.h"

namespace {

const char* const settingKeys[] = {"Brand", "Name", "Title", "Version", "file"};
const size_t keyCount = sizeof settingKeys / sizeof settingKeys[0];

class Line {
public:
    size_t number;
    std::string text;

    Line(size_t number, const std::string& text) : number(number), text(text) {}
    virtual ~Line() {}
};

// Lines as an editor numbers them: CR LF, a lone LF and a lone CR each end one.
std::vector<Line> SplitLines(const std::string& text)
{
    std::vector<Line> lines;
    size_t number = 1, start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(number++, text.substr(start, i - start));
        if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    return lines;
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameNoCase(const std::string& a, const char* b)
{
    String text;
    text.Assign(a.c_str());
    return text.CompareNoCase(b) == 0;
}

// What the updater's reader takes from text for key in section "update";
// empty when nothing.
std::string ReadByUpdater(const std::string& text, const char* key)
{
    String settingsText;
    settingsText.Assign(text.c_str());
    String value;
    FindSettingValue(settingsSection, key, value, settingsText);
    return TextOf(value);
}

// The section name the updater's reader takes from a header line.
std::string HeaderRead(const std::string& line)
{
    // Character by character: "]" may be the trail byte of a double-byte
    // character.
    const char* const start = line.c_str();
    size_t last = 0;
    for (const char* p = start + 1; *p; p = NextChar(p)) {
        if (*p == ']')
            return line.substr(1, size_t(p - start) - 1);
        last = size_t(p - start);
    }
    // Without "]" the name leaves out the line's last character.
    return last > 1 ? line.substr(1, last - 1) : std::string();
}

// Whether text holds sub starting on a character boundary.
bool Holds(const std::string& text, const char* sub)
{
    String scanned;
    scanned.Assign(text.c_str());
    return scanned.FindText(sub) != nullptr;
}

// Why the updater reads a key line otherwise than an INI reader would.
std::string WhyDifferent(const std::string& line, const std::string& read)
{
    const size_t start = line.find_first_not_of('\t');
    if (start != std::string::npos && line[start] == ' ')
        return "spaces before the key belong to the key";
    const size_t separator = line.find_first_of("\t=", start);
    if (separator != std::string::npos && separator > start && line[separator - 1] == ' ')
        return "a space before the separator belongs to the key (the key read is " +
               Quoted(line.substr(start, separator - start)) + ")";
    if (read.empty())
        return "it is not read";
    if (Holds(line, "\\n"))
        return "\"\\n\" is read as a line break";
    if (line.find('\t', separator + 1) != std::string::npos || Holds(line, "\\t"))
        return "the value ends at a tab";
    if (read.back() == ' ')
        return "the spaces after the value belong to it";
    return "the updater's reader splits the line otherwise";
}

std::string LineNumber(size_t number)
{
    return "line " + std::to_string(number);
}

}  // namespace

void LintSettings(const std::string& bytes, Problems& problems)
{
    std::string text = bytes.substr(0, bytes.find('\0'));
    if (text.size() < bytes.size() &&
        bytes.find_first_not_of(std::string("\0\r\n \t", 5), text.size()) != std::string::npos)
        problems.Warning("update.ini holds a NUL byte at offset " + std::to_string(text.size()) +
                         ": the updater reads nothing after it");
    std::string shown = text;  // what an editor shows
    // A byte-order mark is an error of its own (settings_encoding.h).
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        shown = text.substr(3);

    // The first line an INI reader takes for each key, and what the
    // updater reads from it.
    size_t expectedLine[keyCount] = {};
    std::string expected[keyCount];
    size_t readLine[keyCount] = {};
    bool explained[keyCount] = {};

    bool inUpdate = false, afterHeader = false;
    for (const Line& line : SplitLines(shown)) {
        const std::string trimmed = Trim(line.text);
        if (trimmed.empty() || std::strchr(";#'", trimmed[0]))
            continue;
        const std::string where = LineNumber(line.number) + ": " + Quoted(line.text);
        if (trimmed[0] == '[') {
            const size_t close = trimmed.find(']');
            const std::string name =
                Trim(close == std::string::npos ? trimmed.substr(1) : trimmed.substr(1, close - 1));
            afterHeader = true;
            inUpdate = SameNoCase(name, settingsSection);
            if (inUpdate && ReadByUpdater(line.text + "\nk=v", "k") != "v") {
                problems.Warning(where + " is not read as the section \"update\": " +
                                 (line.text[0] != '[' ? std::string("a header must begin with \"[\"")
                                                      : "the name read is " +
                                                            Quoted(HeaderRead(line.text))));
            }
            continue;
        }
        const size_t separator = trimmed.find_first_of("=\t");
        if (separator == std::string::npos)
            continue;
        const std::string key = Trim(trimmed.substr(0, separator));
        const std::string value = Trim(trimmed.substr(separator + 1));
        size_t k = 0;
        while (k < keyCount && !SameNoCase(key, settingKeys[k]))
            ++k;
        if (k == keyCount || value.empty() || (afterHeader && !inUpdate))
            continue;

        const std::string read = ReadByUpdater(line.text, settingKeys[k]);
        if (!afterHeader) {
            if (!read.empty()) {
                problems.Warning(where + " stands above the first section header: the updater "
                                         "reads it for [update] all the same");
                explained[k] = true;
            }
            continue;
        }
        if (expectedLine[k] == 0) {
            expectedLine[k] = line.number;
            expected[k] = value;
        }
        if (!read.empty() && readLine[k] != 0) {
            problems.Warning(where + ": " + settingKeys[k] + " is given again; the updater reads "
                             "only the first (" + LineNumber(readLine[k]) + ")");
            explained[k] = true;
            continue;
        }
        if (!read.empty())
            readLine[k] = line.number;
        if (read != value) {
            const std::string outcome =
                read.empty() ? std::string(" is not read as ") + settingKeys[k]
                             : std::string(": the updater reads ") + settingKeys[k] + " as " +
                                   Quoted(read);
            problems.Warning(where + outcome + ": " + WhyDifferent(line.text, read));
            explained[k] = true;
        }
    }

    for (size_t k = 0; k < keyCount; ++k) {
        const std::string read = ReadByUpdater(text, settingKeys[k]);
        if (explained[k] || read == expected[k])
            continue;
        std::string message = std::string(settingKeys[k]) + ": the updater reads ";
        message += read.empty() ? std::string("nothing (the default is used)") : Quoted(read);
        message += expectedLine[k] ? ", where " + LineNumber(expectedLine[k]) + " gives " +
                                         Quoted(expected[k])
                                   : ", where no line of [update] gives it";
        problems.Warning(message);
    }
}
