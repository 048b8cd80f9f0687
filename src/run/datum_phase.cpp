#include "run/datum_phase.h"

#include "geometry/datum_shift.h"
#include "run/plan.h"
#include "tiger/polygons.h"

#include <cstdio>
#include <vector>

namespace zalor {

namespace {

// The precision's digits cut from a shifted coordinate as the reader cuts
// them from a field: towards zero.
int32_t Reduce(int32_t v, int digits)
{
    int32_t unit = 1;
    for (int d = digits; d < 6; ++d) unit *= 10;
    return v / unit * unit;
}

std::string PointText(GeoPoint p)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.6f %.6f", p.x / 1e6, p.y / 1e6);
    return text;
}

// Shifts the points in place, each reduced to the run's precision; false,
// with the county's error, at a point beyond the grid.
bool ShiftPoints(Session& session, const CountyPlan& job, std::span<GeoPoint> points)
{
    if (const auto beyond = job.shift->Apply(points)) {
        session.CountyError("Error Converting " + job.source.inputPath + " to NAD83: the point " +
                            PointText(points[*beyond]) + " lies beyond the grid of " + job.shift->Description());
        return false;
    }
    const int digits = session.plan->precision;
    if (digits < 6)
        for (GeoPoint& p : points) p = GeoPoint{Reduce(p.x, digits), Reduce(p.y, digits)};
    return true;
}

AreaBox ExtentBox(const CountyExtent& e)
{
    AreaBox box;
    box.Widen(GeoPoint{e.minX, e.minY});
    box.Widen(GeoPoint{e.maxX, e.maxY});
    return box;
}

} // namespace

bool ShiftChainsPhase(Session& session, County& county, CountyPlan& job)
{
    if (!session.plan->toNad83 || job.projection.datum == Datum::Nad83 || county.chains.count() == 0) return true;
    const std::string from(DatumName(job.projection.datum));
    std::string error;
    std::optional<DatumShift> shift = DatumShift::Create(job.projection.datum, ExtentBox(county.extent), error);
    if (!shift) {
        session.CountyError("Error Converting " + job.source.inputPath + " from " + from + " to NAD83: " + error);
        return false;
    }
    job.shift = std::make_shared<DatumShift>(std::move(*shift));
    session.report.ShowStatus("Converting to NAD83...");
    ChainTable& chains = county.chains;
    // Both ends of every chain, then the shape points: the same point of
    // two chains is shifted to the same place.
    std::vector<GeoPoint> ends;
    ends.reserve(2 * static_cast<std::size_t>(chains.count()));
    for (int32_t i = 1; i <= chains.count(); ++i) {
        ends.push_back(chains[i].from);
        ends.push_back(chains[i].to);
    }
    if (!ShiftPoints(session, job, ends) || !ShiftPoints(session, job, chains.shapePoints)) return false;
    for (int32_t i = 1; i <= chains.count(); ++i) {
        chains[i].from = ends[2 * static_cast<std::size_t>(i - 1)];
        chains[i].to = ends[2 * static_cast<std::size_t>(i - 1) + 1];
    }
    county.extent = ComputeCountyExtent(chains);
    job.projection.datum = Datum::Nad83;
    session.report.LogLine("Converted from " + from + " to NAD83: " + job.shift->Description());
    return true;
}

bool ShiftLandmarksPhase(Session& session, County& county, const CountyPlan& job)
{
    if (!job.shift || county.landmarks.empty()) return true;
    // Landmarks without a location (0, 0) stay so.
    auto located = [](const LandmarkRecord& l) { return l.location.x != 0 || l.location.y != 0; };
    std::vector<GeoPoint> points;
    points.reserve(county.landmarks.size());
    for (const LandmarkRecord& l : county.landmarks)
        if (located(l)) points.push_back(l.location);
    if (!ShiftPoints(session, job, points)) return false;
    std::size_t next = 0;
    for (LandmarkRecord& l : county.landmarks)
        if (located(l)) l.location = points[next++];
    return true;
}

} // namespace zalor
