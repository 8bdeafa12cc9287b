#include "updtool/folders/settings_lint.h"

#include <algorithm>
#include <cstring>
#include <windows.h>
#include "settings/settings_reader.h"
#include "settings/update_settings.h"
#include "base/shown_text.h"
#include "base/text_932.h"

namespace {

const char* const settingKeys[] = {"Brand", "Name", "Title", "Version", "file"};
const size_t keyCount = sizeof settingKeys / sizeof settingKeys[0];

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameNoCase(const std::string& a, const char* b)
{
    return String().Assign(a.c_str()).CompareNoCase(b) == 0;
}

// Whether text holds sub starting on a character boundary.
bool Holds(const std::string& text, const char* sub)
{
    return String().Assign(text.c_str()).FindText(sub) != nullptr;
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

// One of the keys: the first line of [update] that gives it, and the first
// the updater reads for it.
class KeyLines {
public:
    size_t expectedLine = 0, readLine = 0;
    std::string expected;
    bool explained = false;  // a warning told why the updater reads it otherwise

    virtual ~KeyLines() {}
};

// The lint of one file: each line as an INI reader takes it, set beside
// what the updater's reader recorded for it.
class SettingsLint {
public:
    SettingsLint(const std::string& text, Problems& problems) : text_(text), problems_(problems)
    {
        String loaded;
        loaded.Assign(text.c_str());
        RecordSettings(settingsSection, loaded, record_);
    }
    virtual ~SettingsLint() {}

    // Lines as an editor numbers them: CR LF, a lone LF and a lone CR each end one.
    void Lines()
    {
        size_t number = 0, start = 0, next = 0;
        for (size_t i = 0; i <= text_.size(); ++i) {
            if (i < text_.size() && text_[i] != '\r' && text_[i] != '\n')
                continue;
            const std::string line = text_.substr(start, i - start);
            // How the reader took the line: the part of its record that
            // begins there, or null when it passed the line over.
            while (next < record_.parts.size() && record_.parts[next].offset < start)
                ++next;
            const SettingsPartRead* read =
                next < record_.parts.size() && record_.parts[next].offset == start ? &record_.parts[next]
                                                                                   : nullptr;
            if (i + 1 < text_.size() && text_[i] == '\r' && text_[i + 1] == '\n')
                ++i;
            start = i + 1;
            // A byte-order mark is an error of its own (Utf8Evidence).
            const bool marked = ++number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0;
            const std::string trimmed = Trim(marked ? line.substr(3) : line);
            if (trimmed.empty() || std::strchr(";#'", trimmed[0]))
                continue;
            if (trimmed[0] == '[')
                HeaderLine(number, line, trimmed, marked ? nullptr : read);
            else
                KeyLine(number, line, trimmed, read);
        }
    }

    // Keys whose final reading differs from the file's first line for them,
    // where no line explained it.
    void Finally()
    {
        for (size_t k = 0; k < keyCount; ++k) {
            const std::string read = FinalRead(settingKeys[k]);
            const KeyLines& key = keys_[k];
            if (key.explained || read == key.expected)
                continue;
            std::string message = std::string(settingKeys[k]) + ": the updater reads ";
            message += read.empty() ? std::string("nothing (the default is used)") : Quoted(read);
            message += key.expectedLine ? ", where line " + std::to_string(key.expectedLine) + " gives " +
                                              Quoted(key.expected)
                                        : ", where no line of [update] gives it";
            problems_.Warning(message);
        }
    }

private:
    void HeaderLine(size_t number, const std::string& line, const std::string& trimmed,
                    const SettingsPartRead* read)
    {
        const size_t close = trimmed.find(']');
        const std::string name =
            Trim(close == std::string::npos ? trimmed.substr(1) : trimmed.substr(1, close - 1));
        afterHeader_ = true;
        inUpdate_ = SameNoCase(name, settingsSection);
        // Passed over (Finally tells), or read as the section.
        if (!inUpdate_ || read == nullptr ||
            (read->part == SettingsHeader && read->name.CompareNoCase(settingsSection) == 0))
            return;
        problems_.Warning("line " + std::to_string(number) + ": " + Quoted(line) +
                          " is not read as the section \"update\": " +
                          (line[0] != '[' ? std::string("a header must begin with \"[\"")
                                               : "the name read is " + Quoted(read->name)));
    }

    void KeyLine(size_t number, const std::string& line, const std::string& trimmed,
                 const SettingsPartRead* part)
    {
        const size_t separator = trimmed.find_first_of("=\t");
        if (separator == std::string::npos)
            return;
        const std::string name = Trim(trimmed.substr(0, separator));
        const std::string value = Trim(trimmed.substr(separator + 1));
        size_t k = 0;
        while (k < keyCount && !SameNoCase(name, settingKeys[k]))
            ++k;
        if (k == keyCount || value.empty() || (afterHeader_ && !inUpdate_))
            return;
        KeyLines& key = keys_[k];
        if (afterHeader_ && key.expectedLine == 0) {
            key.expectedLine = number;
            key.expected = value;
        }
        // A line the reader passed over is told of by Finally.
        if (part == nullptr || part->part != SettingsKey)
            return;
        const std::string read =
            part->name.CompareNoCase(settingKeys[k]) == 0 ? TextOf(part->value) : "";
        const std::string where = "line " + std::to_string(number) + ": " + Quoted(line);
        std::string warning;
        if (!afterHeader_) {
            if (!read.empty())
                warning = where + " stands above the first section header: the updater reads it "
                                  "for [update] all the same";
        } else if (!read.empty() && key.readLine != 0) {
            warning = where + ": " + settingKeys[k] + " is given again; the updater reads only "
                      "the first (line " + std::to_string(key.readLine) + ")";
        } else {
            if (!read.empty())
                key.readLine = number;
            if (read != value)
                warning = where + (read.empty() ? std::string(" is not read as ") + settingKeys[k]
                                                : std::string(": the updater reads ") +
                                                      settingKeys[k] + " as " + Quoted(read)) +
                          ": " + WhyDifferent(line, read);
        }
        if (!warning.empty()) {
            problems_.Warning(warning);
            key.explained = true;
        }
    }

    // What the updater's search for key finds: the first line it reads for it.
    std::string FinalRead(const char* key) const
    {
        for (const SettingsPartRead& part : record_.parts)
            if (part.part == SettingsKey && !part.value.IsEmpty() && part.name.CompareNoCase(key) == 0)
                return TextOf(part.value);
        return std::string();
    }

    const std::string& text_;
    Problems& problems_;
    SettingsRecord record_;
    KeyLines keys_[keyCount];
    bool inUpdate_ = false, afterHeader_ = false;
};

}  // namespace

void LintSettings(const std::string& bytes, Problems& problems)
{
    const std::string utf8 = Utf8Evidence(bytes);
    if (!utf8.empty())
        problems.Error("update.ini is saved as UTF-8 (" + utf8 + "): the updater reads it as "
                       "code page 932 (Shift-JIS), so its non-ASCII texts read as other "
                       "characters; save it as Shift-JIS");
    const std::string text = bytes.substr(0, bytes.find('\0'));
    if (text.size() < bytes.size() &&
        bytes.find_first_not_of(std::string("\0\r\n \t", 5), text.size()) != std::string::npos)
        problems.Warning("update.ini holds a NUL byte at offset " + std::to_string(text.size()) +
                         ": the updater reads nothing after it");
    SettingsLint lint(text, problems);
    lint.Lines();
    lint.Finally();
}

std::string Utf8Evidence(const std::string& bytes)
{
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return "it begins with a UTF-8 byte-order mark";
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string();
    // The system's decoder refuses overlong forms, surrogates and cut sequences.
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                           int(bytes.size()), nullptr, 0);
    if (length <= 0)
        return std::string();  // not UTF-8
    std::wstring decoded(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), &decoded[0], length);
    // From U+0800 up a character takes three or four bytes.
    const bool longSequence =
        std::any_of(decoded.begin(), decoded.end(), [](wchar_t c) { return c >= 0x800; });
    std::wstring wide;
    if (longSequence || !WideFrom932Exactly(bytes.data(), uint32_t(bytes.size()), wide))
        return "its non-ASCII text is UTF-8, not code page 932";
    return std::string();
}
