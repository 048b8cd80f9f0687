// Area and point feature output: one area layer per record field
// (polygons with one key dissolved into one feature), and the landmark
// point layer.
#include "features/areas.h"

#include "features/area_keys.h"
#include "geometry/assembly.h"
#include "tiger/fields.h"
#include "tiger/layouts.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

namespace zalor {

namespace {

// Landmark (or key geographic location) names by their identifier; the
// first entry of an identifier counts.
class NameIndex {
public:
    explicit NameIndex(const std::vector<LandmarkRecord>& table)
    {
        for (std::size_t i = 0; i < table.size(); ++i) index_.emplace(table[i].LAND, &table[i]);
    }
    const LandmarkRecord* Find(int32_t id) const
    {
        auto it = index_.find(id);
        return it == index_.end() ? nullptr : it->second;
    }

private:
    std::unordered_map<int32_t, const LandmarkRecord*> index_;
};

// Keys are numbers, but block keys with their suffix letters and ZCTA
// codes (where written as texts) are texts, which an integer column loses.
bool TextKeys(const AreaLayerRequest& r, const AreaKeys& keys, const AreaLayout& layout)
{
    return keys.keyLetters || keys.wholeKeys || (layout.zctaAsText && r.zcta);
}

std::string KeyText(const AreaLayerRequest& r, const AreaKeys& keys, int32_t key, bool zctaAsText)
{
    if (keys.wholeKeys)
        return key > 0 && static_cast<std::size_t>(key) <= keys.keyTexts.size() ? keys.keyTexts[key - 1] : std::string();
    if (zctaAsText && r.zcta) return DecodeZctaKey(key);
    return DecodeAreaKey(key, keys.keyLetters);
}

// The widths of the text columns of area layers were 30 (names) and 12
// (keys) and never get narrower.
constexpr std::size_t kNameWidth = 30;
constexpr std::size_t kKeyWidth = 12;

// A key text column holds the layer's longest key, whatever the keys are.
Column KeyColumn(const AreaLayerRequest& r, const AreaKeys& keys, const TBList& groups, const AreaLayout& layout)
{
    const std::string name = layout.keyNamedSuf ? "SUF" : r.name;
    if (!TextKeys(r, keys, layout)) return {name, ColumnType::Integer};
    std::size_t width = kKeyWidth;
    for (std::size_t g = 0; g < groups.Count(); ++g)
        width = std::max(width, KeyText(r, keys, groups.At(g).key, layout.zctaAsText).size());
    return {name, ColumnType::Code, static_cast<int>(width)};
}

// The NAME column holds the longest name the layer's names can have in
// any release: those of its landmarks or key locations, or of its entities.
int NameWidth(const AreaLayerRequest& r)
{
    std::size_t width = kNameWidth;
    if (r.names == AreaNames::Landmarks) width = std::max(width, WidestField('7', "LANAME"));
    if (r.names == AreaNames::KeyLocations) width = std::max(width, WidestField('9', "KGLNAME"));
    if (EntityTypeOf(r.name) != '0') width = std::max(width, WidestField('C', "NAME"));
    return static_cast<int>(width);
}

std::vector<Column> AreaColumns(const AreaLayerRequest& r, const AreaKeys& keys, const TBList& groups,
                                const AreaLayout& layout)
{
    std::vector<Column> cols = {{"NUM", ColumnType::Integer}};
    if (layout.degreesAfterNumber) {
        cols.push_back({"Lon", ColumnType::Degrees});
        cols.push_back({"Lat", ColumnType::Degrees});
    }
    cols.push_back(KeyColumn(r, keys, groups, layout));
    if (layout.centroidAfterKey) {
        cols.push_back({"LON", ColumnType::Degrees});
        cols.push_back({"LAT", ColumnType::Degrees});
    }
    if (r.cfccColumn) cols.push_back({"CFCC", ColumnType::Code, 3});
    cols.push_back({"NAME", ColumnType::Char, NameWidth(r)});
    return cols;
}

// One assembled feature as the writers get it.
struct AreaFeature {
    int32_t key = 0;
    std::string nameText; // three CFCC characters, then the name
    AssembledArea area;
    std::vector<GeoPoint> points; // every ring, one after another
    std::vector<int32_t> ringSizes;

