#pragma once
// A command's result, written once: as text for a person, or as one JSON
// document (--json). Each call gives a value with the words for it, and the
// mode picks which is kept, so the text and the document come from the same
// walk of the same model and cannot say different things.

#include <cstdint>
#include <string>
#include <vector>
#include "updtool/console/report_text.h"
#include "updtool/console/tool_output.h"

class ReportValue {
public:
    enum Kind { KindText, KindNumber, KindFlag, KindNull };
    Kind kind;
    std::string text;  // KindText, UTF-8
    int64_t number;
    bool flag;

    static ReportValue Text(const std::string& utf8);
    static ReportValue Number(int64_t value);
    static ReportValue Flag(bool value);
    static ReportValue Null();
    virtual ~ReportValue();

private:
    ReportValue(Kind kind, const std::string& text, int64_t number, bool flag);
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

    ReportCell(const char* key, const ReportValue& value, const std::string& words);
    ReportCell(const char* key, const ReportValue& value);
    explicit ReportCell(const std::string& words);
    virtual ~ReportCell();
};

// How a list's rows are shown: columns lined up, or each row one line.
enum ReportLayout { LayoutTable, LayoutLines };

class Report {
public:
    explicit Report(bool json);
    virtual ~Report();

    // A value of the document, shown as line ("": not shown).
    void Field(const char* key, const ReportValue& value, const std::string& line);
    // Words only.
    void Line(const std::string& line);
    // An object or array under key, its rows shown under title ("": none),
    // indented by two.
    void Begin(const char* key, bool array, const std::string& title,
               ReportLayout layout = LayoutTable);
    // In an array, one object (none when no cell has a key); in an object,
    // its fields. Shown as a row of the list's table or line.
    void Row(const std::vector<ReportCell>& cells);
    void End();

    // The text, or the document, to standard output.
    void Write();

private:
    void Value(const ReportValue& value);

    bool json_;
    JsonWriter document_;
    std::string text_;
    TextTable table_;
    std::vector<bool> arrays_;  // per open container
    ReportLayout layout_;
};
