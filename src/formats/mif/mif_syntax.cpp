#include "formats/mif/mif_syntax.h"

#include "formats/row.h"

#include <cmath>
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

// The latitude, on the MIF sphere, of the point where the normal of the
// datum's ellipsoid at the geodetic latitude `degrees` meets the sphere
// (for NAD83, WGS 84's ellipsoid, the NAD83 one to well under a metre).
// Every point of that normal has the geodetic latitude `degrees`, so
// readers of the declared datum, which share the sphere's centre with the
// ellipsoid's, carry the point back to it.
double SphereLatitude(double degrees, const MifDatum& datum)
{
    const double a = datum.semiMajorAxis;
    const double f = 1 / datum.inverseFlattening;
    const double e2 = f * (2 - f);
    constexpr double kDegree = 0.017453292519943295;
    const double phi = degrees * kDegree;
    const double s = std::sin(phi), c = std::cos(phi);
    const double n = a / std::sqrt(1 - e2 * s * s);
    // In the meridian plane, with the unit normal u = (c, s) and v = (s, -c)
    // across it, the ellipsoid point (p, z) is along * u + across * v; the
    // normal's points (along + h) * u + across * v meet the sphere at this h.
    const double p = n * c, z = n * (1 - e2) * s;
    const double along = p * c + z * s;
    const double across = p * s - z * c;
    const double h = std::sqrt(kMifSphereRadius * kMifSphereRadius - across * across) - along;
    return std::atan2(z + h * s, p + h * c) / kDegree;
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
    static const MifDatum nad27{62, -8, 160, 176, kClarkeA, kClarkeInverseF};
    static const MifDatum oldHawaiian{77, 61, -285, -181, kClarkeA, kClarkeInverseF};
    static const MifDatum puertoRico{83, 11, 72, -101, kClarkeA, kClarkeInverseF};
    static const MifDatum guam{34, -100, -248, 259, kClarkeA, kClarkeInverseF};
    static const MifDatum americanSamoa{118, -115, 118, 426, kClarkeA, kClarkeInverseF};
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
    // Lambert Azimuthal Equal-Area (projection 29) on the sphere (ellipsoid
    // 12) of a datum of its own (999) whose centre is that of the
    // projection's datum (its shift from WGS 84; none for NAD83), in
    // metres, about the projection's centre. The points are put on that
    // sphere as the datum says (MifCoordinatePair).
    std::snprintf(buf, sizeof buf, "Coordsys Earth Projection 29, 999, 12, %d, %d, %d, \"m\", %.10g, %.10g", datum.dx,
                  datum.dy, datum.dz, p.lam0 / 0.01745329252, p.phi0 / 0.01745329252);
    return buf;
}

std::string MifCoordinatePair(const Projection& p, GeoPoint pt)
{
    if (!p.active) return FormatCoordinatePair(p, pt);
    double x = 0, y = 0;
    ProjectLambert(p, pt.x * 0.000001, SphereLatitude(pt.y * 0.000001, MifDatumOf(p.datum)), x, y);
    return FormatGeneral15(x) + " " + FormatGeneral15(y);
}

std::string MifRadiusNote(const LambertParameters& parameters)
{
    if (parameters.radius == kMifSphereRadius) return {};
    char text[200];
    std::snprintf(text, sizeof text,
                  "MIF files can declare no sphere of radius %.10g m: their Lambert coordinates are on the sphere "
                  "of %.10g m",
                  parameters.radius, kMifSphereRadius);
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
