#include "updtool/make_report.h"

#include <cstdio>
#include "updtool/report_text.h"
#include "updtool/text_conversion.h"
#include "updtool/tool_output.h"

namespace {

void WriteCell(JsonWriter& writer, const Cell& cell)
{
    if (cell.key)
        writer.Key(cell.key);
    if (cell.kind == CellFlag)
        writer.Bool(!cell.value.empty());
    else
        writer.Text(cell.kind == CellProduct ? Utf8From932(cell.value) : cell.value);
}

std::string Shown(const Cell& cell)
{
    if (cell.kind == CellFlag)
        return cell.value.empty() ? "no" : "yes";
    if (cell.value.empty())
        return "-";
    if (cell.kind == CellProduct)
        return Quoted(cell.value);
    if (cell.kind == CellText)
        return cell.value;
    // No control character in a name may break a row.
    std::string name = "\"";
    for (const char c : cell.value) {
        char hex[8];
        snprintf(hex, sizeof hex, "<%02X>", unsigned(c));
        name += static_cast<unsigned char>(c) < 0x20 ? hex : std::string(1, c);
    }
    return name + "\"";
}

std::string Json(const Report& report)
{
    JsonWriter writer;
    writer.BeginObject();
    for (const Cell& field : report.fields)
        WriteCell(writer, field);
    for (const ReportList& list : report.lists) {
        writer.Key(list.name);
        writer.BeginArray();
        for (const ReportRow& row : list.rows) {
            const bool object = row.size() != 1 || row[0].key;
            if (object)
                writer.BeginObject();
            for (const Cell& cell : row)
                WriteCell(writer, cell);
            if (object)
                writer.EndObject();
        }
        writer.EndArray();
    }
    writer.Field("summary", report.summary);
    writer.EndObject();
    return writer.Document();
}

std::string Text(const Report& report)
{
    std::string text;
    for (const ReportList& list : report.lists) {
        if (list.rows.empty())
            continue;
        TextTable table;
        std::vector<std::string> head;
        for (const Cell& cell : list.rows[0])
            if (cell.key)
                head.push_back(cell.key);
        if (!head.empty())
            table.Add(head);
        for (const ReportRow& row : list.rows) {
            std::vector<std::string> cells;
            for (const Cell& cell : row)
                cells.push_back(Shown(cell));
            table.Add(cells);
        }
        text += std::string(list.name) + ":\n" + table.Text(2);
    }
    return text + report.summary + "\n";
}

}  // namespace

void Report::Print(bool json) const
{
    WriteOut(json ? Json(*this) : Text(*this));
}
