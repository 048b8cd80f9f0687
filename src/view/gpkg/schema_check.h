// What the GeoPackage reader checks before GDAL opens a file: reading a
// view or a virtual table runs the SQL the file holds, which a hostile file
// can make endless, so neither is read. Reading real tables only is
// bounded by the size of the file.
#pragma once

#include <set>
#include <string>

namespace zalor::view {

// Opens the file read-only with SQLite and collects the names (in lower
// case) of its views and virtual tables. False, with `error` set, when it
// is no SQLite database or when the GeoPackage's own tables (gpkg_*,
// rtree_*) are views or virtual tables other than R-trees.
bool CheckGeoPackageSchema(const std::string& path, std::set<std::string>& notRead, std::string& error);

} // namespace zalor::view
