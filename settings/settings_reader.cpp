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

#include "settings/settings_reader.h"

#include <cstdint>
#include <cstring>

#include "base/exceptions.h"
#include "base/messages.h"
#include "base/multibyte.h"
#include "system/run_log.h"
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

// Reads one key line: its key (up to the first tab or "=") and its value.
// False, with lineKey and lineValue as far as read, unless the line answers
// for key; a null key reads every line through.
bool ReadKeyLine(String& line, const char* key, String& lineKey, String& lineValue)
{
    line.Replace("\\n", "\n");
    line.Replace("\\t", "\t");

    char* keyStart = line.SkipAny("\t");
    if (keyStart == nullptr)
        return false;
    char* separator = line.FindAny("\t=");
    if (separator == nullptr || separator == keyStart)
        return false;

    line.CopyRange(lineKey, keyStart, separator);
    const bool matches = key != nullptr && !lineKey.IsEmpty() && lineKey.CompareNoCase(key) == 0;
    if (!matches && key != nullptr)
        return false;

    char* valueStart = line.SkipAny("\t =");
    if (valueStart == nullptr)
        return false;
    char* valueEnd = line.Find('\t');
    if (valueEnd == nullptr)
        valueEnd = line.text + std::strlen(line.text);
    if (valueEnd == valueStart)
        return false;

    line.CopyRange(lineValue, valueStart, valueEnd);
    return matches;
}

// One search through a loaded text, line by line from its cursor, once
// round. With a record, what the first time round reads and passes over is
// kept there.
class SettingsScan {
public:
    SettingsScan(String& text, const char* section, SettingsRecord* record)
        : text_(text), section_(section), record_(record), start_(text.text),
          end_(text.text + std::strlen(text.text)), passed_(false), wrapped_(false),
          sectionStart_(-1), noLineFeedFrom_(nullptr)
    {
        if (text.cursor == nullptr || text.cursor < start_ || text.cursor > end_)
            text.cursor = start_;
    }
    virtual ~SettingsScan() {}

    // The next line, or false at the end of the search.
    bool NextLine(char*& lineStart, char*& lineEnd)
    {
        for (;;) {
            lineStart = text_.SkipAny("\r\n");
            if (lineStart != nullptr)
                break;
            if (passed_)
                return false;
            passed_ = wrapped_ = true;
            text_.cursor = start_;
        }
        lineEnd = text_.FindAny("\r\n");
        if (lineEnd == nullptr)
            lineEnd = end_;
        text_.cursor = lineEnd;
        return true;
    }

    // A header line: the search goes on inside a matching section, or at the
    // next "[" of the text. False when there is none.
    bool Header(String& line, char* lineStart, char* lineEnd)
    {
        String name;
        HeaderName(line, name);
        Keep(SettingsHeader, lineStart, lineEnd, name, String());
        if (!name.IsEmpty() && name.CompareNoCase(section_) == 0) {
            sectionStart_ = int32_t(lineStart - start_);
            passed_ = true;
            return true;
        }
        char* bracket = text_.Find('[');
        if (bracket == nullptr) {
            Keep(SettingsSkipped, lineEnd, end_, String(), String());
            return false;
        }
        // The "[" lies after this line's end, so there is a character before
        // it and the cursor still moves forward.
        text_.cursor = CharBefore(lineEnd, bracket);
        Keep(SettingsSkipped, lineEnd, text_.cursor, String(), String());
        return true;
    }

    // A comment line: reading resumes at the first LF after it.
    void Comment(char* lineStart, char* lineEnd)
    {
        Keep(SettingsComment, lineStart, lineEnd, String(), String());
        // A comment with no LF after it means none after any later point
        // either; remembering that keeps a file of CR-ended comments from
        // being rescanned to its end once per line.
        if (noLineFeedFrom_ != nullptr && lineEnd >= noLineFeedFrom_)
            return;
        if (text_.Find('\n') == nullptr)
            noLineFeedFrom_ = lineEnd;
        else
            Keep(SettingsHidden, lineEnd, text_.cursor, String(), String());
    }

