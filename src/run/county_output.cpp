#include "run/county_output.h"

#include "features/area_keys.h"
#include "features/areas.h"
#include "features/line_columns.h"
#include "features/lines.h"
#include "run/parallel.h"
#include "run/progress.h"
#include "run/selection.h"
#include "tiger/area_records.h"

#include <algorithm>
#include <map>

namespace zalor {

std::string CountyJob::RecordFilePath(std::string_view type) const
{
    const std::string name = FileNamePart(source.inputPath);
    return DirectoryPart(source.inputPath) + name.substr(0, name.find('.')) + "." + std::string(type);
}

namespace {

// The existing-file rule of every layer: true (and the file listed) when
// the layer's main file (or its GeoPackage table) exists and existing files
// are skipped. A GeoPackage is listed once, with the county.
bool SkipExisting(Session& session, const LayerTarget& target)
{
    if (!session.settings.SkipExisting() || !target.Exists()) return false;
    if (!target.container) session.report.AddOutputEntry(target.MainPath());
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

void WriteNodeFilePhase(Session& session, const TNodeMgr& nodes, const CountyJob& job, const std::string& suffix)
{
    if (!job.format->points) return; // no node files in this format
    session.report.ShowStatus("Creating Node File");
    SessionProgress progress(session);
    if (!Conclude(session, WriteNodeLayer(nodes, job.Target(suffix + "N", suffix + "N"), progress))) return;
    session.report.ShowStatus("Done");
}

} // namespace

void WriteLineGroupPhase(Session& session, const County& county, const CountyJob& job, int mask,
                         const std::string& suffix, const std::string& theme)
{
    if (session.Stopped()) return;
    TClist selection;
    BuildCfccSelection(session.settings, mask, selection);
    if (selection.Empty()) return;

    RunReport& report = session.report;
    report.LogLine("Saving ..." + job.source.inputPath);
    LineLayerRequest request;
    request.target = job.Target(suffix, theme);
    if (SkipExisting(session, request.target)) return;
    report.ShowStatus("Creating... " + FileNamePart(request.target.MainPath()));
    request.selection = mask == kMaskAllChains ? nullptr : &selection;
    request.columnGroups = LineColumnGroups(session.settings, mask);

    TNodeMgr nodes;
    SessionProgress progress(session);
    if (!Conclude(session, WriteLineLayer(county, request, nodes, progress))) return;
    report.LogLine("Created..." + request.target.MainPath());
    if (request.columnGroups & kColNodes) WriteNodeFilePhase(session, nodes, job, suffix);
}

void WriteLineGroupsPhase(Session& session, const County& county, const CountyJob& job)
{
    const RunSettings& s = session.settings;
    const int flags = LineGroupFlags(s);
    // The groups A to X, then the all-chains file; independent layers, so
    // they are written on every core (the largest first).
    struct Group {
        int mask;
        std::string suffix;
        const std::string& name;
    };
    std::vector<Group> groups;
    std::vector<std::size_t> first;
    for (const LineGroupDef& g : LineGroupTable())
        if (g.mask != kMaskAllChains) groups.push_back({flags & g.mask, s.Text(g.suffixKey), g.name});
    for (const LineGroupDef& g : LineGroupTable())
        if (g.mask == kMaskAllChains && LineGroupChosen(s, g)) {
            first.push_back(groups.size());
            groups.push_back({g.mask, s.Text(g.suffixKey), g.name});
        }
    if (flags & kMaskRoads) first.push_back(0);
    RunOrdered(
        session, groups.size(),
        [&](Session& task, std::size_t i) {
            WriteLineGroupPhase(task, county, job, groups[i].mask, groups[i].suffix, groups[i].name);
        },
        first, LayerWorkers(session));
    session.report.ProcessEvents();
}

void WriteLandmarkPointsPhase(Session& session, const County& county, const CountyJob& job)
{
    if (session.Stopped() || !job.format->points) return;
    TClist classes;
    BuildCfccSelection(session.settings, kMaskPointLandmarks, classes);
    if (classes.Empty()) return;
    const LayerTarget target = job.Target(session.settings.Text("Dsuf2"), FindSetting("Dsuf2")->defaultValue);
    if (SkipExisting(session, target)) return;
    session.report.ShowStatus("Creating... " + FileNamePart(target.MainPath()));
    SessionProgress progress(session);
    Conclude(session, WriteLandmarkPoints(county, target, classes, progress));
}

namespace {

const AreaRecordType& RecordTypeOf(char type)
{
    switch (type) {
    case 'A': return kRtaRecords;
    case '8': return kRt8Records;
    case '9': return kRt9Records;
    default: return kRtsRecords;
    }
}

// One attribute record file, read once for every area layer of the county
// that keys its areas by it.
struct AreaFile {
    bool wanted = false;
    std::vector<AreaField> fields;
    RecordFileReport report;
    AreaTable table;                          // RTS, RTA, RT8
    std::vector<KeyLocationRecord> locations; // RT9
};

// One area layer of the county, as planned before the layers are written.
struct AreaPlan {
    const AreaLayerDef* def = nullptr;
    std::string name;
    AreaLayerRequest request;
    TClist classes;          // the landmark classes of a landmark layer
    bool write = false;      // false: nothing of its classes is chosen, or it is skipped
    bool skipped = false;    // its files exist and existing files are skipped
    std::size_t field = 0;   // its key field in its file's table
    bool firstOfFile = false; // the first layer written from its file: says what is wrong with it
};

AreaFile& FileOf(std::map<char, AreaFile>& files, const AreaLayerDef& def) { return files[def.recordType]; }

AreaPlan PlanLayer(const RunSettings& s, const CountyJob& job, const AreaLayerDef& def)
{
    AreaPlan p;
    p.def = &def;
    p.name = AreaLayerName(s, def);
    AreaLayerRequest& r = p.request;
    // Key geographic locations are keyed by their feature number.
    r.name = def.recordType == '9' ? "FEAT" : p.name;
    r.names = def.recordType == '9'   ? AreaNames::KeyLocations
              : def.recordType == '8' ? AreaNames::Landmarks
                                      : AreaNames::Entities;
    r.cfccColumn = def.recordType == '8' || def.recordType == '9';
    r.zcta = p.name == "ZCTA5";
    r.centroid = !def.centroidKey.empty() && s.Box(def.centroidKey);
    r.target = job.Target(p.name, def.defaultName);
    r.target.projection = Projection(); // areas are written in degrees
    if (def.landmarkClassMask != 0) {
        BuildCfccSelection(s, def.landmarkClassMask, p.classes);
        if (p.classes.Empty()) return p;
    }
    p.skipped = s.SkipExisting() && r.target.Exists();
    p.write = !p.skipped;
    return p;
}

// Reads each record file that a written layer needs, once, with every key
// field asked for. What is wrong with a file is said by its first layer.
void ReadAreaFiles(Session& session, const CountyJob& job, std::vector<AreaPlan>& plans,
                   std::map<char, AreaFile>& files)
{
    for (AreaPlan& p : plans) {
        if (!p.write) continue;
        AreaFile& f = FileOf(files, *p.def);
        p.firstOfFile = !f.wanted;
        f.wanted = true;
        if (p.def->recordType == '9') continue;
        const AreaField field{static_cast<std::size_t>(p.def->column), static_cast<std::size_t>(p.def->width)};
        auto at = std::find(f.fields.begin(), f.fields.end(), field);
        p.field = static_cast<std::size_t>(at - f.fields.begin());
        if (at == f.fields.end()) f.fields.push_back(field);
    }
    SessionProgress progress(session);
    for (auto& [type, f] : files) {
        if (!f.wanted || session.Stopped()) continue;
        const AreaRecordType& rt = RecordTypeOf(type);
        TZipFile file = OpenRecordFile(job.source, rt.extension, rt.recordLength);
        if (!file.OpenFailed()) {
            if (type == '9') f.locations = ReadKeyLocations(file, progress);
            else f.table = ReadAreaTable(file, rt, f.fields, progress);
        }
        f.report = RecordFileReport::Of(file);
    }
}

// The layer's records grouped into areas; false when nothing can be
// written (its file is not there or could not be opened).
bool GroupLayer(Session& session, const County& county, const CountyJob& job, const AreaPlan& p, const AreaFile& f,
                AreaKeys& keys)
{
    const RecordFileReport& report = f.report;
    if (report.openFailed) {
        if (!report.openError.empty()) {
            if (p.firstOfFile) session.CountyError("Unable to Read " + report.openError);
            else ++session.countyErrors;
        } else if (p.firstOfFile) {
            session.report.Notice(FileNamePart(report.name) + " not found: no area layer is written from it");
        }
        return false;
    }
    if (p.firstOfFile) ReportRejected(session, report);
    SessionProgress progress(session);
    if (p.def->recordType == '9') {
        keys = GroupKeyLocations(f.locations, p.classes, progress);
    } else {
        AreaKeyRules rules;
        rules.label = LayerLabel(p.name);
        rules.zcta = p.request.zcta;
        rules.excludeWater = !p.def->excludeWaterKey.empty() && session.settings.Box(p.def->excludeWaterKey);
        rules.polygonKeys = p.def->polygonKeys;
        rules.landmarkClasses = p.def->landmarkClassMask != 0 ? &p.classes : nullptr;
        keys = GroupAreaRecords(f.table, p.field, rules, county.landmarks, progress);
    }
    if (!report.error.empty()) {
        session.CountyError("Unable to Open " + job.RecordFilePath(RecordTypeOf(p.def->recordType).extension + 1) +
                            ": " + report.error);
        session.report.ShowStatus("Error!");
    }
    return true;
}

void WritePlannedLayer(Session& session, const County& county, const CountyJob& job, const AreaPlan& p,
                       const AreaFile& f, std::span<const PolygonSides> sides)
{
    if (session.Stopped()) return;
    // A GeoPackage is listed once, with the county.
    if (p.skipped && !p.request.target.container) session.report.AddOutputEntry(p.request.target.MainPath());
    if (!p.write) return;
    session.report.LogLine("Geographic Entities [" + p.name + "] ");
    AreaKeys keys;
    if (!GroupLayer(session, county, job, p, f, keys)) return;
    const TBList groups = SelectAreaGroups(sides, keys);
    session.report.LogLine("Processing " + p.request.name + "[ " + std::to_string(groups.Count()) + " Objects]");
    SessionProgress progress(session);
    if (!Conclude(session, WriteAreaLayer(county, p.request, keys, groups, progress))) return;
    session.report.ShowStatus("Done...");
    progress.Progress(1, 1);
}

void WriteAreaLayers(Session& session, const County& county, const CountyJob& job,
                     const std::vector<const AreaLayerDef*>& defs)
{
    if (session.Stopped()) return;
    std::vector<AreaPlan> plans;
    for (const AreaLayerDef* def : defs) plans.push_back(PlanLayer(session.settings, job, *def));
    std::map<char, AreaFile> files;
    ReadAreaFiles(session, job, plans, files);
    for (const AreaPlan& p : plans) files.try_emplace(p.def->recordType); // the tasks only look up
    const std::vector<PolygonSides> sides = ChainSides(county.chains);
    // Independent layers: written on every core, reported in order.
    RunOrdered(
        session, plans.size(),
        [&](Session& task, std::size_t i) {
            WritePlannedLayer(task, county, job, plans[i], files.at(plans[i].def->recordType), sides);
        },
        {}, LayerWorkers(session));
}

} // namespace

void WriteAreaLayerPhase(Session& session, const County& county, const CountyJob& job, const AreaLayerDef& def)
{
    WriteAreaLayers(session, county, job, {&def});
}

void WriteAreaLayersPhase(Session& session, const County& county, const CountyJob& job)
{
    std::vector<const AreaLayerDef*> defs;
    for (const AreaLayerDef& def : AreaLayerTable())
        if (AreaLayerSelected(session.settings, def)) defs.push_back(&def);
    WriteAreaLayers(session, county, job, defs);
}

} // namespace zalor
