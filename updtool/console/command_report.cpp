#include "updtool/console/command_report.h"

#include <algorithm>
#include "base/shown_text.h"

namespace {

// A streamed list is written out in pieces of about this size.
const size_t kPiece = 256 * 1024;

size_t Columns(const std::string& utf8)
{
    size_t columns = 0;
    for (unsigned char c : utf8)
        columns += (c & 0xC0) == 0x80 ? 0 : c < 0x80 ? 1 : 2;  // a continuation byte adds none
    return columns;
}

// Rows as lines: in columns, each as wide as its widest cell (a character
// outside ASCII's range counts as two columns, as East Asian text is shown),
// two spaces apart, the last cell never padded; or words one space apart.
std::string RowsText(const std::vector<std::vector<std::string>>& rows, size_t indent,
                     bool columns)
{
    std::vector<size_t> widths;
    for (const auto& row : rows)
        for (size_t i = 0; columns && i + 1 < row.size(); ++i) {
            if (widths.size() <= i)
                widths.resize(i + 1, 0);
            widths[i] = std::max(widths[i], Columns(row[i]));
        }
    std::string text;
    for (const auto& row : rows) {
        std::string line(indent, ' ');
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line.append(columns ? widths[i] - Columns(row[i]) + 2 : 1, ' ');
        }
        while (columns && !line.empty() && line.back() == ' ')
            line.pop_back();
        text += line + "\n";
    }
    return text;
}

}  // namespace

ReportCell PlainCell(const char* key, const std::string& utf8)
{
    return ReportCell(key, ReportValue::Text(utf8), utf8);
}

ReportCell QuotedCell(const char* key, const std::string& text932)
{
    return ReportCell(key, ReportValue::Text932(text932),
                      text932.empty() ? "-" : Quoted(text932));
}

Report::Report(bool json) : json_(json), layout_(LayoutTable)
{
    if (json_)
        document_.BeginObject();
}

void Report::Value(const ReportValue& value)
{
    switch (value.kind) {
    case ReportValue::KindText: document_.Text(value.text); break;
    case ReportValue::KindText932: document_.Text(Utf8From932(value.text)); break;
    case ReportValue::KindNumber: document_.Number(value.number); break;
    case ReportValue::KindFlag: document_.Bool(value.number != 0); break;
    case ReportValue::KindNull: document_.Null(); break;
    }
}

void Report::Field(const char* key, const ReportValue& value, const std::string& line)
{
    Line(line);
    if (json_) {
        document_.Key(key);
        Value(value);
    }
}

void Report::Line(const std::string& line)
{
    if (!json_ && !line.empty())
        text_ += line + "\n";
}

void Report::Begin(const char* key, bool array, const std::string& title, ReportLayout layout)
{
    layout_ = layout;
    Line(title);
    if (!json_)
        return;
    document_.Key(key);
    if (array)
        document_.BeginArray();
    else
        document_.BeginObject();
    arrays_.push_back(array);
}

void Report::Row(const std::vector<ReportCell>& cells)
{
    if (layout_ == LayoutStreamed)
        Stream();
    if (!json_) {
        std::vector<std::string> words;
        for (const ReportCell& cell : cells)
            if (cell.shown)
                words.push_back(cell.words);
        if (!words.empty())
            table_.push_back(words);
        return;
    }
    const bool object = !arrays_.empty() && arrays_.back() &&
                        std::any_of(cells.begin(), cells.end(),
                                    [](const ReportCell& cell) { return cell.key != nullptr; });
    if (object)
        document_.BeginObject();
    for (const ReportCell& cell : cells) {
        // A value without a key is an element of the array itself.
        if (cell.key != nullptr)
            document_.Key(cell.key);
        if (cell.key != nullptr || !cell.shown)
            Value(cell.value);
    }
    if (object)
        document_.EndObject();
}

void Report::End()
{
    if (!json_) {
        text_ += RowsText(table_, layout_ == LayoutFlat || layout_ == LayoutStreamed ? 0 : 2,
                          layout_ == LayoutTable);
        table_.clear();
        return;
    }
    if (arrays_.back())
        document_.EndArray();
    else
        document_.EndObject();
    arrays_.pop_back();
}

void Report::Stream()
{
    if (!json_ && !table_.empty()) {
        text_ += RowsText(table_, 0, false);
        table_.clear();
    }
    if (text_.size() >= kPiece) {
        WriteOut(text_);
        text_.clear();
    }
    if (json_ && document_.Pending() >= kPiece)
        WriteOut(document_.Take());
}

void Report::Write()
{
    if (json_) {
        document_.EndObject();
        WriteOut(document_.Take() + "\n");
        return;
    }
    WriteOut(text_);
}
