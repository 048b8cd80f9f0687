// The plan of a run: the settings table says what each setting means, and
// these builders turn the settings into the typed plan the driver reads.
#include "run/plan.h"

#include "features/area_keys.h"
#include "features/line_columns.h"
#include "run/selection.h"
#include "run/setting_checks.h"
#include "run/settings.h"
#include "tiger/area_sources.h"

namespace zalor {

namespace {

const FormatDriver* FormatOf(const RunSettings& s)
{
    const std::size_t choice = static_cast<std::size_t>(s.ChoiceValue("RbF"));
    const auto formats = FormatDrivers();
    return choice < formats.size() ? formats[choice] : formats.front();
}

} // namespace

bool AutoZipApplies(const RunSettings& s) { return !FormatOf(s)->zipped.empty(); }

namespace {

DirectoryScheme DirectoriesOf(const RunSettings& s)
{
    switch (s.ChoiceValue("RbD")) {
    case 1: return DirectoryScheme::State;
    case 2: return DirectoryScheme::StateAndCounty;
    case 3: return DirectoryScheme::StateAndCountyName;
    default: return DirectoryScheme::None;
    }
}

ChainOrder OrderOf(const RunSettings& s)
{
    switch (s.ChoiceValue("RbO")) {
    case 2: return ChainOrder::Spatial;
    case 3: return ChainOrder::Mcd;
    case 4: return ChainOrder::Cfcc;
    default: return ChainOrder::Identifier;
    }
}

// The Lambert projection of line, node and point layers, when it is chosen.
void PlanProjection(const RunSettings& s, ConversionPlan& plan)
{
    plan.projection.active = s.Box("RbP1");
    if (!plan.projection.active) return;
    const SettingDef& def = *FindSetting("LAM");
    const std::string& text = s.Text(def.key);
    if (const std::string problem = ValueProblem(def, text); !problem.empty()) {
        plan.projectionError = ValueProblemMessage(def, text, problem);
        return;
    }
    const LambertParameters parameters = ParseLambertParameters(text);
    SetupLambert(plan.projection, parameters);
    if (plan.format->projectionNote) plan.projectionNote = plan.format->projectionNote(parameters);
}

// The line groups A to X that are chosen, then the all-chains file.
void PlanLineGroups(const RunSettings& s, ConversionPlan& plan)
{
    const int flags = LineGroupFlags(s);
    for (const LineGroupDef& g : LineGroupTable()) {
        const bool allChains = g.mask == kMaskAllChains;
        if (allChains ? !LineGroupChosen(s, g) : (flags & g.mask) == 0) continue;
        LineGroupPlan group;
        group.name = g.name;
        group.suffix = s.Text(g.suffixKey);
        group.mask = g.mask;
        BuildCfccSelection(s, g.mask, group.codes);
        group.everyChain = allChains;
        group.columnGroups = LineColumnGroups(s, g.mask);
        if (!group.codes.Empty()) plan.lineGroups.push_back(std::move(group));
    }
}

void PlanPoints(const RunSettings& s, ConversionPlan& plan)
{
    for (const PointLayerDef& p : PointLayerTable()) {
        PointLayerPlan points;
        points.suffix = s.Text(p.suffixKey);
        points.theme = FindSetting(p.suffixKey)->defaultValue;
        BuildCfccSelection(s, p.classMask, points.classes);
        if (!points.classes.Empty()) plan.points = std::move(points);
    }
}

// Every chosen area layer, in the order of the area layer table; a
// landmark layer with no class chosen is none.
void PlanAreas(const RunSettings& s, ConversionPlan& plan)
{
    for (const AreaLayerDef& def : AreaLayerTable()) {
        if (!AreaLayerSelected(s, def)) continue;
        AreaLayerPlan layer = PlanAreaLayer(s, def);
        if (layer.landmarkClasses && layer.landmarkClasses->Empty()) continue;
        plan.areas.push_back(std::move(layer));
    }
    plan.anyArea = AnyAreaSelected(s);
}

} // namespace

AreaLayerPlan PlanAreaLayer(const RunSettings& s, const AreaLayerDef& def)
{
    AreaLayerPlan p;
    p.name = AreaLayerName(s, def);
    p.theme = def.defaultName;
    p.label = LayerLabel(p.name);
    const AreaContent content = AreaContentOf(p.theme);
    // Key geographic locations are keyed by their feature number.
    p.keyName = content == AreaContent::KeyLocations ? "FEAT" : p.name;
    p.names = content == AreaContent::KeyLocations ? AreaNames::KeyLocations
              : content == AreaContent::Landmarks  ? AreaNames::Landmarks
                                                   : AreaNames::Entities;
    p.cfccColumn = content != AreaContent::Polygons;
    p.zcta = p.name == "ZCTA5";
    p.centroid = !def.centroidKey.empty() && s.Box(def.centroidKey);
    p.excludeWater = !def.excludeWaterKey.empty() && s.Box(def.excludeWaterKey);
    p.polygonKeys = def.polygonKeys;
    if (def.landmarkClassMask != 0) {
        p.landmarkClasses.emplace();
        BuildCfccSelection(s, def.landmarkClassMask, *p.landmarkClasses);
    }
    return p;
}

ConversionPlan BuildConversionPlan(const RunSettings& s)
{
    ConversionPlan plan;
    plan.outputRoot = s.Text("Output");
    if (plan.outputRoot.empty()) plan.outputRoot = s.currentDir; // an empty root means the current directory
    if (plan.outputRoot.back() != '/') plan.outputRoot.push_back('/');
    plan.swept = std::make_shared<SweptDirectories>(std::time(nullptr));
    if (!AnythingSelected(s)) plan.refusal = "Please Select Features for Output!";
    else plan.refusal = UnsafeOutputNames(s);

    plan.format = FormatOf(s);
    plan.directories = DirectoriesOf(s);
    PlanProjection(s, plan);
    plan.toNad83 = s.Box("NAD83");
    plan.precision = s.Precision();
    plan.tolerance = s.Tolerance();
    plan.order = OrderOf(s);
    plan.skipExisting = s.SkipExisting();
    plan.autoZip = s.Box("ZIP");
    plan.beep = s.Box("BEEP");
    plan.logFile = s.Text("Log");
    plan.logDisabled = s.LogsDisabled();

    PlanLineGroups(s, plan);
    PlanPoints(s, plan);
    PlanAreas(s, plan);
    plan.inputs = s.inputs;
    return plan;
}

} // namespace zalor
