// GeoPackage output: one file per county (TGRssccc.gpkg) holding every
// layer of the county as a table, written through GDAL.
//
// The county's GeoPackage is written under a temporary name beside its
// final one (a copy of the existing file, when there is one, so that the
// tables this run does not write stay) and renamed into place when the
// county is done. The whole file is one transaction, each table with
// its spatial index. A table that cannot be written (or a stop) fails the
// file: it is not put in place, and the file that was there stays as it was.
#pragma once

#include "formats/format.h"

#include <memory>
#include <string>

namespace zalor {

extern const FormatDriver kGpkgFormat;

// Makes the GeoPackage of a county whose final name is `path` (the tables
// of one already there are read now). GDAL, which writes it, is loaded
// only when a GeoPackage is made: a program run that writes none does not
// pay its start-up (a tenth of a second and some 30 MB). Null, with the
// reason in `error`, when the GeoPackage writer cannot be loaded.
std::shared_ptr<LayerContainer> MakeGeoPackage(const std::string& path, std::string& error);

} // namespace zalor
