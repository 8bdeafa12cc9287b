#pragma once
// A command's report as one model, rendered whole as JSON or as text, so the
// two forms cannot tell different stories. JSON: the fields, each list as an
// array (of objects, or of strings where a row's one cell has no key), and
// the summary. Text: each non-empty list under its name as a table headed by
// its keys, an empty cell shown as "-", then the summary.

#include <string>
#include <vector>

enum CellKind {
    CellText,     // UTF-8
    CellProduct,  // code page 932, a product's text: double-quoted in text
    CellName,     // UTF-8 name: double-quoted in text
    CellFlag,     // "1" or "": JSON true or false, text yes or no
};

class Cell {
public:
    const char* key;  // null: the row's only cell, a plain JSON string
    std::string value;
    CellKind kind;

    Cell(const char* key, const std::string& value, CellKind kind = CellText)
        : key(key), value(value), kind(kind)
    {
    }
    virtual ~Cell() {}
};

typedef std::vector<Cell> ReportRow;

class ReportList {
public:
    const char* name;
    std::vector<ReportRow> rows;

    explicit ReportList(const char* name) : name(name) {}
    virtual ~ReportList() {}
};

class Report {
public:
    std::vector<Cell> fields;
    std::vector<ReportList> lists;
    std::string summary;  // one sentence, UTF-8

    Report() {}
    virtual ~Report() {}

    // The whole report, to standard output.
    void Print(bool json) const;
};
