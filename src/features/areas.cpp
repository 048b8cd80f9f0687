// Area and point feature output: one area layer per record field
// (polygons with one key dissolved into one feature), and the landmark
// point layer.
#include "features/areas.h"

#include "features/area_keys.h"
#include "geometry/assembly.h"
#include "tiger/fields.h"

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

// How the areas of a layer look in each format: MIF files carry the
// centroid in degrees after the number and number their areas from 2; the
// DBF of a shapefile has a "SUF" key column followed by the centroid in
// micro-degrees; KXF attribute files have the key alone. A GeoPackage
// table is the shapefile's with the key column named by the layer and ZCTA
// keys as their texts.
struct AreaSchema {
    int firstNumber;
    bool degreesAfterNumber; // Lon, Lat (degrees) after NUM
    bool microAfterKey;      // LON, LAT (micro-degrees) after the key
    bool keyNamedSuf;        // the key column is "SUF" instead of the layer name
    bool zctaAsText;         // ZCTA keys are written as their texts
    bool centroidLayer;      // the centroids may go to a point layer beside
};
constexpr AreaSchema kAreaSchemas[] = {
    {2, true, false, false, true, true},   // MIF
    {1, false, true, true, false, false},  // SHP
    {1, false, false, false, false, false}, // KXF
    {1, false, true, false, true, false},  // GeoPackage
};

const AreaSchema& SchemaOf(OutputFormat f) { return kAreaSchemas[static_cast<int>(f)]; }

// Keys are numbers, but block keys with their suffix letters and ZCTA
// codes (where written as texts) are texts, which an integer column loses.
Column KeyColumn(const AreaLayerRequest& r, const AreaKeys& keys, const AreaSchema& schema)
{
    const std::string name = schema.keyNamedSuf ? "SUF" : r.name;
    if (keys.keyLetters || (schema.zctaAsText && r.zcta)) return {name, ColumnType::Char, 12};
    return {name, ColumnType::Integer};
}

std::string KeyText(const AreaLayerRequest& r, const AreaKeys& keys, int32_t key, bool zctaAsText)
{
    if (zctaAsText && r.zcta) return DecodeZctaKey(key);
    return DecodeAreaKey(key, keys.keyLetters);
}

std::vector<Column> AreaColumns(const AreaLayerRequest& r, const AreaKeys& keys, const AreaSchema& schema)
{
    std::vector<Column> cols = {{"NUM", ColumnType::Integer}};
    if (schema.degreesAfterNumber) {
        cols.push_back({"Lon", ColumnType::Degrees});
        cols.push_back({"Lat", ColumnType::Degrees});
    }
    cols.push_back(KeyColumn(r, keys, schema));
    if (schema.microAfterKey) {
        cols.push_back({"LON", ColumnType::Degrees});
        cols.push_back({"LAT", ColumnType::Degrees});
    }
    if (r.cfccColumn) cols.push_back({"CFCC", ColumnType::Char, 3});
    cols.push_back({"NAME", ColumnType::Char, 30});
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

void BuildAreaRow(LayerRow& row, int32_t number, const AreaFeature& f, const AreaLayerRequest& r,
                  const AreaKeys& keys, const AreaSchema& schema)
{
    row.Clear();
    row.Int(number);
    if (schema.degreesAfterNumber) row.Plain(FormatFixed(f.area.centroid.x)).Plain(FormatFixed(f.area.centroid.y));
    row.Plain(KeyText(r, keys, f.key, schema.zctaAsText));
    if (schema.microAfterKey) row.Int(f.area.centroid.x).Int(f.area.centroid.y);
    if (r.cfccColumn) row.Plain(f.Cfcc());
    row.Text(f.Name());
}

// The writers of an area layer: the areas, and their centroids beside.
struct AreaWriters {
    std::unique_ptr<LayerWriter> areas;
    std::unique_ptr<LayerWriter> centroids;
};

AreaWriters OpenAreaWriters(const AreaLayerRequest& r, const AreaKeys& keys, WriteFailures& failures)
{
    const AreaSchema& schema = SchemaOf(r.target.format);
    LayerDefinition def;
    def.format = r.target.format;
    def.geometry = LayerGeometry::Area;
    def.basePath = r.target.basePath;
    def.table = r.target.table;
    def.columns = AreaColumns(r, keys, schema);
    def.brushColour = r.brushColour;
    def.kxfAreaClass = r.kxfClass;
    AreaWriters w;
    w.areas = OpenLayerWriter(def, failures);
    if (w.areas && r.centroid && schema.centroidLayer) {
        // A layer of its own, named so that it meets no other layer's files.
        def.geometry = LayerGeometry::Point;
        def.basePath += "_P";
        w.centroids = OpenLayerWriter(def, failures);
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

} // namespace

AreaKeys GroupAreaRecords(const AreaTable& records, std::size_t field, const AreaKeyRules& rules,
                          const std::vector<LandmarkRecord>& landmarks, ProgressObserver& observer)
{
    AreaKeys keys;
    std::unique_ptr<NameIndex> landmarkIndex;
    if (rules.landmarkClasses) landmarkIndex = std::make_unique<NameIndex>(landmarks);
    int64_t count = 0;
    for (std::size_t r = 0; r < records.Size(); ++r) {
        ++count;
        const std::string_view text = records.Key(field, r);
        const int32_t polygon = records.polygons[r];
        int32_t key;
        if (rules.zcta) {
            key = EncodeZctaKey(text);
        } else {
            key = EncodeAreaKey(text);
            if (HasKeyLetter(text)) keys.keyLetters = true;
        }
        if (rules.excludeWater && records.water[r]) continue;
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
    AreaWriters writers = OpenAreaWriters(request, keys, outcome.failures);
    if (!writers.areas) return outcome;

    std::unique_ptr<NameIndex> names;
    if (request.names == AreaNames::KeyLocations) names = std::make_unique<NameIndex>(keys.keyLocations);
    if (request.names == AreaNames::Landmarks) names = std::make_unique<NameIndex>(county.landmarks);
    const char entityType = EntityTypeOf(request.name);
    const AreaSchema& schema = SchemaOf(request.target.format);

    AreaFeature f;
    LayerRow row;
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
        BuildAreaRow(row, schema.firstNumber + written, f, request, keys, schema);
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
    LayerDefinition def;
    def.format = target.format;
    def.geometry = LayerGeometry::Point;
    def.basePath = target.basePath;
    def.table = target.table;
    def.columns = {{"NUM", ColumnType::Integer},
                   {"LAND", ColumnType::Integer},
                   {"CFCC", ColumnType::Char, 3},
                   {"NAME", ColumnType::Char, 30}};
    def.projection = target.projection;
    std::unique_ptr<LayerWriter> writer = OpenLayerWriter(def, outcome.failures);
    if (!writer) return outcome;
    int32_t number = 0;
    LayerRow row;
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
