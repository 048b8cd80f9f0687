#include "formats/gpkg/writer/sqlite_statement.h"

#include "formats/gpkg/writer/quiet_gdal.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

namespace zalor {

namespace {

std::string Quoted(std::string_view name, char quote)
{
    std::string out(1, quote);
    for (char c : name) {
        out.push_back(c);
        if (c == quote) out.push_back(quote);
    }
    out.push_back(quote);
    return out;
}

} // namespace

std::string Identifier(std::string_view name) { return Quoted(name, '"'); }
std::string Literal(std::string_view text) { return Quoted(text, '\''); }

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return out;
}

bool Execute(GDALDataset& ds, const std::string& sql)
{
    CPLErrorReset();
    if (OGRLayer* result = ds.ExecuteSQL(sql.c_str(), nullptr, nullptr)) ds.ReleaseResultSet(result);
    return !QuietGdal::Failed();
}

std::vector<std::vector<std::string>> Query(GDALDataset& ds, const std::string& sql)
{
    std::vector<std::vector<std::string>> rows;
    OGRLayer* result = ds.ExecuteSQL(sql.c_str(), nullptr, nullptr);
    if (!result) return rows;
    const int columns = result->GetLayerDefn()->GetFieldCount();
    while (OGRFeature* f = result->GetNextFeature()) {
        std::vector<std::string>& row = rows.emplace_back();
        for (int k = 0; k < columns; ++k) row.emplace_back(f->GetFieldAsString(k));
        OGRFeature::DestroyFeature(f);
    }
    ds.ReleaseResultSet(result);
    return rows;
}

Statement::Statement(sqlite3* db, const std::string& sql) : db_(db)
{
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) Raise();
}

void Statement::Raise() const { CPLError(CE_Failure, CPLE_AppDefined, "%s", sqlite3_errmsg(db_)); }

bool InsertNumbered(sqlite3* db, const std::string& table, int64_t first, const std::vector<int64_t>& values)
{
    constexpr std::size_t kRows = 256;
    const std::string head = "INSERT INTO " + Identifier(table) + " VALUES (?, ?)";
    std::string many = head;
    for (std::size_t r = 1; r < kRows; ++r) many += ", (?, ?)";
    Statement one(db, head), all(db, many);
    for (std::size_t at = 0; at < values.size();) {
        Statement& insert = values.size() - at >= kRows ? all : one;
        const std::size_t rows = &insert == &all ? kRows : 1;
        for (std::size_t r = 0; r < rows; ++r, ++at) {
            sqlite3_bind_int64(insert.get(), static_cast<int>(2 * r + 1), first + static_cast<int64_t>(at));
            sqlite3_bind_int64(insert.get(), static_cast<int>(2 * r + 2), values[at]);
        }
        if (!insert.Step(SQLITE_DONE)) return false;
    }
    return true;
}

} // namespace zalor
