#pragma once
// Layout of the tool's human reports: the product's texts quoted so that
// spaces and control characters show, and columns lined up.

#include <string>
#include <vector>
#include "base/string.h"

// Code page 932 text as UTF-8 in double quotes, shown as ShownName shows
// it: a line feed as <LF>, a carriage return as <CR>, a tab as <TAB>, so a
// value's edges and breaks can be seen.
std::string Quoted(const std::string& text932);
std::string Quoted(const String& text932);

// Rows of UTF-8 cells, printed with each column as wide as its widest cell
// (a character outside ASCII's range counts as two columns, as East Asian
// text is shown); the last cell of a row is never padded.
class TextTable {
public:
    TextTable();
    virtual ~TextTable();

    void Add(const std::vector<std::string>& cells);
    // Each row indented by indent spaces, columns two spaces apart.
    std::string Text(size_t indent) const;

private:
    std::vector<std::vector<std::string>> rows_;
};
