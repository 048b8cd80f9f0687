// The coordinate systems the viewer's files declare, in words, so that the
// layer list can show them and warn when layers of different systems are
// drawn together. The same system gets the same words whatever the format
// declares it in (a MIF CoordSys line, a shapefile's .PRJ, a GeoPackage's
// spatial reference).
#pragma once

#include "geometry/datum.h"

#include <string>
#include <string_view>

namespace zalor::view {

class DrawingModel;

// "Longitude/latitude, NAD83".
std::string GeographicName(Datum datum);
// "Lambert azimuthal equal-area, NAD27 on a sphere of 6370997 m, centre
// -89.5, 40.5".
std::string LambertName(Datum datum, double radius, double lon0, double lat0);
// A MIF file's "CoordSys ..." line in words.
std::string MifCoordSysName(std::string_view line);
// A .PRJ file's text in words.
std::string PrjCoordSysName(std::string_view prj);

// The warning that the shown layers are in different coordinate systems
// (or some in degrees, some in metres); "" when they are not.
std::string CoordSysWarning(const DrawingModel& model);

} // namespace zalor::view
