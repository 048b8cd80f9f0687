#include "geometry/datum_shift.h"

#include <proj.h>

#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

namespace zalor {

// The context and the transformation made in it (lon, lat in degrees).
struct DatumShift::State {
    PJ_CONTEXT* context = nullptr;
    PJ* operation = nullptr;
    ~State()
    {
        proj_destroy(operation);
        proj_context_destroy(context);
    }
};

namespace {

struct PjFree {
    void operator()(PJ* p) const { proj_destroy(p); }
    void operator()(PJ_OBJ_LIST* l) const { proj_list_destroy(l); }
    void operator()(PJ_CONTEXT* c) const { proj_context_destroy(c); }
};
using PjPtr = std::unique_ptr<PJ, PjFree>;
using ListPtr = std::unique_ptr<PJ_OBJ_LIST, PjFree>;
using ContextPtr = std::unique_ptr<PJ_CONTEXT, PjFree>;

// What a transformation without a grid must be accurate to, in metres.
constexpr double kBestAccuracy = 1.0;

PjPtr GeographicCrs(PJ_CONTEXT* ctx, int epsg)
{
    const std::string code = std::to_string(epsg);
    return PjPtr(proj_create_from_database(ctx, "EPSG", code.c_str(), PJ_CATEGORY_CRS, 0, nullptr));
}

// PROJ's candidate transformations for the extent, best first.
ListPtr Candidates(PJ_CONTEXT* ctx, PJ* source, PJ* target, const AreaBox& extent, PROJ_GRID_AVAILABILITY_USE grids,
                   PROJ_SPATIAL_CRITERION criterion)
{
    PJ_OPERATION_FACTORY_CONTEXT* factory = proj_create_operation_factory_context(ctx, nullptr);
    if (!factory) return nullptr;
    proj_operation_factory_context_set_area_of_interest(ctx, factory, extent.minX / 1e6, extent.minY / 1e6,
                                                        extent.maxX / 1e6, extent.maxY / 1e6);
    proj_operation_factory_context_set_grid_availability_use(ctx, factory, grids);
    proj_operation_factory_context_set_spatial_criterion(ctx, factory, criterion);
    ListPtr list(proj_create_operations(ctx, source, target, factory));
    proj_operation_factory_context_destroy(factory);
    return list;
}

int GridCount(PJ_CONTEXT* ctx, PJ* op) { return proj_coordoperation_get_grid_used_count(ctx, op); }

// A transformation we convert with: PROJ can run it, and it interpolates
// a grid or is known to be accurate to a metre.
bool Accurate(PJ_CONTEXT* ctx, PJ* op)
{
    if (!proj_coordoperation_is_instantiable(ctx, op) || proj_coordoperation_has_ballpark_transformation(ctx, op))
        return false;
    const double accuracy = proj_coordoperation_get_accuracy(ctx, op);
    return GridCount(ctx, op) > 0 || (accuracy >= 0 && accuracy <= kBestAccuracy);
}

std::string Describe(PJ_CONTEXT* ctx, PJ* op);

// The best accurate transformation PROJ can run: one whose area holds the
// whole extent, else one whose area meets it (its grid may still cover
// the county). Without one, `approximate` describes the best PROJ can run.
PjPtr ChooseOperation(PJ_CONTEXT* ctx, PJ* source, PJ* target, const AreaBox& extent, std::string& approximate)
{
    for (PROJ_SPATIAL_CRITERION criterion :
         {PROJ_SPATIAL_CRITERION_STRICT_CONTAINMENT, PROJ_SPATIAL_CRITERION_PARTIAL_INTERSECTION}) {
        ListPtr list = Candidates(ctx, source, target, extent, PROJ_GRID_AVAILABILITY_DISCARD_OPERATION_IF_MISSING_GRID,
                                  criterion);
        const int n = list ? proj_list_get_count(list.get()) : 0;
        for (int i = 0; i < n; ++i) {
            PjPtr op(proj_list_get(ctx, list.get(), i));
            if (op && Accurate(ctx, op.get())) return op;
            if (op && approximate.empty()) approximate = Describe(ctx, op.get());
        }
    }
    return nullptr;
}

std::string AccuracyText(PJ_CONTEXT* ctx, PJ* op)
{
    const double accuracy = proj_coordoperation_get_accuracy(ctx, op);
    if (accuracy < 0) return "unknown accuracy";
    char text[32];
    std::snprintf(text, sizeof text, "%g m", accuracy);
    return text;
}

// "NAD27 to NAD83 (1), 0.15 m, grid us_noaa_conus.tif".
std::string Describe(PJ_CONTEXT* ctx, PJ* op)
{
    std::string text = proj_get_name(op) ? proj_get_name(op) : "unnamed transformation";
    text += ", " + AccuracyText(ctx, op);
    const int grids = GridCount(ctx, op);
    for (int g = 0; g < grids; ++g) {
        const char* name = nullptr;
        proj_coordoperation_get_grid_used(ctx, op, g, &name, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        text += (g == 0 ? ", grid " : ", ") + std::string(name ? name : "?");
    }
    return text;
}

// "-90.200000 40.100000 to -89.300000 40.900000".
std::string ExtentText(const AreaBox& extent)
{
    return FormatFixed(extent.minX) + " " + FormatFixed(extent.minY) + " to " + FormatFixed(extent.maxX) + " " +
           FormatFixed(extent.maxY);
}

// The grids that the best transformation for the extent needs and PROJ
// does not find, that transformation, and where the first grid can be had.
struct MissingGrids {
    std::vector<std::string> names;
    std::string operation;
    std::string url;
};

MissingGrids FindMissingGrids(PJ_CONTEXT* ctx, PJ* source, PJ* target, const AreaBox& extent)
{
    MissingGrids missing;
    ListPtr list = Candidates(ctx, source, target, extent, PROJ_GRID_AVAILABILITY_IGNORED,
                              PROJ_SPATIAL_CRITERION_PARTIAL_INTERSECTION);
    const int n = list ? proj_list_get_count(list.get()) : 0;
    for (int i = 0; i < n; ++i) {
        PjPtr op(proj_list_get(ctx, list.get(), i));
        if (!op || proj_coordoperation_has_ballpark_transformation(ctx, op.get())) continue;
        for (int g = 0; g < GridCount(ctx, op.get()); ++g) {
            const char *name = nullptr, *url = nullptr;
            int available = 0;
            proj_coordoperation_get_grid_used(ctx, op.get(), g, &name, nullptr, nullptr, &url, nullptr, nullptr,
                                              &available);
            if (available || !name || !*name) continue;
            if (missing.names.empty()) missing.url = url ? url : "";
            missing.names.emplace_back(name);
        }
        if (!missing.names.empty()) {
            missing.operation = proj_get_name(op.get()) ? proj_get_name(op.get()) : "the transformation";
            if (proj_coordoperation_get_accuracy(ctx, op.get()) >= 0)
                missing.operation += ", accurate to " + AccuracyText(ctx, op.get()) + ",";
            break;
        }
    }
    return missing;
}

// The directory PROJ's database is in, where PROJ also looks for grids.
std::string DataDirectory(PJ_CONTEXT* ctx)
{
    const char* db = proj_context_get_database_path(ctx);
    std::string path = db ? db : "";
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "/usr/share/proj" : path.substr(0, slash);
}

// Why the county cannot be converted: the grid to install and where, and
// the best that PROJ has without it (`approximate`).
std::string Refusal(PJ_CONTEXT* ctx, PJ* source, PJ* target, Datum from, const AreaBox& extent,
                    const std::string& approximate)
{
    std::string text = "No transformation from " + std::string(DatumName(from)) +
                       " to NAD83 accurate to 1 m can be used for " + ExtentText(extent);
    const MissingGrids missing = FindMissingGrids(ctx, source, target, extent);
    if (!missing.names.empty()) {
        text += ": PROJ does not find the grid ";
        for (std::size_t i = 0; i < missing.names.size(); ++i) text += (i == 0 ? "" : " and ") + missing.names[i];
        text += " that " + missing.operation + " needs. Put the grid file";
        if (!missing.url.empty()) text += " (" + missing.url + ")";
        text += " into PROJ's data directory " + DataDirectory(ctx) + ", or into a directory named by PROJ_DATA";
    }
    if (!approximate.empty())
        text += std::string(missing.names.empty() ? ": " : ". ") + "PROJ has only approximate transformations " +
                (missing.names.empty() ? "" : "without it ") + "(the best: " + approximate + ")";
    return text;
}

} // namespace

std::optional<DatumShift> DatumShift::Create(Datum from, const AreaBox& extent, std::string& error)
{
    DatumShift shift;
    if (from == Datum::Nad83) return shift;
    const std::string name(DatumName(from));
    if (extent.Empty()) {
        error = "No extent to convert from " + name + " to NAD83";
        return std::nullopt;
    }
    ContextPtr ctx(proj_context_create());
    if (!ctx) {
        error = "PROJ could not be started";
        return std::nullopt;
    }
    proj_log_level(ctx.get(), PJ_LOG_NONE);
    PjPtr source = GeographicCrs(ctx.get(), DatumEpsg(from));
    PjPtr target = GeographicCrs(ctx.get(), DatumEpsg(Datum::Nad83));
    if (!source || !target) {
        error = "PROJ has no coordinate system EPSG:" + std::to_string(DatumEpsg(from)) +
                " or EPSG:4269: its database proj.db is not found (PROJ_DATA)";
        return std::nullopt;
    }
    std::string approximate;
    PjPtr chosen = ChooseOperation(ctx.get(), source.get(), target.get(), extent, approximate);
    PjPtr operation(chosen ? proj_normalize_for_visualization(ctx.get(), chosen.get()) : nullptr);
    if (!operation) {
        error = Refusal(ctx.get(), source.get(), target.get(), from, extent, approximate);
        return std::nullopt;
    }
    shift.description_ = Describe(ctx.get(), chosen.get());
    shift.state_ = std::make_unique<State>();
    shift.state_->operation = operation.release();
    shift.state_->context = ctx.release(); // outlives the objects above, which go with this scope
    return shift;
}

DatumShift::DatumShift(DatumShift&&) noexcept = default;
DatumShift& DatumShift::operator=(DatumShift&&) noexcept = default;
DatumShift::~DatumShift() = default;

bool DatumShift::Shift(double& lon, double& lat)
{
    if (!state_) return true;
    const PJ_COORD out = proj_trans(state_->operation, PJ_FWD, proj_coord(lon, lat, 0, 0));
    // A point outside the grid comes back as HUGE_VAL.
    if (!std::isfinite(out.lp.lam) || !std::isfinite(out.lp.phi)) return false;
    lon = out.lp.lam;
    lat = out.lp.phi;
    return true;
}

bool DatumShift::Apply(GeoPoint& point)
{
    if (!state_) return true;
    double lon = point.x / 1e6, lat = point.y / 1e6;
    if (!Shift(lon, lat)) return false;
    const double x = std::round(lon * 1e6), y = std::round(lat * 1e6);
    if (!(std::fabs(x) <= 180e6 && std::fabs(y) <= 90e6)) return false;
    point = {static_cast<int32_t>(x), static_cast<int32_t>(y)};
    return true;
}

std::optional<std::size_t> DatumShift::Apply(std::span<GeoPoint> points)
{
    if (!state_) return std::nullopt;
    for (std::size_t i = 0; i < points.size(); ++i)
        if (!Apply(points[i])) return i;
    return std::nullopt;
}

} // namespace zalor
