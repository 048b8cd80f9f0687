#include "formats/mif/mid_syntax.h"

#include "geometry/coords.h"

#include <cstdio>

namespace zalor {

namespace {

std::string ColumnLine(const Column& c, ColumnBlock kind)
{
    switch (c.type) {
    case ColumnType::Integer: return c.name + " integer";
    case ColumnType::Char:
    case ColumnType::Code: return c.name + " char (" + std::to_string(c.width) + ")";
    case ColumnType::Degrees: return c.name + (kind == ColumnBlock::Mif ? " Float" : " double");
    }
    return c.name;
}

void AppendValue(std::string& out, const Row& row, std::size_t i, ColumnType type)
{
    char buf[32];
    switch (row.KindAt(i)) {
    case Value::Kind::Null: return;
    case Value::Kind::Integer:
        if (type == ColumnType::Degrees) AppendFixed(out, static_cast<int32_t>(row.IntAt(i)));
        else out.append(buf, FormatInteger(row.IntAt(i), buf));
        return;
    case Value::Kind::Real: out.append(buf, static_cast<std::size_t>(std::snprintf(buf, sizeof buf, "%.15g", row.RealAt(i)))); return;
    case Value::Kind::Text:
        if (type == ColumnType::Char) AppendQuoted(out, row.TextAt(i));
        else out.append(row.TextAt(i));
        return;
    }
}

} // namespace

void WriteColumnBlock(TTextFile& f, ColumnBlock kind, std::span<const Column> columns, bool blankLine)
{
    f.WriteLine((kind == ColumnBlock::Mif ? "COLUMNS " : "FIELDS ") + std::to_string(columns.size()));
    for (const Column& c : columns) f.WriteLine(ColumnLine(c, kind));
    if (blankLine) f.WriteLine("");
    f.WriteLine("DATA");
}

void AppendMidRow(std::string& out, const Row& row, std::span<const Column> columns)
{
    for (std::size_t i = 0; i < row.Size(); ++i) {
        if (i > 0) out.push_back(',');
        AppendValue(out, row, i, i < columns.size() ? columns[i].type : ColumnType::Char);
    }
}

void AppendQuoted(std::string& row, std::string_view text)
{
    row.push_back('"');
    if (text.find('"') == std::string_view::npos) {
        row.append(text); // the usual case: one copy
    } else {
        for (char c : text) {
            if (c == '"') row.push_back('"');
            row.push_back(c);
        }
    }
    row.push_back('"');
}

std::string UndoubleQuotes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t k = 0; k < text.size(); ++k) {
        out.push_back(text[k]);
        if (text[k] == '"' && k + 1 < text.size() && text[k + 1] == '"') ++k;
    }
    return out;
}

} // namespace zalor
