// The CSV format: a header line of the column names after "WKT", then a
// line per feature, its geometry in degrees as WKT (an area as a
// multipolygon of its rings, each a polygon of its own) and its values,
// texts in double quotes with every double quote in them doubled.
#include "csv/csv_format.h"

#include "formats/staged.h"
#include "formats/textfile.h"

#include <cstdio>

namespace zalor {

namespace {

void AppendPoints(std::string& out, std::span<const GeoPoint> points)
{
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i > 0) out += ',';
        AppendFixed(out, points[i].x);
        out += ' ';
        AppendFixed(out, points[i].y);
    }
}

void AppendValue(std::string& out, const Row& row, std::size_t k, const Column& column)
{
    char number[32];
    switch (row.KindAt(k)) {
    case Value::Kind::Null: return;
    case Value::Kind::Integer:
        if (column.type == ColumnType::Degrees) AppendFixed(out, static_cast<int32_t>(row.IntAt(k)));
        else out.append(number, FormatInteger(row.IntAt(k), number));
        return;
    case Value::Kind::Real: out += std::to_string(row.RealAt(k)); return;
    case Value::Kind::Text:
        out += '"';
        for (char c : row.TextAt(k)) out += c == '"' ? std::string("\"\"") : std::string(1, c);
        out += '"';
        return;
    }
}

class CsvLayer final : public StagedLayer {
public:
    explicit CsvLayer(const LayerDefinition& def)
        : StagedLayer(def.basePath), columns_(def.columns), file_(Stage(".csv"), TTextFile::kCreate)
    {
        std::string header = "WKT";
        for (const Column& c : columns_) header += "," + c.name;
        file_.WriteLine(header);
    }
    bool WritePoint(GeoPoint p, const Row& row) override
    {
        Write("POINT (", std::span<const GeoPoint>(&p, 1), ")", row);
        return true;
    }
    bool WriteLine(std::span<const GeoPoint> points, std::string_view, const Row& row) override
    {
        Write("LINESTRING (", points, ")", row);
        return true;
    }
    bool WriteArea(std::span<const GeoPoint> points, std::span<const int32_t> ringSizes, const Row& row) override
    {
        line_ = "\"MULTIPOLYGON (";
        std::size_t at = 0;
        for (std::size_t r = 0; r < ringSizes.size(); ++r) {
            line_ += r > 0 ? ",((" : "((";
            AppendPoints(line_, points.subspan(at, static_cast<std::size_t>(ringSizes[r])));
            at += static_cast<std::size_t>(ringSizes[r]);
            line_ += "))";
        }
        line_ += ")\"";
        Finish(row);
        return true;
    }

private:
    void Write(const char* open, std::span<const GeoPoint> points, const char* close, const Row& row)
    {
        line_ = std::string("\"") + open;
        AppendPoints(line_, points);
        line_ += close;
        line_ += '"';
        Finish(row);
    }
    void Finish(const Row& row)
    {
        for (std::size_t k = 0; k < columns_.size(); ++k) {
            line_ += ',';
            if (k < row.Size()) AppendValue(line_, row, k, columns_[k]);
        }
        file_.WriteLine(line_);
    }
    WriteFailures CloseFiles() override
    {
        WriteFailures failures;
        Check(failures, file_.Close(), file_.Name());
        return failures;
    }

    const std::vector<Column> columns_;
    TTextFile file_;
    std::string line_;
};

std::unique_ptr<LayerWriter> OpenCsv(const LayerDefinition& def, WriteFailures&)
{
    return std::make_unique<CsvLayer>(def);
}

constexpr std::string_view kExtensions[] = {".csv"};

} // namespace

const FormatDriver kCsvFormat = {
    .name = "csv",
    .caption = " CSV",
    .extensions = kExtensions,
    .areas = {.firstNumber = 1, .centroidAfterKey = true, .zctaAsText = true},
    .open = OpenCsv,
};

} // namespace zalor
