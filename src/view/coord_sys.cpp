#include "view/coord_sys.h"

#include "formats/mif/mif_syntax.h"
#include "formats/shp/shp_file.h"
#include "view/drawing.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

namespace zalor::view {

namespace {

constexpr std::array kDatums = {Datum::Nad83,    Datum::Nad27,    Datum::OldHawaiian,
                                Datum::PuertoRico, Datum::Guam1963, Datum::AmericanSamoa1962};

std::string Number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The position of `word` in `text`, ignoring case; npos when absent.
std::size_t FindUpper(std::string_view text, std::string_view word)
{
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < word.size() && Upper(text[i + k]) == word[k]) ++k;
        if (k == word.size()) return i;
    }
    return std::string_view::npos;
}

// The fields after "Projection", split at commas and blanks, quotes kept.
std::vector<std::string> ProjectionFields(std::string_view line)
{
    std::vector<std::string> fields;
    const std::size_t at = FindUpper(line, "PROJECTION");
    if (at == std::string_view::npos) return fields;
    std::string_view rest = line.substr(at + 10);
    const std::size_t bounds = FindUpper(rest, "BOUNDS");
    if (bounds != std::string_view::npos) rest = rest.substr(0, bounds);
    std::string field;
    for (char c : rest) {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!field.empty()) fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty()) fields.push_back(field);
    return fields;
}

bool ToInt(const std::string& s, int& v)
{
    char* end = nullptr;
    const long n = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || n < -100000 || n > 100000) return false;
    v = static_cast<int>(n);
    return true;
}

// The quoted name after `key` ("GEOGCS[" or "PROJCS[") in a WKT text.
std::string WktName(std::string_view wkt, std::string_view key)
{
    const std::size_t at = FindUpper(wkt, key);
    if (at == std::string_view::npos) return {};
    const std::size_t open = wkt.find('"', at);
    const std::size_t close = open == std::string_view::npos ? open : wkt.find('"', open + 1);
    if (close == std::string_view::npos || close - open > 200) return {};
    return std::string(wkt.substr(open + 1, close - open - 1));
}

// A text from a file, kept short and printable.
std::string Shown(std::string_view text)
{
    std::string out;
    for (char c : text.substr(0, 80)) out += (static_cast<unsigned char>(c) < 32 ? ' ' : c);
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

} // namespace

std::string GeographicName(Datum datum) { return "Longitude/latitude, " + std::string(DatumName(datum)); }

std::string LambertName(Datum datum, double radius, double lon0, double lat0)
{
    return "Lambert azimuthal equal-area, " + std::string(DatumName(datum)) + " on a sphere of " + Number(radius) +
           " m, centre " + Number(lon0) + ", " + Number(lat0);
}

std::string MifCoordSysName(std::string_view line)
{
    if (FindUpper(line, "NONEARTH") != std::string_view::npos) return "Non-earth (plane) coordinates";
    const std::vector<std::string> f = ProjectionFields(line);
    int projection = 0, datumNumber = 0;
    if (f.size() >= 2 && ToInt(f[0], projection) && projection == 1 && ToInt(f[1], datumNumber)) {
        for (Datum d : kDatums)
            if (MifDatumOf(d).number == datumNumber) return GeographicName(d);
        return "Longitude/latitude, MapInfo datum " + std::to_string(datumNumber);
    }
    // The converter's Lambert files: projection 29 on the county's datum
    // (its ellipsoid), then the units and the centre.
    int datum = 0;
    if (f.size() >= 5 && ToInt(f[0], projection) && projection == 29 && ToInt(f[1], datum) && datum != 999)
        for (Datum d : kDatums)
            if (MifDatumOf(d).number == datum)
                return "Lambert azimuthal equal-area, " + std::string(DatumName(d)) + ", centre " +
                       Number(std::atof(f[3].c_str())) + ", " + Number(std::atof(f[4].c_str()));
    // Its older ones: on MapInfo's sphere (999, 12) of 6,370,997 m.
    int ellipsoid = 0;
    if (f.size() >= 9 && projection == 29 && datum == 999 && ToInt(f[2], ellipsoid) && ellipsoid == 12)
        return "Lambert azimuthal equal-area, on a sphere of 6370997 m, centre " + Number(std::atof(f[7].c_str())) +
               ", " + Number(std::atof(f[8].c_str()));
    const std::size_t at = FindUpper(line, "EARTH");
    return "MapInfo " + Shown(at == std::string_view::npos ? line : line.substr(at));
}

std::string PrjCoordSysName(std::string_view prj)
{
    for (Datum d : kDatums)
        if (prj == PrjText(d)) return GeographicName(d);
    if (const std::string projected = WktName(prj, "PROJCS["); !projected.empty()) return Shown(projected);
    const std::string geographic = WktName(prj, "GEOGCS[");
    if (geographic.empty()) return "Unrecognised .PRJ";
    for (Datum d : kDatums)
        if (geographic == WktName(PrjText(d), "GEOGCS[")) return GeographicName(d);
    return "Longitude/latitude, " + Shown(geographic);
}

std::string CoordSysWarning(const DrawingModel& model)
{
    std::set<std::string> names;
    std::set<Units> units;
    for (const SourceFile& f : model.Files()) {
        if (!f.shown || f.objectCount == 0) continue;
        if (!f.coordSys.empty()) names.insert(f.coordSys);
        units.insert(f.units);
    }
    if (names.size() > 1) {
        std::string text = "Layers of different coordinate systems are shown together:";
        for (const std::string& n : names) text += "\n" + n;
        return text;
    }
    if (units.size() > 1) return "Layers in degrees and layers in metres are shown together";
    return {};
}

} // namespace zalor::view
