#include "formats/gpkg/writer/row_batch.h"

#include <algorithm>

namespace zalor {

namespace {

using Bound = RowBatch::Value;

Bound BoundText(const Row& row, std::size_t k, std::string& text)
{
    Bound v;
    char number[24];
    const std::string_view value = row.KindAt(k) == Value::Kind::Text
                                       ? row.TextAt(k)
                                       : std::string_view(number, FormatInteger(row.IntAt(k), number));
    v.kind = Bound::Kind::Text;
    v.text.begin = static_cast<uint32_t>(text.size());
    AppendUtf8(text, value);
    v.text.end = static_cast<uint32_t>(text.size());
    return v;
}

// Value k of the row as it is bound to its column.
Bound BoundValue(const Row& row, std::size_t k, const Column& column, std::string& text)
{
    Bound v;
    if (k >= row.Size() || row.KindAt(k) == Value::Kind::Null) return v;
    if (column.IsText()) return BoundText(row, k, text);
    if (row.KindAt(k) == Value::Kind::Real) {
        v.kind = Bound::Kind::Real;
        v.real = row.RealAt(k);
    } else if (row.KindAt(k) == Value::Kind::Integer) {
        const int64_t n = row.IntAt(k);
        if (column.type == ColumnType::Degrees) {
            v.kind = Bound::Kind::Real;
            v.real = static_cast<double>(n) / 1e6; // micro-degrees, as in the shapefile's table
        } else {
            v.kind = Bound::Kind::Integer;
            v.integer = n;
        }
    }
    return v;
}

} // namespace

void AppendValues(const Row& row, const std::vector<Column>& columns, RowBatch& batch)
{
    for (std::size_t k = 0; k < columns.size(); ++k) batch.values.push_back(BoundValue(row, k, columns[k], batch.text));
}

void AppendUtf8(std::string& out, std::string_view text)
{
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        out.append(text); // most texts: ASCII is UTF-8 as it is
        return;
    }
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

} // namespace zalor
