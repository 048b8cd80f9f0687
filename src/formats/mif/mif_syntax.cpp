#include "formats/mif/mif_syntax.h"

#include "formats/row.h"

#include <charconv>
#include <cstdio>

namespace zalor {

namespace {

void AppendNumber(std::string& out, int64_t v)
{
    char buf[24];
    out.append(buf, FormatInteger(v, buf));
}

void WriteKeywordCount(TTextFile& f, std::string_view keyword, int64_t n)
{
    std::string line(keyword);
    AppendNumber(line, n);
    f.WriteLine(line);
}

// A centre's longitude or latitude as the declaration writes it, in
// degrees to ten significant digits; the coordinates are projected about
// the same numbers.
std::string CentreText(double radians)
{
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, radians / 0.01745329252, std::chars_format::general, 10);
    return std::string(buf, end.ptr);
}

double Degrees(const std::string& text)
{
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

} // namespace

void WriteMifHeader(TTextFile& mif, std::string_view coordSys)
{
    mif.WriteLine("Version 450");
    mif.WriteLine("Charset \"WindowsLatin1\"");
    mif.WriteLine("Delimiter \",\"");
    mif.WriteLine(coordSys);
}

const MifDatum& MifDatumOf(Datum datum)
{
    // The old datums are all on the Clarke 1866 ellipsoid.
    constexpr double kClarkeA = 6378206.4, kClarkeInverseF = 294.978698213898;
    static const MifDatum nad83{};
    static const MifDatum nad27{62, kClarkeA, kClarkeInverseF};
    static const MifDatum oldHawaiian{77, kClarkeA, kClarkeInverseF};
    static const MifDatum puertoRico{83, kClarkeA, kClarkeInverseF};
    static const MifDatum guam{34, kClarkeA, kClarkeInverseF};
    static const MifDatum americanSamoa{118, kClarkeA, kClarkeInverseF};
    switch (datum) {
    case Datum::Nad83: return nad83;
    case Datum::Nad27: return nad27;
    case Datum::OldHawaiian: return oldHawaiian;
    case Datum::PuertoRico: return puertoRico;
    case Datum::Guam1963: return guam;
    case Datum::AmericanSamoa1962: return americanSamoa;
    }
    return nad83;
}

std::string MifCoordSysLine(const Projection& p)
{
    const MifDatum& datum = MifDatumOf(p.datum);
    char buf[160];
    if (!p.active) {
        std::snprintf(buf, sizeof buf, "Coordsys Earth Projection 1,%d", datum.number);
        return buf;
    }
    // Lambert Azimuthal Equal-Area (projection 29) on the datum (its
    // ellipsoid with it), in metres, about the projection's centre: readers
    // undo the projection and have the datum's longitudes and latitudes.
    std::snprintf(buf, sizeof buf, "Coordsys Earth Projection 29, %d, \"m\", ", datum.number);
    return buf + CentreText(p.lam0) + ", " + CentreText(p.phi0);
}

EllipsoidLambert MifLambert(const Projection& p)
{
    const MifDatum& datum = MifDatumOf(p.datum);
    return EllipsoidLambert(datum.semiMajorAxis, datum.inverseFlattening, Degrees(CentreText(p.lam0)),
                            Degrees(CentreText(p.phi0)));
}

std::string MifCoordinatePair(const EllipsoidLambert& lambert, GeoPoint pt)
{
    double x = 0, y = 0;
    lambert.Project(pt.x * 0.000001, pt.y * 0.000001, x, y);
    return FormatGeneral15(x) + " " + FormatGeneral15(y);
}

std::string MifLambertNote(const LambertParameters& parameters)
{
    char text[200];
    std::snprintf(text, sizeof text,
                  "MIF files are projected on the ellipsoid of the county's datum, which they declare: the radius "
                  "of %.10g m is not used in them",
                  parameters.radius);
    return text;
}

void WriteMifPlineStart(TTextFile& mif, int64_t pointCount)
{
    mif.WriteLine("PLINE");
    WriteMifCount(mif, pointCount);
}

void WriteMifPen(TTextFile& mif, const MifPen& pen)
{
    std::string line = "PEN (";
    AppendNumber(line, pen.width);
    line += ',';
    AppendNumber(line, pen.pattern);
    line += ',';
    AppendNumber(line, pen.colour);
    line += ')';
    mif.WriteLine(line);
}

void WriteMifRegionStart(TTextFile& mif, int64_t ringCount) { WriteKeywordCount(mif, "Region ", ringCount); }

void WriteMifCount(TTextFile& mif, int64_t count) { WriteKeywordCount(mif, "", count); }

void WriteMifBrush(TTextFile& mif, int colour)
{
    std::string line = "BRUSH (2,0,";
    AppendNumber(line, colour);
    line += ')';
    mif.WriteLine(line);
}

void WriteMifPoint(TTextFile& mif, std::string_view coordinateText)
{
    std::string line = "POINT ";
    line += coordinateText;
    mif.WriteLine(line);
}

} // namespace zalor
