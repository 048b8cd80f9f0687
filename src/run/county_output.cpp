#include "run/county_output.h"

#include "features/area_keys.h"
#include "features/areas.h"
#include "features/line_columns.h"
#include "features/lines.h"
#include "run/parallel.h"
#include "run/progress.h"
#include "run/selection.h"
#include "tiger/area_records.h"


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
    if (!target.table.file) session.report.AddOutputEntry(target.MainPath());
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
    if (!TraitsOf(job.format).points) return; // no node files in this format
    session.report.ShowStatus("Creating Node File");
    SessionProgress progress(session);
    if (!Conclude(session, WriteNodeLayer(nodes, job.Target(suffix + "N"), progress))) return;
    session.report.ShowStatus("Done");
}

} // namespace

void WriteLineGroupPhase(Session& session, const County& county, const CountyJob& job, int mask,
                         const std::string& suffix)
{
    if (session.Stopped()) return;
    TClist selection;
    BuildCfccSelection(session.settings, mask, selection);
    if (selection.Empty()) return;

    RunReport& report = session.report;
    report.LogLine("Saving ..." + job.source.inputPath);
    LineLayerRequest request;
    request.target = job.Target(suffix);
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
    std::vector<std::pair<int, std::string>> groups;
    std::vector<std::size_t> first;
    for (const LineGroupDef& g : LineGroupTable())
        if (g.mask != kMaskAllChains) groups.emplace_back(flags & g.mask, s.Text(g.suffixKey));
    for (const LineGroupDef& g : LineGroupTable())
        if (g.mask == kMaskAllChains && LineGroupChosen(s, g)) {
            first.push_back(groups.size());
            groups.emplace_back(g.mask, s.Text(g.suffixKey));
        }
    if (flags & kMaskRoads) first.push_back(0);
    RunOrdered(
        session, groups.size(),
        [&](Session& task, std::size_t i) { WriteLineGroupPhase(task, county, job, groups[i].first, groups[i].second); },
        first);
    session.report.ProcessEvents();
}

void WriteLandmarkPointsPhase(Session& session, const County& county, const CountyJob& job)
{
    if (session.Stopped() || !TraitsOf(job.format).points) return;
    TClist classes;
    BuildCfccSelection(session.settings, kMaskPointLandmarks, classes);
    if (classes.Empty()) return;
    const LayerTarget target = job.Target(session.settings.Text("Dsuf2"));
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

// The layer's records grouped into areas; false when the layer is not
// written (nothing selected of its classes, skipped, no record file).
bool GroupLayerRecords(Session& session, const County& county, const CountyJob& job, const AreaLayerDef& def,
                       AreaLayerRequest& request, AreaKeys& keys)
{
    const RunSettings& s = session.settings;
    TClist classes;
    if (def.landmarkClassMask != 0) {
        BuildCfccSelection(s, def.landmarkClassMask, classes);
        if (classes.Empty()) return false;
    }
    const std::string name = AreaLayerName(s, def);
    request.target = job.Target(name);
    request.target.projection = Projection(); // areas are written in degrees
    if (SkipExisting(session, request.target)) return false;

    session.report.LogLine("Geographic Entities [" + name + "] ");
    const AreaRecordType& type = RecordTypeOf(def.recordType);
    TZipFile file = OpenRecordFile(job.source, type.extension, type.recordLength);
    if (file.OpenFailed()) {
        if (!ReportOpenFailure(session, file)) NoteMissing(session, file, "no area layer is written from it");
        return false;
    }
    SessionProgress progress(session);
    if (def.recordType == '9') {
        keys = GroupKeyLocations(ReadKeyLocations(file, progress), classes, progress);
    } else {
        AreaKeyRules rules;
        rules.label = LayerLabel(name);
        rules.zcta = request.zcta;
        rules.excludeWater = !def.excludeWaterKey.empty() && s.Box(def.excludeWaterKey);
        rules.polygonKeys = def.polygonKeys;
        rules.landmarkClasses = def.landmarkClassMask != 0 ? &classes : nullptr;
        const std::vector<AreaRecord> records =
            ReadAreaRecords(file, type, static_cast<std::size_t>(def.column), static_cast<std::size_t>(def.width),
                            progress);
        keys = GroupAreaRecords(records, rules, county.landmarks, progress);
    }
    if (ReportReadFailure(session, file, "Unable to Open " + job.RecordFilePath(type.extension + 1) + ": " +
                                             file.Error()))
        session.report.ShowStatus("Error!");
    return true;
}

} // namespace

void WriteAreaLayerPhase(Session& session, const County& county, const CountyJob& job, const AreaLayerDef& def)
{
    if (session.Stopped()) return;
    const RunSettings& s = session.settings;
    AreaLayerRequest request;
    const std::string name = AreaLayerName(s, def);
    // Key geographic locations are keyed by their feature number.
    request.name = def.recordType == '9' ? "FEAT" : name;
    request.names = def.recordType == '9'   ? AreaNames::KeyLocations
                    : def.recordType == '8' ? AreaNames::Landmarks
                                            : AreaNames::Entities;
    request.cfccColumn = def.recordType == '8' || def.recordType == '9';
    request.zcta = name == "ZCTA5";
    request.centroid = !def.centroidKey.empty() && s.Box(def.centroidKey);
    request.brushColour = def.colour;
    request.kxfClass = def.kxfClass;
    AreaKeys keys;
    if (!GroupLayerRecords(session, county, job, def, request, keys)) return;

    const TBList groups = SelectAreaGroups(county.chains, keys);
    session.report.LogLine("Processing " + request.name + "[ " + std::to_string(groups.Count()) + " Objects]");
    SessionProgress progress(session);
    if (!Conclude(session, WriteAreaLayer(county, request, keys, groups, progress))) return;
    session.report.ShowStatus("Done...");
    progress.Progress(1, 1);
}

void WriteAreaLayersPhase(Session& session, const County& county, const CountyJob& job)
{
    for (const AreaLayerDef& def : AreaLayerTable())
        if (AreaLayerSelected(session.settings, def)) WriteAreaLayerPhase(session, county, job, def);
}

} // namespace zalor
