#pragma once
// A report as one model, rendered whole as one JSON document or as text, so
// the two forms cannot tell different stories. JSON: the fields, each list
// as an array (of objects; of strings where a row's one cell has no key),
// the summary. Text: each non-empty list under its name as a table headed by
// its keys (an empty cell shown as "-"), then the summary.

#include <string>
#include <vector>

enum CellKind {
    CellText,    // as it is
    CellQuoted,  // a name or a product's text: in double quotes in text
    CellFlag,    // "" false, else true: JSON true or false, text yes or no
};

class Cell {
public:
    const char* key;    // null: a row's only cell, a plain JSON string
    std::string value;  // UTF-8
    CellKind kind;

    Cell(const char* key, const std::string& value, CellKind kind = CellText)
        : key(key), value(value), kind(kind)
    {
    }
    virtual ~Cell() {}
};

class ReportList {
public:
    const char* name;
    std::vector<std::vector<Cell>> rows;

    explicit ReportList(const char* name) : name(name) {}
    virtual ~ReportList() {}
};

class MakeReport {
public:
    std::vector<Cell> fields;
    std::vector<ReportList> lists;
    std::string summary;  // one sentence

    MakeReport() {}
    virtual ~MakeReport() {}

    // To standard output.
    void Print(bool json) const;
};
