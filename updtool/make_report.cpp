#include "updtool/make_report.h"

#include <cstdio>
#include "updtool/report_text.h"
#include "updtool/tool_output.h"

namespace {

void WriteCell(JsonWriter& writer, const Cell& cell)
{
    if (cell.key)
        writer.Key(cell.key);
    if (cell.kind == CellFlag)
        writer.Bool(!cell.value.empty());
    else
        writer.Text(cell.value);
}

std::string Shown(const Cell& cell)
{
    if (cell.kind == CellFlag)
        return cell.value.empty() ? "no" : "yes";
    if (cell.value.empty() || cell.kind == CellText)
        return cell.value.empty() ? "-" : cell.value;
    // No control character may break a row.
    std::string text = "\"";
    for (const char c : cell.value) {
        char hex[8];
        snprintf(hex, sizeof hex, "<%02X>", unsigned(c));
        text += static_cast<unsigned char>(c) < 0x20 ? hex : std::string(1, c);
    }
    return text + "\"";
}

std::string Json(const MakeReport& report)
{
    JsonWriter writer;
    writer.BeginObject();
    for (const Cell& field : report.fields)
        WriteCell(writer, field);
    for (const ReportList& list : report.lists) {
        writer.Key(list.name);
        writer.BeginArray();
        for (const std::vector<Cell>& row : list.rows) {
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

std::string Text(const MakeReport& report)
{
    std::string text;
    for (const ReportList& list : report.lists) {
        TextTable table;
        std::vector<std::string> head;
        for (const Cell& cell : list.rows.empty() ? std::vector<Cell>() : list.rows[0])
            if (cell.key)
                head.push_back(cell.key);
        if (!head.empty())
            table.Add(head);
        for (const std::vector<Cell>& row : list.rows) {
            std::vector<std::string> cells;
            for (const Cell& cell : row)
                cells.push_back(Shown(cell));
            table.Add(cells);
        }
        if (!list.rows.empty())
            text += std::string(list.name) + ":\n" + table.Text(2);
    }
    return text + report.summary + "\n";
}

}  // namespace

void MakeReport::Print(bool json) const
{
    WriteOut(json ? Json(*this) : Text(*this));
}
