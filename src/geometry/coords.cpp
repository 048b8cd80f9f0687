#include "geometry/coords.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace zalor {

namespace {

// Whether B, the point between the last kept point A and the next point C,
// stays. Consecutive duplicates go. A path that turns back at B (the angle
// between AB and BC above 90 degrees) keeps B, so the tip of a spike is
// never lost. Otherwise B stays when its distance to the line through A and
// C is above the tolerance; a point exactly at the tolerance goes.
// Differences below this make every product below exact in a double.
constexpr double kExact = 67108864.0; // 2^26

bool KeepMiddlePoint(GeoPoint a, GeoPoint b, GeoPoint c, double tolerance)
{
    const double abx = static_cast<double>(int64_t(b.x) - a.x), aby = static_cast<double>(int64_t(b.y) - a.y);
    const double bcx = static_cast<double>(int64_t(c.x) - b.x), bcy = static_cast<double>(int64_t(c.y) - b.y);
    const double acx = static_cast<double>(int64_t(c.x) - a.x), acy = static_cast<double>(int64_t(c.y) - a.y);
    if (abx == 0 && aby == 0) return false;
    if (bcx == 0 && bcy == 0) return false;
    if (abx * bcx + aby * bcy < 0) return true;
    if (tolerance == 0 && std::fabs(abx) < kExact && std::fabs(aby) < kExact && std::fabs(acx) < kExact &&
        std::fabs(acy) < kExact) {
        // No tolerance: B stays unless it lies on the line, which the cross
        // product says exactly (it is an exact double at these sizes), with
        // no square root.
        return abx * acy - aby * acx != 0 || (acx == 0 && acy == 0);
    }
    const double ac = std::sqrt(acx * acx + acy * acy);
    const double d = ac == 0 ? std::sqrt(abx * abx + aby * aby) : std::fabs(abx * acy - aby * acx) / ac;
    return tolerance < d;
}

} // namespace

void SimplifyShapePoints(std::vector<GeoPoint>& points, int tolerance)
{
    const std::size_t n = points.size();
    if (n < 3) return;
    const double t = tolerance < 0 ? 0.0 : static_cast<double>(tolerance);
    GeoPoint a = points[0];
    GeoPoint b = points[1];
    std::size_t kept = 1;
    for (std::size_t i = 2; i < n; ++i) {
        const GeoPoint c = points[i];
        if (KeepMiddlePoint(a, b, c, t)) {
            points[kept++] = b;
            a = b;
        }
        b = c;
    }
    points[kept++] = b;
    points.resize(kept);
}

namespace {

double ParseDecimal(std::string_view part, std::string_view whole)
{
    while (!part.empty() && (part.front() == ' ' || part.front() == '\t')) part.remove_prefix(1);
    while (!part.empty() && (part.back() == ' ' || part.back() == '\t')) part.remove_suffix(1);
    const char* first = part.data();
    const char* last = part.data() + part.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') first = last; // "+-" is no number
    }
    double v = 0;
    auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
    if (first == last || ec != std::errc() || ptr != last || !std::isfinite(v))
        throw std::invalid_argument("Invalid Lambert parameters: " + std::string(whole));
    return v;
}

} // namespace

LambertParameters ParseLambertParameters(std::string_view text)
{
    const std::size_t c1 = text.find(',');
    if (c1 == std::string_view::npos) throw std::invalid_argument("Invalid Lambert parameters: " + std::string(text));
    std::string_view rest = text.substr(c1 + 1);
    const std::size_t c2 = rest.find(',');
    if (c2 == std::string_view::npos) throw std::invalid_argument("Invalid Lambert parameters: " + std::string(text));
    LambertParameters p;
    p.radius = ParseDecimal(text.substr(0, c1), text);
    p.lon0 = ParseDecimal(rest.substr(0, c2), text);
    p.lat0 = ParseDecimal(rest.substr(c2 + 1), text);
    return p;
}

void SetupLambert(Projection& p, const LambertParameters& params)
{
    // The stored factors are part of the output: keep them as they are.
    p.R = params.radius;
    p.lam0 = params.lon0 * 0.01745329252;
    p.phi0 = params.lat0 * 0.01745329252;
    p.sinPhi0 = std::sin(p.phi0);
    p.cosPhi0 = std::cos(p.phi0);
}

void ProjectLambert(const Projection& p, double lonDegrees, double latDegrees, double& x, double& y)
{
    const double phi = latDegrees / 57.2957795131;
    const double lam = lonDegrees / 57.2957795131;
    double dl = lam - p.lam0;
    if (std::fabs(dl) >= 3.1415926536) dl -= (dl >= 0 ? 1.0 : -1.0) * 6.2831853072;
    const double sinPhi = std::sin(phi), cosPhi = std::cos(phi), cosDl = std::cos(dl);
    const double c = p.sinPhi0 * sinPhi + p.cosPhi0 * cosPhi * cosDl;
    if (c <= -1.0) { // the antipode of the centre (or rounding past it)
        x = 0;
        y = 0;
        return;
    }
    const double k = std::sqrt(2.0 / (1.0 + c)) * p.R;
    x = k * cosPhi * std::sin(dl);
    y = k * (p.cosPhi0 * sinPhi - p.sinPhi0 * cosPhi * cosDl);
}

void AppendFixed(std::string& out, int32_t v)
{
    // Written from the last digit back into a buffer: formatting the
    // coordinates of a MIF file was a tenth of its run while the digits
    // were shifted about in a string.
    const int64_t w = v;
    uint64_t whole = static_cast<uint64_t>(w < 0 ? -w : w);
    uint64_t fraction = whole % 1000000;
    whole /= 1000000;
    char buffer[24];
    char* const end = buffer + sizeof buffer;
    char* p = end;
    for (int i = 0; i < 6; ++i, fraction /= 10) *--p = static_cast<char>('0' + fraction % 10);
    *--p = '.';
    do {
        *--p = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole > 0);
    if (w < 0) *--p = '-';
    out.append(p, static_cast<std::size_t>(end - p));
}

std::string FormatFixed(int32_t v)
{
    std::string out;
    AppendFixed(out, v);
    return out;
}

std::string FormatGeneral15(double v)
{
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
    if (v == 0) return "0";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14E", v); // [-]d.ddddddddddddddE[+-]xx
    const char* s = buf;
    const bool negative = *s == '-';
    if (negative) ++s;
    std::string digits;
    for (; *s && *s != 'E'; ++s)
        if (*s != '.') digits.push_back(*s);
    const int exponent = std::atoi(s + 1);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= -5 && exponent < 15) {
        if (exponent >= 0) {
            const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= whole) {
                out += digits;
                out.append(whole - digits.size(), '0');
            } else {
                out += digits.substr(0, whole);
                out += '.';
                out += digits.substr(whole);
            }
        } else {
            out += "0.";
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += digits;
        }
    } else {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += 'E';
        out += std::to_string(exponent);
    }
    return out;
}

std::string FormatCoordinatePair(const Projection& p, GeoPoint pt)
{
    if (!p.active) {
        std::string out;
        out.reserve(24);
        AppendFixed(out, pt.x);
        out.push_back(' ');
        AppendFixed(out, pt.y);
        return out;
    }
    const double lon = pt.x * 0.000001;
    const double lat = pt.y * 0.000001;
    double x = 0, y = 0;
    ProjectLambert(p, lon, lat, x, y);
    return FormatGeneral15(x) + " " + FormatGeneral15(y);
}

} // namespace zalor
