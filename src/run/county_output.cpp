#include "run/county_output.h"

#include "features/areas.h"
#include "features/line_columns.h"
#include "features/lines.h"
#include "run/parallel.h"
#include "run/progress.h"
#include "tiger/area_records.h"
#include "tiger/area_sources.h"
#include "tiger/paths.h"

#include <algorithm>
#include <map>

namespace zalor {

std::string CountyPlan::RecordFilePath(std::string_view type) const
{
    const std::string name = FileNamePart(source.inputPath);
    return DirectoryPart(source.inputPath) + name.substr(0, name.find('.')) + "." + std::string(type);
}

namespace {

// Whether the layer's files there from before are kept: existing files are
// skipped and they are there, as one whole set (a set that is not is
// written again, and the log says why).
bool KeepsExisting(Session& session, const LayerTarget& target)
{
    if (!session.plan->skipExisting || !target.Exists()) return false;
    const std::string fault = target.ExistingSetFault();
    if (fault.empty()) return true;
    session.report.Notice(target.MainPath() + " is not kept: " + fault + "; it is written again");
    return false;
}

// The existing-file rule of every layer: true (and the file listed) when
// the layer's main file (or its GeoPackage table) exists and existing files
// are skipped. A GeoPackage is listed once, with the county.
bool SkipExisting(Session& session, const LayerTarget& target)
{
    if (!KeepsExisting(session, target)) return false;
    if (!target.container) session.report.AddOutputEntry(target.MainPath(), OutputEntry::State::Kept);
    return true;
}

// Reports what came of a layer and lists its files. False when its files
// could not be created.
bool Conclude(Session& session, const LayerOutcome& outcome)
{
    ReportFailures(session, outcome.failures);
    if (!outcome.incomplete.empty())
        session.report.LogLine("Incomplete, not kept: " + outcome.incomplete + (outcome.stopped ? " (stopped)" : ""));
    if (!outcome.created) return false;
    for (const std::string& path : outcome.outputs) session.report.AddOutputEntry(path);
    return true;
}

void WriteNodeFilePhase(Session& session, const TNodeMgr& nodes, const CountyPlan& job, const std::string& suffix)
{
    if (!job.format->points) return; // no node files in this format
    session.report.ShowStatus("Creating Node File");
    SessionProgress progress(session);
    if (!Conclude(session, WriteNodeLayer(nodes, job.Target(suffix + "N", suffix + "N"), progress))) return;
}

} // namespace

void WriteLineGroupPhase(Session& session, const County& county, const CountyPlan& job, const LineGroupPlan& group)
{
    if (session.Stopped()) return;
    RunReport& report = session.report;
    report.LogLine("Saving ..." + job.source.inputPath);
    LineLayerRequest request;
    request.target = job.Target(group.suffix, group.name);
    if (SkipExisting(session, request.target)) return;
    report.ShowStatus("Creating... " + FileNamePart(request.target.MainPath()));
    request.selection = group.everyChain ? nullptr : &group.codes;
    request.columnGroups = group.columnGroups;

    TNodeMgr nodes;
    SessionProgress progress(session);
    if (!Conclude(session, WriteLineLayer(county, request, nodes, progress))) return;
    report.LogLine("Created..." + request.target.MainPath());
    if (request.columnGroups & kColNodes) WriteNodeFilePhase(session, nodes, job, group.suffix);
}

void WriteLineGroupsPhase(Session& session, const County& county, const CountyPlan& job)
{
    // Independent layers, so they are written on every core: the
    // all-chains file and the roads, the largest, first.
    const std::vector<LineGroupPlan>& groups = session.plan->lineGroups;
    std::vector<std::size_t> first;
    for (std::size_t i = 0; i < groups.size(); ++i)
        if (groups[i].everyChain) first.push_back(i);
    if (!groups.empty() && groups.front().mask == kMaskRoads) first.push_back(0);
    RunOrdered(
        session, groups.size(),
        [&](Session& task, std::size_t i) { WriteLineGroupPhase(task, county, job, groups[i]); }, first,
        LayerWorkers(session));
}

void WriteLandmarkPointsPhase(Session& session, const County& county, const CountyPlan& job)
{
    const std::optional<PointLayerPlan>& points = session.plan->points;
    if (session.Stopped() || !job.format->points || !points) return;
    const LayerTarget target = job.Target(points->suffix, points->theme);
    if (SkipExisting(session, target)) return;
    session.report.ShowStatus("Creating... " + FileNamePart(target.MainPath()));
    SessionProgress progress(session);
    Conclude(session, WriteLandmarkPoints(county, target, points->classes, progress));
}

namespace {

// One attribute record file, read once for every area layer of the county
// that keys its areas by it.
struct AreaFile {
    const AreaRecordType* records = nullptr;
    bool wanted = false;
    std::vector<AreaField> fields;
    RecordFileReport report;
    AreaTable table;                          // polygon and landmark records
    std::vector<KeyLocationRecord> locations; // key geographic locations
};
// The files by their record type.
using AreaFiles = std::map<char, AreaFile>;

// The county's water polygons, for the layers that leave water out.
struct CountyWater {
    WaterSource source;
    std::size_t field = 0;        // the water field in its file's table
    std::vector<int32_t> polygons; // sorted
};

// One area layer of the county, as it stands before the layers are written.
struct CountyAreaLayer {
    const AreaLayerPlan* plan = nullptr;
    AreaKeySource source; // where the county's release has its keys
    AreaLayerRequest request;
    bool skipped = false;     // its files exist and existing files are skipped
    std::size_t field = 0;    // its key field in its file's table
    bool firstOfFile = false; // the first layer written from its file: says what is wrong with it
};

CountyAreaLayer PlanLayer(Session& session, const CountyPlan& job, const AreaLayerPlan& plan,
                          const AreaKeySource& source)
{
    CountyAreaLayer p;
    p.plan = &plan;
    p.source = source;
    AreaLayerRequest& r = p.request;
    r.name = plan.keyName;
    r.names = plan.names;
    r.cfccColumn = plan.cfccColumn;
    r.zcta = plan.zcta;
    r.centroid = plan.centroid;
    r.target = job.Target(plan.name, plan.theme);
    r.target.projection = Projection{.datum = job.projection.datum}; // areas are written in degrees, on the county's datum
    p.skipped = KeepsExisting(session, r.target);
    return p;
}

// The index of the field in the file's table, asked for when new.
std::size_t AskForField(AreaFile& f, const AreaField& field)
{
    const auto at = std::find(f.fields.begin(), f.fields.end(), field);
    const auto index = static_cast<std::size_t>(at - f.fields.begin());
    if (at == f.fields.end()) f.fields.push_back(field);
    return index;
}

// The field that marks water, asked for when a written layer leaves water out.
void AskForWater(const CountyPlan& job, const std::vector<CountyAreaLayer>& layers, AreaFiles& files, CountyWater& water)
{
    const bool wanted = std::any_of(layers.begin(), layers.end(), [](const CountyAreaLayer& p) {
        return !p.skipped && p.plan->excludeWater && p.source.records->content != AreaContent::KeyLocations;
    });
    if (!wanted) return;
    water.source = WaterSourceOf(job.release.group);
    if (!water.source.records) return;
    AreaFile& f = files[water.source.records->type];
    f.records = water.source.records;
    f.wanted = true;
    water.field = AskForField(f, AreaField{water.source.field.first, water.source.field.Width()});
}

// The polygons the water field marks, once the files are read.
void FindWater(Session& session, const AreaFiles& files, CountyWater& water)
{
    if (!water.source.records) return;
    const AreaFile& f = files.at(water.source.records->type);
    if (f.report.openFailed) {
        session.report.Notice(FileNamePart(f.report.name) + " not found: water is not left out of the areas");
        return;
    }
    for (std::size_t r = 0; r < f.table.Size(); ++r)
        if (water.source.IsWater(f.table.Key(water.field, r))) water.polygons.push_back(f.table.polygons[r]);
    std::sort(water.polygons.begin(), water.polygons.end());
}

// Reads each record file that a written layer needs, once, with every key
// field asked for. What is wrong with a file is said by its first layer.
void ReadAreaFiles(Session& session, const CountyPlan& job, std::vector<CountyAreaLayer>& layers, AreaFiles& files,
                   CountyWater& water)
{
    for (CountyAreaLayer& p : layers) {
        AreaFile& f = files[p.source.records->type];
        f.records = p.source.records;
        if (p.skipped) continue;
        p.firstOfFile = !f.wanted;
        f.wanted = true;
        if (f.records->content == AreaContent::KeyLocations) continue;
        p.field = AskForField(f, AreaField{p.source.key.first, p.source.key.Width(), p.source.prefix.first,
                                           p.source.prefix.Width()});
    }
    AskForWater(job, layers, files, water);
    SessionProgress progress(session);
    for (auto& [type, f] : files) {
        if (!f.wanted || session.Stopped()) continue;
        const AreaRecordType& rt = *f.records;
        TZipFile file = OpenRecordFile(job.source, rt.extension, job.layouts->RecordLength(rt.type));
        if (!file.OpenFailed()) {
            if (rt.content == AreaContent::KeyLocations) f.locations = ReadKeyLocations(file, *job.layouts, progress);
            else f.table = ReadAreaTable(file, *job.layouts, rt, f.fields, progress);
        }
        f.report = RecordFileReport::Of(file);
    }
    FindWater(session, files, water);
}

// A record file that could not be opened, said by the first layer that
// wanted it. False when there is nothing to group.
bool FileOpened(Session& session, const CountyAreaLayer& p, const RecordFileReport& report)
{
    if (!report.openFailed) {
        if (p.firstOfFile) ReportRejected(session, report);
        return true;
    }
    if (!report.openError.empty()) {
        if (p.firstOfFile) session.CountyError("Unable to Read " + report.openError);
        else ++session.countyErrors;
    } else if (p.firstOfFile) {
        session.report.Notice(FileNamePart(report.name) + " not found: no area layer is written from it");
    }
    return false;
}

// The layer's records grouped into areas; false when nothing can be
// written (its file is not there or could not be opened).
bool GroupLayer(Session& session, const County& county, const CountyPlan& job, const CountyAreaLayer& p,
                const AreaFile& f, const CountyWater& water, AreaKeys& keys)
{
    if (!FileOpened(session, p, f.report)) return false;
    // Records read only in part give no layer (a county that fails lists
    // nothing it did not complete).
    if (!f.report.error.empty()) {
        if (p.firstOfFile) {
            session.CountyError("Unable to Open " + job.RecordFilePath(f.records->extension + 1) + ": " +
                                f.report.error);
            session.report.ShowStatus("Error!");
        } else {
            ++session.countyErrors;
        }
        return false;
    }
    const AreaLayerPlan& plan = *p.plan;
    if (plan.landmarkClasses && county.landmarksFailed) {
        session.report.LogLine("Not written: " + p.request.target.MainPath() + " (the landmarks were not read)");
        return false;
    }
    SessionProgress progress(session);
    if (f.records->content == AreaContent::KeyLocations) {
        keys = GroupKeyLocations(f.locations, *plan.landmarkClasses, progress);
    } else {
        AreaKeyRules rules;
        rules.label = plan.label;
        rules.zcta = plan.zcta;
        if (plan.excludeWater) rules.water = &water.polygons;
        rules.polygonKeys = plan.polygonKeys;
        rules.landmarkClasses = plan.landmarkClasses ? &*plan.landmarkClasses : nullptr;
        keys = GroupAreaRecords(f.table, p.field, rules, county.landmarks, progress);
    }
    return true;
}

void WriteCountyAreaLayer(Session& session, const County& county, const CountyPlan& job, const CountyAreaLayer& p,
                          const AreaFile& f, const CountyWater& water, std::span<const PolygonSides> sides)
{
    if (session.Stopped()) return;
    const LayerTarget& target = p.request.target;
    if (p.skipped) {
        // A file of every layer is listed once, with the county.
        if (!target.container) session.report.AddOutputEntry(target.MainPath(), OutputEntry::State::Kept);
        return;
    }
    session.report.LogLine("Geographic Entities [" + p.plan->name + "] ");
    AreaKeys keys;
    if (!GroupLayer(session, county, job, p, f, water, keys)) return;
    const TBList groups = SelectAreaGroups(sides, keys);
    session.report.LogLine("Processing " + p.request.name + "[ " + std::to_string(groups.Count()) + " Objects]");
    SessionProgress progress(session);
    if (!Conclude(session, WriteAreaLayer(county, p.request, keys, groups, progress))) return;
    progress.Progress(1, 1);
}

// Layer names grouped by a reason, in the order the reasons came up.
class ReasonGroups {
public:
    void Add(std::string_view reason, const std::string& layer)
    {
        if (!layers_.count(reason)) reasons_.push_back(reason);
        layers_[reason].push_back(layer);
    }
    bool Empty() const { return reasons_.empty(); }
    // "no 1990 areas (FAIR90, FPL90) and no CTPP areas (CTPP)".
    std::string Text() const
    {
        std::string text;
        for (std::size_t i = 0; i < reasons_.size(); ++i) {
            std::string names;
            for (const std::string& name : layers_.at(reasons_[i])) names += (names.empty() ? "" : ", ") + name;
            text += (i == 0 ? "" : i + 1 == reasons_.size() ? " and " : ", ") + std::string(reasons_[i]) + " (" +
                    names + ")";
        }
        return text;
    }

private:
    std::map<std::string_view, std::vector<std::string>> layers_;
    std::vector<std::string_view> reasons_;
};

// The layers the county's release has keys of; one warning names the
// others, and one the layers read from columns no real file of the
// release has confirmed.
std::vector<CountyAreaLayer> CountyLayers(Session& session, const CountyPlan& job,
                                          const std::vector<AreaLayerPlan>& plans)
{
    std::vector<CountyAreaLayer> layers;
    ReasonGroups absent, uncertain;
    for (const AreaLayerPlan& plan : plans) {
        const AreaKeySource source = AreaKeySourceOf(plan.theme, job.release.group);
        if (!source.Present()) {
            absent.Add(source.absent, plan.name);
            continue;
        }
        if (!source.uncertain.empty()) uncertain.Add(source.uncertain, plan.name);
        layers.push_back(PlanLayer(session, job, plan, source));
    }
    if (!absent.Empty()) session.report.Notice(job.release.name + " has " + absent.Text() + ": those layers are not written");
    if (!uncertain.Empty())
        session.report.Notice(job.release.name + ": the layout of " + uncertain.Text() +
                              " is that of the late 1990s, which no real file of this release has confirmed: check "
                              "those layers");
    return layers;
}

void WriteAreaLayers(Session& session, const County& county, const CountyPlan& job,
                     const std::vector<AreaLayerPlan>& plans)
{
    if (session.Stopped()) return;
    std::vector<CountyAreaLayer> layers = CountyLayers(session, job, plans);
    AreaFiles files;
    CountyWater water;
    ReadAreaFiles(session, job, layers, files, water);
    const std::vector<PolygonSides> sides = ChainSides(county.chains);
    // Independent layers: written on every core, reported in order.
    RunOrdered(
        session, layers.size(),
        [&](Session& task, std::size_t i) {
            WriteCountyAreaLayer(task, county, job, layers[i], files.at(layers[i].source.records->type), water, sides);
        },
        {}, LayerWorkers(session));
}

} // namespace

void WriteAreaLayersPhase(Session& session, const County& county, const CountyPlan& job)
{
    WriteAreaLayers(session, county, job, session.plan->areas);
}

} // namespace zalor
