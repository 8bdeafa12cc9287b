#pragma once
// A command's result, written once: as text for a person, or as one JSON
// document (--json). Each call gives a value with the words for it, and the
// mode picks which is kept, so the text and the document come from the same
// walk of the same model and cannot say different things. Checks gather
// what they find as problems, which the report lists.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>
#include "updtool/console/tool_output.h"

class ReportValue {
public:
    enum Kind { KindText, KindText932, KindNumber, KindFlag, KindNull };
    Kind kind;
    std::string text;  // KindText: UTF-8; KindText932: code page 932
    int64_t number;    // KindNumber; KindFlag: 1 for true

    static ReportValue Text(const std::string& utf8) { return ReportValue(KindText, utf8); }
    // A product text, converted to UTF-8 only when a document is written.
    static ReportValue Text932(const std::string& text932)
    {
        return ReportValue(KindText932, text932);
    }
    static ReportValue Number(int64_t value) { return ReportValue(KindNumber, "", value); }
    static ReportValue Flag(bool value) { return ReportValue(KindFlag, "", value); }
    static ReportValue Null() { return ReportValue(KindNull, ""); }
    virtual ~ReportValue() {}

private:
    ReportValue(Kind kind, const std::string& text, int64_t number = 0)
        : kind(kind), text(text), number(number)
    {
    }
};

// One cell of a row: a JSON field and its words (shown false: JSON only). A
// cell without key is words only, or, when not shown, a bare element of an
// array.
class ReportCell {
public:
    const char* key;
    ReportValue value;
    std::string words;
    bool shown;

    ReportCell(const char* key, const ReportValue& value, const std::string& words)
        : key(key), value(value), words(words), shown(true)
    {
    }
    ReportCell(const char* key, const ReportValue& value) : key(key), value(value), shown(false) {}
    explicit ReportCell(const std::string& words)
        : key(nullptr), value(ReportValue::Null()), words(words), shown(true)
    {
    }
    virtual ~ReportCell() {}
};

// The cells most rows are made of: a text the same in both forms; a product
// text (code page 932), UTF-8 in the document and quoted in words, "-" when
// empty.
ReportCell PlainCell(const char* key, const std::string& utf8);
ReportCell QuotedCell(const char* key, const std::string& text932);

// How a list's rows are shown: columns lined up; each row one line,
// indented by two; each row one line as its words give it; or the same,
// written out in pieces as the rows come (a list of millions of rows).
enum ReportLayout { LayoutTable, LayoutLines, LayoutFlat, LayoutStreamed };

class Report {
public:
    explicit Report(bool json);
    virtual ~Report() {}

    // A value of the document, shown as line ("": not shown).
    void Field(const char* key, const ReportValue& value, const std::string& line);
    // Words only.
    void Line(const std::string& line);
    // An object or array under key, its rows shown under title ("": none),
    // indented by two.
    void Begin(const char* key, bool array, const std::string& title,
               ReportLayout layout = LayoutTable);
    // In an array, one object (none when no cell has a key); in an object,
    // its fields. Shown as a row of the list's table or line at its End.
    void Row(const std::vector<ReportCell>& cells);
    void End();

    // The text, or the document, to standard output.
    void Write();

private:
    void Value(const ReportValue& value);
    // A streamed list: what is ready goes out.
    void Stream();

    bool json_;
    JsonWriter document_;
    std::string text_;
    std::vector<std::vector<std::string>> table_;  // the open table's rows, as words
    std::vector<bool> arrays_;  // per open container
    ReportLayout layout_;
};

// What a check found: errors fail the check (exit code 1), warnings are
// printed and leave it passing. Messages are UTF-8.
enum Severity { SeverityError, SeverityWarning };

class Problem {
public:
    Severity severity;
    std::string message;

    Problem(Severity severity, const std::string& message) : severity(severity), message(message) {}
    virtual ~Problem() {}
};

class Problems {
public:
    std::vector<Problem> found;

    Problems() {}
    virtual ~Problems() {}

    void Error(const std::string& message) { found.emplace_back(SeverityError, message); }
    void Warning(const std::string& message) { found.emplace_back(SeverityWarning, message); }
    size_t Count(Severity severity) const
    {
        return size_t(std::count_if(found.begin(), found.end(), [&](const Problem& problem) {
            return problem.severity == severity;
        }));
    }
};

// "error" or "warning", as the reports spell them.
inline const char* SeverityName(Severity severity)
{
    return severity == SeverityError ? "error" : "warning";
}