    std::string_view Cfcc() const { return std::string_view(nameText).substr(0, 3); }
    std::string_view Name() const { return nameText.size() > 3 ? std::string_view(nameText).substr(3) : ""; }
};

void BuildAreaRow(Row& row, int32_t number, const AreaFeature& f, const AreaLayerRequest& r, const AreaKeys& keys,
                  const AreaLayout& layout)
{
    row.Clear();
    row.Int(number);
    if (layout.degreesAfterNumber) row.Int(f.area.centroid.x).Int(f.area.centroid.y);
    if (TextKeys(r, keys, layout)) row.Text(KeyText(r, keys, f.key, layout.zctaAsText));
    else row.Int(f.key);
    if (layout.centroidAfterKey) row.Int(f.area.centroid.x).Int(f.area.centroid.y);
    if (r.cfccColumn) row.Text(f.Cfcc());
    row.Text(f.Name());
}

// The writers of an area layer: the areas, and their centroids beside.
struct AreaWriters {
    std::unique_ptr<LayerWriter> areas;
    std::unique_ptr<LayerWriter> centroids;
};

AreaWriters OpenAreaWriters(const AreaLayerRequest& r, const AreaKeys& keys, const TBList& groups,
                            WriteFailures& failures)
{
    const FormatDriver& format = *r.target.format;
    LayerDefinition def = r.target.Definition(LayerGeometry::Area, AreaColumns(r, keys, groups, format.areas));
    AreaWriters w;
    w.areas = r.target.Open(def, failures);
    if (w.areas && r.centroid && !format.centroidSuffix.empty()) {
        // A layer of its own, named so that it meets no other layer's files.
        def.geometry = LayerGeometry::Point;
        def.basePath += format.centroidSuffix;
        def.name += format.centroidSuffix;
        w.centroids = r.target.Open(def, failures);
        if (!w.centroids) w.areas.reset();
    }
    return w;
}

void NameFeature(AreaFeature& f, const County& county, const NameIndex* names, char entityType)
{
    f.nameText.clear();
    if (names)
        if (const LandmarkRecord* r = names->Find(f.key)) f.nameText = r->NAME;
    if (f.nameText.empty()) f.nameText = county.EntityName(entityType, f.key);
}

void FlattenRings(AreaFeature& f)
{
    f.points.clear();
    f.ringSizes.clear();
    for (const Ring& ring : f.area.rings) {
        f.points.insert(f.points.end(), ring.begin(), ring.end());
        f.ringSizes.push_back(static_cast<int32_t>(ring.size()));
    }
}

// A key of two fields as one text, blanks at both ends removed; empty
// when either field is blank.
std::string_view WholeKey(std::string_view text, std::size_t prefixWidth)
{
    if (TrimField(text.substr(0, prefixWidth)).empty() || TrimField(text.substr(prefixWidth)).empty()) return {};
    return TrimField(text);
}

// The records' keys of two fields numbered 1.. in text order (0: none),
// so that the areas come out ordered by their keys; the texts by number.
std::vector<int32_t> NumberWholeKeys(const AreaTable& records, std::size_t field, std::vector<std::string>& texts)
{
    const std::size_t prefixWidth = records.fields[field].prefixWidth;
    std::vector<std::string_view> views(records.Size());
    for (std::size_t r = 0; r < records.Size(); ++r) views[r] = WholeKey(records.Key(field, r), prefixWidth);
    std::vector<std::string_view> sorted;
    sorted.reserve(views.size());
    for (std::string_view v : views)
        if (!v.empty()) sorted.push_back(v);
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    texts.assign(sorted.begin(), sorted.end());
    std::vector<int32_t> numbers(views.size(), 0);
    for (std::size_t r = 0; r < views.size(); ++r)
        if (!views[r].empty())
            numbers[r] = static_cast<int32_t>(std::lower_bound(sorted.begin(), sorted.end(), views[r]) - sorted.begin()) + 1;
    return numbers;
}

bool IsWater(const AreaKeyRules& rules, int32_t polygon)
{
    return rules.water && std::binary_search(rules.water->begin(), rules.water->end(), polygon);
}

} // namespace

AreaKeys GroupAreaRecords(const AreaTable& records, std::size_t field, const AreaKeyRules& rules,
                          const std::vector<LandmarkRecord>& landmarks, ProgressObserver& observer)
{
    AreaKeys keys;
    std::unique_ptr<NameIndex> landmarkIndex;
    if (rules.landmarkClasses) landmarkIndex = std::make_unique<NameIndex>(landmarks);
    std::vector<int32_t> whole;
    if (field < records.fields.size() && records.fields[field].prefixWidth > 0) {
        keys.wholeKeys = true;
        whole = NumberWholeKeys(records, field, keys.keyTexts);
    }
    int64_t count = 0;
    for (std::size_t r = 0; r < records.Size(); ++r) {
        ++count;
        const std::string_view text = records.Key(field, r);
        const int32_t polygon = records.polygons[r];
        int32_t key;
        if (keys.wholeKeys) {
            key = whole[r];
        } else if (rules.zcta) {
            key = EncodeZctaKey(text);
        } else {
            key = EncodeAreaKey(text);
            if (HasKeyLetter(text)) keys.keyLetters = true;
        }
        if (IsWater(rules, polygon)) continue;
        if (rules.polygonKeys && key != 0) key = polygon;
        if (landmarkIndex) {
            // A landmark layer holds the landmarks of its selected classes.
            const LandmarkRecord* r = landmarkIndex->Find(key);
            if (!r || !rules.landmarkClasses->Contains(std::string_view(r->CFCC, 3))) continue;
        }
        keys.polygonMap.FindOrInsert(polygon, key);
        if ((count & 511) == 0) observer.Status(rules.label + " [ " + std::to_string(count) + " ] ...");
    }
    return keys;
}

AreaKeys GroupKeyLocations(const std::vector<KeyLocationRecord>& records, const TClist& classes,
                           ProgressObserver& observer)
{
    AreaKeys keys;
    int64_t count = 0;
    for (const KeyLocationRecord& rec : records) {
        ++count;
        const int32_t key = EncodeAreaKey(rec.key);
        if (HasKeyLetter(rec.key)) keys.keyLetters = true;
        LandmarkRecord entry;
        entry.LAND = key;
        for (std::size_t i = 0; i < rec.cfcc.size() && i < 3; ++i) entry.CFCC[i] = rec.cfcc[i];
        entry.NAME = rec.cfcc + rec.name;
        if (entry.NAME.size() > 80) entry.NAME.resize(80);
        keys.keyLocations.push_back(std::move(entry));
        if ((count & 1) == 0) observer.Status("KGL [ " + std::to_string(count) + " ] ...");
        // The layer holds the locations of the selected landmark classes.
        if (!classes.Contains(rec.cfcc)) continue;
        keys.polygonMap.FindOrInsert(rec.polygon, key);
    }
    return keys;
}

std::vector<PolygonSides> ChainSides(const ChainTable& chains)
{
    std::vector<PolygonSides> sides(static_cast<std::size_t>(chains.count()));
    for (int32_t i = 1; i <= chains.count(); ++i) sides[static_cast<std::size_t>(i - 1)] = {chains[i].polyLeft, chains[i].polyRight};
    return sides;
}

TBList SelectAreaGroups(std::span<const PolygonSides> sides, const AreaKeys& keys)
{
    TBList groups;
    SelectBoundaryChains(sides, keys.polygonMap, groups);
    return groups;
}

LayerOutcome WriteAreaLayer(const County& county, const AreaLayerRequest& request, const AreaKeys& keys,
                            const TBList& groups, ProgressObserver& observer)
{
    LayerOutcome outcome;
    AreaWriters writers = OpenAreaWriters(request, keys, groups, outcome.failures);
    if (!writers.areas) return outcome;

    std::unique_ptr<NameIndex> names;
    if (request.names == AreaNames::KeyLocations) names = std::make_unique<NameIndex>(keys.keyLocations);
    if (request.names == AreaNames::Landmarks) names = std::make_unique<NameIndex>(county.landmarks);
    const char entityType = EntityTypeOf(request.name);
    const AreaLayout& layout = request.target.format->areas;

    AreaFeature f;
    Row row;
    int32_t written = 0;
    int64_t refused = 0;
    const int32_t n = static_cast<int32_t>(groups.Count());
    for (int32_t g = 0; g < n && !observer.StopRequested(); ++g) {
        const auto& group = groups.At(static_cast<std::size_t>(g));
        f.key = group.key;
        if ((g & 7) == 0) {
            observer.Status(request.name + " ID:" + KeyText(request, keys, f.key, true));
            observer.Progress(g, n);
        }
        NameFeature(f, county, names.get(), entityType);
        f.area = AssembleArea(county.chains, group.chains.Values());
        if (f.area.ringsClosed <= 0) continue;
        FlattenRings(f);
        BuildAreaRow(row, layout.firstNumber + written, f, request, keys, layout);
        if (!writers.areas->WriteArea(f.points, f.ringSizes, row)) {
            ++refused; // coordinates the format cannot hold
            continue;
        }
        ++written;
        if (writers.centroids) writers.centroids->WritePoint(f.area.centroid, row);
    }
    if (refused > 0)
        outcome.failures.push_back({WriteFailure::Kind::RefusedAreas, writers.areas->MainPath(), {}, refused});
    // The centroids are listed before their areas.
    LayerOutcome centroids;
    if (writers.centroids) FinishLayer(*writers.centroids, centroids, observer);
    FinishLayer(*writers.areas, outcome, observer);
    outcome.failures.insert(outcome.failures.end(), centroids.failures.begin(), centroids.failures.end());
    outcome.outputs.insert(outcome.outputs.begin(), centroids.outputs.begin(), centroids.outputs.end());
    if (outcome.incomplete.empty()) outcome.incomplete = centroids.incomplete;
    return outcome;
}

LayerOutcome WriteLandmarkPoints(const County& county, const LayerTarget& target, const TClist& classes,
                                 ProgressObserver& observer)
{
    LayerOutcome outcome;
    const int nameWidth = static_cast<int>(std::max(kNameWidth, WidestField('7', "LANAME")));
    std::unique_ptr<LayerWriter> writer = target.Open(target.Definition(LayerGeometry::Point, {{"NUM", ColumnType::Integer},
                                                                                      {"LAND", ColumnType::Integer},
                                                                                      {"CFCC", ColumnType::Char, 3},
                                                                                      {"NAME", ColumnType::Char, nameWidth}}),
                                                      outcome.failures);
    if (!writer) return outcome;
    int32_t number = 0;
    Row row;
    for (const LandmarkRecord& lm : county.landmarks) {
        if (observer.StopRequested()) break;
        if (lm.location.x == 0 || lm.location.y == 0) continue;
        if (!classes.Contains(std::string_view(lm.CFCC, 3))) continue;
        ++number;
        std::string_view name = lm.NAME.size() > 3 ? std::string_view(lm.NAME).substr(3, 40) : "";
        row.Clear();
        row.Int(number).Int(lm.LAND).Text(std::string_view(lm.CFCC, 3)).Text(name);
        writer->WritePoint(lm.location, row);
    }
    FinishLayer(*writer, outcome, observer);
    return outcome;
}

} // namespace zalor
