#include "updtool/console/report_text.h"

#include "updtool/console/text_conversion.h"

namespace {

size_t Columns(const std::string& utf8)
{
    size_t columns = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) == 0x80)
            continue;  // continuation byte
        columns += c < 0x80 ? 1 : 2;
    }
    return columns;
}

}  // namespace

std::string Quoted(const std::string& text932)
{
    return "\"" + ShownName(text932) + "\"";
}

std::string Quoted(const String& text932)
{
    return Quoted(std::string(TextOf(text932)));
}

TextTable::TextTable() {}

TextTable::~TextTable() {}

void TextTable::Add(const std::vector<std::string>& cells)
{
    rows_.push_back(cells);
}

std::string TextTable::Text(size_t indent) const
{
    std::vector<size_t> widths;
    for (const auto& row : rows_)
        for (size_t i = 0; i + 1 < row.size(); ++i) {
            if (widths.size() <= i)
                widths.resize(i + 1, 0);
            const size_t columns = Columns(row[i]);
            if (columns > widths[i])
                widths[i] = columns;
        }
    std::string text;
    for (const auto& row : rows_) {
        std::string line(indent, ' ');
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line.append(widths[i] - Columns(row[i]) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        text += line + "\n";
    }
    return text;
}
