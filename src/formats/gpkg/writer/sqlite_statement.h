// SQL on the GeoPackage: statements run through GDAL's dataset, and
// prepared statements of its SQLite connection for the rows and indexes
// that GDAL would write too slowly.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class GDALDataset;

namespace zalor {

// Identifiers and texts in SQL.
std::string Identifier(std::string_view name);
std::string Literal(std::string_view text);
// ASCII letters upper-cased: table names compare without regard to case.
std::string Upper(std::string_view text);

// Runs a statement that returns no rows; false when it failed.
bool Execute(GDALDataset& ds, const std::string& sql);
// The rows of a query, each as its column texts.
std::vector<std::vector<std::string>> Query(GDALDataset& ds, const std::string& sql);

// A prepared statement of the dataset's SQLite connection; a failure is
// raised as a GDAL error with SQLite's message.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql);
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return stmt_; }
    // Runs the statement once (its next row); false unless it gave `expected`.
    bool Step(int expected)
    {
        if (!stmt_) return false;
        const int rc = sqlite3_step(stmt_);
        if (rc != expected) {
            Raise();
            return false;
        }
        if (rc == SQLITE_DONE) sqlite3_reset(stmt_);
        return true;
    }

private:
    void Raise() const;
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Inserts the pairs (first + i, values[i]) into a table of two columns,
// many rows to a statement (one statement a row took most of the index's
// time: there is a row for every feature).
bool InsertNumbered(sqlite3* db, const std::string& table, int64_t first, const std::vector<int64_t>& values);

} // namespace zalor
