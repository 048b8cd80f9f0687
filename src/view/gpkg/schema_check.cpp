#include "view/gpkg/schema_check.h"

#include <sqlite3.h>

#include <memory>

namespace zalor::view {

namespace {

// Statements on the schema that run longer than this many steps of
// SQLite's engine (a schema of millions of entries) are given up.
constexpr int kStepsPerCheck = 1000;
constexpr int kMaxChecks = 100000;

int Budget(void* used)
{
    return ++*static_cast<int*>(used) > kMaxChecks ? 1 : 0;
}

std::string Lower(const unsigned char* text)
{
    std::string s = text ? reinterpret_cast<const char*>(text) : "";
    for (char& c : s) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return s;
}

} // namespace

bool CheckGeoPackageSchema(const std::string& path, std::set<std::string>& notRead, std::string& error)
{
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    if (opened != SQLITE_OK) {
        error = path + ": " + (raw ? sqlite3_errmsg(raw) : "cannot be opened");
        return false;
    }
    int used = 0;
    sqlite3_progress_handler(db.get(), kStepsPerCheck, Budget, &used);
    sqlite3_stmt* raw_statement = nullptr;
    const char* sql = "SELECT type, name, sql FROM sqlite_master WHERE type = 'view' OR "
                      "(type = 'table' AND sql LIKE 'CREATE VIRTUAL TABLE%')";
    if (sqlite3_prepare_v2(db.get(), sql, -1, &raw_statement, nullptr) != SQLITE_OK) {
        error = path + ": not a GeoPackage (" + sqlite3_errmsg(db.get()) + ")";
        return false;
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw_statement, sqlite3_finalize);
    int step;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
        const std::string type = Lower(sqlite3_column_text(statement.get(), 0));
        const std::string name = Lower(sqlite3_column_text(statement.get(), 1));
        const std::string definition = Lower(sqlite3_column_text(statement.get(), 2));
        const bool rtree = type == "table" && name.rfind("rtree_", 0) == 0 &&
                           definition.find("using rtree(") != std::string::npos;
        if (rtree) continue; // SQLite's own R-tree over the table's boxes
        if (name.rfind("gpkg", 0) == 0 || name.rfind("rtree_", 0) == 0) {
            error = path + ": the GeoPackage's table " + name + " is a " + (type == "view" ? "view" : "virtual table") +
                    "; not read";
            return false;
        }
        notRead.insert(name);
    }
    if (step != SQLITE_DONE) {
        error = path + ": not a GeoPackage (" + sqlite3_errmsg(db.get()) + ")";
        return false;
    }
    return true;
}

} // namespace zalor::view