    void Keep(SettingsPart part, const char* from, const char* to, const String& name,
              const String& value)
    {
        if (record_ == nullptr || wrapped_ || to <= from)
            return;
        record_->parts.emplace_back(part, uint32_t(from - start_), uint32_t(to - from));
        record_->parts.back().name = name;
        record_->parts.back().value = value;
    }

    // The cursor back on the matching section's header, when one was met.
    void Finish()
    {
        // value may be this very String; only an offset that is still inside
        // the text is restored.
        if (sectionStart_ >= 0 && text_.text != nullptr &&
            sectionStart_ <= int32_t(std::strlen(text_.text)))
            text_.cursor = text_.text + sectionStart_;
    }

private:
    String& text_;
    const char* section_;
    SettingsRecord* record_;
    char* const start_;
    char* const end_;
    bool passed_, wrapped_;
    int32_t sectionStart_;
    char* noLineFeedFrom_;
};

// The search for key (null: none, every line read through).
void Search(const char* section, const char* key, String& value, String& text,
            SettingsRecord* record)
{
    if (text.text == nullptr || section == nullptr)
        return;
    SettingsScan scan(text, section, record);
    char* lineStart = nullptr;
    char* lineEnd = nullptr;
    while (scan.NextLine(lineStart, lineEnd)) {
        bool found = false;
        try {
            // Copied by count: CopyRange would measure the whole text for
            // every line.
            String line;
            line.Assign(lineStart, int32_t(lineEnd - lineStart));
            if (line.IsEmpty())
                continue;  // only if the copy failed; the cursor moved on
            if (line.text[0] == '[') {
                if (!scan.Header(line, lineStart, lineEnd))
                    break;
                continue;
            }
            if (line.text[0] == '\'') {
                scan.Comment(lineStart, lineEnd);
                continue;
            }
            String lineKey, lineValue;
            found = ReadKeyLine(line, key, lineKey, lineValue);
            scan.Keep(SettingsKey, lineStart, lineEnd, lineKey, lineValue);
            if (found)
                value = lineValue;
        } catch (OCException&) {
            // A line too long to copy is skipped like any line that does not
            // parse; the cursor is already past it.
            text.cursor = lineEnd;
        }
        if (found)
            break;
    }
    scan.Finish();
}

}  // namespace

SettingsPartRead::SettingsPartRead(SettingsPart part, uint32_t offset, uint32_t length)
    : part(part), offset(offset), length(length)
{
}

SettingsPartRead::~SettingsPartRead() {}

SettingsRecord::SettingsRecord() {}

SettingsRecord::~SettingsRecord() {}

void FindSettingValue(const char* section, const char* key, String& value, String& settingsText)
{
    if (key != nullptr)
        Search(section, key, value, settingsText, nullptr);
}

void RecordSettings(const char* section, String& settingsText, SettingsRecord& record)
{
    String none;
    settingsText.cursor = settingsText.text;
    Search(section, nullptr, none, settingsText, &record);
}

HeldSettings heldSettings;

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
    uint32_t got = 0;
    if (settings.text != nullptr && uint32_t(settings.capacity) >= size) {
        got = file.Read(settings.text, size);
        if (got > size)
            got = size;
        settings.text[got] = '\0';
        settings.length = int32_t(std::strlen(settings.text));
        settings.cursor = settings.text;
    }
    const std::string from = !file.file ? std::string("could not be opened")
                             : file.inArchive ? "entry of archive " + LogText(file.path)
                                              : "plain file";
    file.Close();
    if (heldSettings.held && (size != heldSettings.size || got != size ||
                              Sha256::Of(settings.text, got) != heldSettings.digest)) {
        String message;
        message.Format(kFileAlteredText, fileName);
        LogEvent("signed update: refused: " + LogText932(message.text));
        SetLastError(ERROR_FILE_CORRUPT);
        throw OCErrorException(message.text);
    }

    FindSettingValue(section, key, value, settings);
    LogEvent(std::string("setting [") + section + "] " + key + " = \"" + LogText932(value.text) +
             "\" (" + fileName + ": " + from + ")");
}
