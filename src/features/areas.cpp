// Area and point feature output: one area layer per record file field
// (polygons with one key dissolved into one feature), and the landmark
// point layer.
#include "features/areas.h"

#include "features/area_keys.h"
#include "features/lines.h"
#include "formats/dbf.h"
#include "formats/kxf.h"
#include "formats/shp.h"
#include "formats/textfile.h"
#include "geometry/assembly.h"
#include "run/selection.h"
#include "run/session.h"
#include "tiger/archive.h"
#include "tiger/county.h"
#include "tiger/fields.h"
#include "tiger/records.h"

#include <memory>
#include <unordered_map>

namespace zalor {

namespace {

// Column flags of an area layer.
constexpr int kAreaCfcc = 1;
constexpr int kAreaName = 2;
constexpr int kAreaZcta = 4;

// Where an area layer takes its feature names from.
enum class NameSource { KeyLocations, Landmarks, EntitiesOnly };

// What the area writers of the three formats share for one layer.
struct AreaLayer {
    std::string base;       // output directory + county base name + layer name
    std::string name;       // layer name, also the key column name
    int columnFlags = 0;
    NameSource names = NameSource::EntitiesOnly;
    int kxfCode = 0;
    bool centroid = false;
    bool keyLetters = false; // some key field ended in a suffix letter
    TIList polygonMap;       // polygon number -> group key
};

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

// The type of the key column: keys are numbers, but block keys with their
// suffix letters and ZCTA codes are texts, which an integer column loses.
std::string KeyColumnType(const AreaLayer& layer, bool zctaText)
{
    if (layer.keyLetters || (zctaText && (layer.columnFlags & kAreaZcta))) return "char (12)";
    return "integer";
}

std::string KeyText(const AreaLayer& layer, int32_t key, bool zctaText)
{
    if (zctaText && (layer.columnFlags & kAreaZcta)) return DecodeZctaKey(key);
    return DecodeAreaKey(key, layer.keyLetters);
}

// One assembled feature as the format writers get it.
struct AreaFeature {
    int32_t key = 0;
    std::string nameText; // three CFCC characters, then the name
    AssembledArea area;
    std::vector<GeoPoint> points; // every ring, one after another
    std::vector<int32_t> ringSizes;

    std::string_view Cfcc() const { return std::string_view(nameText).substr(0, 3); }
    std::string_view Name() const { return nameText.size() > 3 ? std::string_view(nameText).substr(3) : ""; }
};

class AreaFileSet {
public:
    virtual ~AreaFileSet() = default;
    virtual void Write(const AreaFeature& f) = 0;
    virtual void Close(Session& session) = 0;
    virtual std::string MainPath() const = 0;
};

class MifAreaFiles : public AreaFileSet {
public:
    MifAreaFiles(Session& session, const AreaLayer& layer)
        : session_(session), layer_(layer), mif_(layer.base + ".MIF", TTextFile::kCreate),
          mid_(layer.base + ".MID", TTextFile::kCreate)
    {
        Head(mif_);
        if (layer.centroid) {
            // A layer of its own, named so that it meets no other layer's files.
            pointMif_ = std::make_unique<TTextFile>(CentroidBase() + ".MIF", TTextFile::kCreate);
            pointMid_ = std::make_unique<TTextFile>(CentroidBase() + ".MID", TTextFile::kCreate);
            Head(*pointMif_);
        }
        number_ = 1; // the first feature is number 2
    }
    std::string CentroidBase() const { return layer_.base + "_P"; }
    void Write(const AreaFeature& f) override
    {
        ++number_;
        WriteMifRegion(mif_, f.points, f.ringSizes,
                       [](GeoPoint p) { return FormatFixed(p.x) + " " + FormatFixed(p.y); });
        WriteMifBrush(mif_, session_.areaBrushColour);
        MidRow row;
        row.Int(number_)
            .Plain(FormatFixed(f.area.centroid.x))
            .Plain(FormatFixed(f.area.centroid.y))
            .Plain(KeyText(layer_, f.key, true));
        if (layer_.columnFlags & kAreaCfcc) row.Plain(f.Cfcc());
        if (layer_.columnFlags & kAreaName) row.Text(f.Name());
        mid_.WriteLine(row.str());
        if (pointMif_) {
            WriteMifPoint(*pointMif_, FormatFixed(f.area.centroid.x) + " " + FormatFixed(f.area.centroid.y));
            pointMid_->WriteLine(row.str());
        }
    }
    void Close(Session& session) override
    {
        CloseOrReport(session, mif_);
        CloseOrReport(session, mid_);
        if (pointMif_) {
            CloseOrReport(session, *pointMif_);
            CloseOrReport(session, *pointMid_);
            session.report.AddOutputEntry(pointMif_->Name());
        }
    }
    std::string MainPath() const override { return mif_.Name(); }

private:
    void Head(TTextFile& f)
    {
        f.WriteMifHeader();
        std::vector<std::string> cols = {"NUM integer", MifColumnLine("Lon double"), MifColumnLine("Lat double"),
                                         layer_.name + " " + KeyColumnType(layer_, true)};
        if (layer_.columnFlags & kAreaCfcc) cols.push_back("CFCC char (3)");
        if (layer_.columnFlags & kAreaName) cols.push_back("NAME char (30)");
        WriteMifColumns(f, cols);
    }

    Session& session_;
    const AreaLayer& layer_;
    TTextFile mif_;
    TTextFile mid_;
    std::unique_ptr<TTextFile> pointMif_;
    std::unique_ptr<TTextFile> pointMid_;
    int32_t number_ = 0;
};

class ShpAreaFiles : public AreaFileSet {
public:
    explicit ShpAreaFiles(const AreaLayer& layer)
        : layer_(layer), shp_(layer.base + ".SHP", TShpFile::kPolygon), dbf_(layer.base + ".DBF", Tdbx::kCreate)
    {
        std::string cols = "NUM integer\r\nSUF " + KeyColumnType(layer, false) + "\r\nLON double\r\nLAT double\r\n";
        if (layer.columnFlags & kAreaCfcc) cols += "CFCC char (3)\r\n";
        if (layer.columnFlags & kAreaName) cols += "NAME char (30)\r\n";
        DefineFieldsFromColumns(dbf_, cols);
    }
    void Write(const AreaFeature& f) override
    {
        if (!shp_.WritePolyRecord(TShpFile::kPolygon, f.points, number_ + 1, f.ringSizes)) return;
        ++number_;
        MidRow row;
        row.Int(number_).Plain(KeyText(layer_, f.key, false)).Int(f.area.centroid.x).Int(f.area.centroid.y);
        if (layer_.columnFlags & kAreaCfcc) row.Plain(f.Cfcc());
        if (layer_.columnFlags & kAreaName) row.Text(f.Name());
        StoreRowAsRecord(dbf_, number_, row.str());
    }
    void Close(Session& session) override
    {
        CloseOrReport(session, shp_);
        CloseOrReport(session, dbf_);
        WritePrjFile(session, shp_.MainPath());
    }
    std::string MainPath() const override { return shp_.MainPath(); }

private:
    const AreaLayer& layer_;
    TShpFile shp_;
    Tdbx dbf_;
    int32_t number_ = 0;
};

class KxfAreaFiles : public AreaFileSet {
public:
    explicit KxfAreaFiles(const AreaLayer& layer) : layer_(layer), files_(layer.base)
    {
        std::vector<std::string> cols = {"NUM integer", layer.name + " " + KeyColumnType(layer, false)};
        if (layer.columnFlags & kAreaCfcc) cols.push_back("CFCC char (3)");
        if (layer.columnFlags & kAreaName) cols.push_back("NAME char (30)");
        WriteMtdColumns(files_.Mtd(), cols);
    }
    void Write(const AreaFeature& f) override
    {
        KxfBox box;
        if (!WriteKxfAreaRecord(files_.Kxf(), f.points, f.ringSizes, layer_.kxfCode, box)) return;
        fileBox_.Widen(box);
        ++records_;
        MidRow row;
        row.Int(records_).Plain(DecodeAreaKey(f.key, layer_.keyLetters));
        if (layer_.columnFlags & kAreaCfcc) row.Plain(f.Cfcc());
        if (layer_.columnFlags & kAreaName) row.Text(f.Name());
        files_.Mtd().WriteLine(row.str());
    }
    void Close(Session& session) override
    {
        files_.WriteHeader(records_, &fileBox_);
        CloseOrReport(session, files_);
    }
    std::string MainPath() const override { return files_.KxfPath(); }

private:
    const AreaLayer& layer_;
    KxfFileSet files_;
    KxfBox fileBox_;
    int32_t records_ = 0;
};

// The existing-file rule of every area layer: true (and the file listed)
// when the layer's main file exists and existing files are skipped.
bool SkipExisting(Session& session, const std::string& base)
{
    std::string main = base + OutputExtension(session.formatCode);
    if (!session.settings.SkipExisting() || !FileExists(main)) return false;
    session.report.AddOutputEntry(main + "[*Exists*]");
    return true;
}

void WriteAreaFeatures(Session& session, County& county, AreaLayer& layer)
{
    RunReport& report = session.report;
    TBList groups;
    SelectBoundaryChains(county.chains, layer.polygonMap, groups);
    report.LogLine("Processing " + layer.name + "[ " + std::to_string(groups.Count()) + " Objects]");

    std::unique_ptr<AreaFileSet> files;
    try {
        switch (session.formatCode) {
        case 1: files = std::make_unique<ShpAreaFiles>(layer); break;
        case 2: files = std::make_unique<KxfAreaFiles>(layer); break;
        default: files = std::make_unique<MifAreaFiles>(session, layer); break;
        }
    } catch (const FileError& e) {
        session.CountyError(std::string("Unable to Create ") + e.what());
        return;
    }

    std::unique_ptr<NameIndex> names;
    if (layer.names == NameSource::KeyLocations) names = std::make_unique<NameIndex>(county.keyLocations);
    if (layer.names == NameSource::Landmarks) names = std::make_unique<NameIndex>(county.landmarks);
    const char entityType = EntityTypeOf(layer.name);

    AreaFeature f;
    const int32_t n = static_cast<int32_t>(groups.Count());
    for (int32_t g = 0; g < n && !session.Stopped(); ++g) {
        const auto& group = groups.At(static_cast<std::size_t>(g));
        f.key = group.key;
        if ((g & 7) == 0) {
            report.ShowStatus(layer.name + " ID:" + KeyText(layer, f.key, true));
            report.ShowProgress(g, n);
        }
        f.nameText.clear();
        if (names)
            if (const LandmarkRecord* r = names->Find(f.key)) f.nameText = r->NAME;
        if (f.nameText.empty()) f.nameText = county.EntityName(entityType, f.key);
        f.area = AssembleArea(county.chains, group.chains.Values());
        if (f.area.ringsClosed <= 0) continue;
        f.points.clear();
        f.ringSizes.clear();
        for (const Ring& ring : f.area.rings) {
            f.points.insert(f.points.end(), ring.begin(), ring.end());
            f.ringSizes.push_back(static_cast<int32_t>(ring.size()));
        }
        files->Write(f);
    }
    files->Close(session);
    report.AddOutputEntry(files->MainPath());
    report.ShowStatus("Done...");
    report.ShowProgress(1, 1);
}

// The record file's type character ('S', 'A', '8', '9') and extension.
bool RecordType(const std::string& recordFile, char& type, std::string& extension)
{
    std::string name = FileNamePart(recordFile);
    std::size_t dot = name.find('.');
    if (dot == std::string::npos || dot + 3 >= name.size()) return false;
    extension = name.substr(dot);
    type = static_cast<char>(name[dot + 3] >= 'a' && name[dot + 3] <= 'z' ? name[dot + 3] - 32 : name[dot + 3]);
    return true;
}

std::string LayerBase(Session& session, const std::string& recordFile, const std::string& name)
{
    return session.countyOutputDirectory + OutputBaseName(recordFile) + name;
}

} // namespace

void WriteEntityLayer(Session& session, County& county, const std::string& recordFile, const std::string& spec,
                      bool, bool excludeWater, int waterMode, int kindCode, bool centroid)
{
    if (session.Stopped() || spec.empty()) return;
    RunReport& report = session.report;
    const std::size_t bar = spec.find('|');
    AreaLayer layer;
    layer.name = spec.substr(0, bar);
    const int32_t columns = bar == std::string::npos ? 0 : FieldToInt(std::string_view(spec).substr(bar + 1, 5));
    if (columns <= 0) return;
    const std::size_t start = static_cast<std::size_t>(columns / 100);
    const std::size_t width = static_cast<std::size_t>(columns % 100);

    char type = 0;
    std::string extension;
    if (!RecordType(recordFile, type, extension)) return;
    int recordLength = 0;
    std::size_t waterColumn = 0;
    TClist classes;
    switch (type) {
    case 'A':
        recordLength = 100;
        waterColumn = 48;
        break;
    case 'S':
        recordLength = 122;
        waterColumn = 79;
        break;
    case '8':
        recordLength = 38;
        BuildCfccSelection(session.settings, waterMode == 1 ? 2048 : 1024, classes);
        if (classes.Empty()) return;
        break;
    default: return;
    }

    layer.base = LayerBase(session, recordFile, layer.name);
    if (SkipExisting(session, layer.base)) return;
    layer.columnFlags = (type == '8' ? kAreaCfcc | kAreaName : kAreaName) | (layer.name == "ZCTA5" ? kAreaZcta : 0);
    // Only landmark layers take names from the landmark table; census and
    // administrative areas are named from the entity names alone.
    layer.names = type == '8' ? NameSource::Landmarks : NameSource::EntitiesOnly;
    layer.kxfCode = kindCode;
    layer.centroid = centroid;

    report.LogLine("Geographic Entities [" + layer.name + "] ");
    TZipFile file = OpenRecordFile(session, recordFile, extension, recordLength);
    if (file.OpenFailed()) return;
    std::unique_ptr<NameIndex> landmarks;
    if (type == '8') landmarks = std::make_unique<NameIndex>(county.landmarks);

    TIList keys;
    int64_t records = 0;
    const std::string label = LayerLabel(layer.name);
    while (!session.Stopped() && !file.AtEnd()) {
        std::string_view rec = file.ReadRecord();
        ++records;
        const int32_t polygon = FieldToInt(Columns(rec, 16, 25));
        std::string_view field = Columns(rec, start, start + width - 1);
        int32_t key;
        if (layer.name == "ZCTA5") {
            key = EncodeZctaKey(field);
        } else {
            key = EncodeAreaKey(field);
            if (HasKeyLetter(field)) layer.keyLetters = true;
        }
        if (excludeWater && waterColumn != 0 && FieldToInt(Columns(rec, waterColumn, waterColumn + 1)) == 99)
            continue;
        if (waterMode == 2 && key != 0) key = polygon;
        if (landmarks) {
            // A landmark layer holds the landmarks of its selected classes.
            const LandmarkRecord* r = landmarks->Find(key);
            if (!r || !classes.Contains(std::string_view(r->CFCC, 3))) continue;
        }
        keys.FindOrInsert(key, key);
        layer.polygonMap.FindOrInsert(polygon, key);
        if ((records & 511) == 0) report.ShowStatus(label + " [ " + std::to_string(records) + " ] ...");
    }
    if (ReportReadFailure(session, file, "Unable to Open " + recordFile + ": " + file.Error()))
        report.ShowStatus("Error!");
    file.Close();
    WriteAreaFeatures(session, county, layer);
}

void WriteKeyLocationLayer(Session& session, County& county, const std::string& recordFile, const std::string& spec,
                           bool centroid)
{
    if (session.Stopped()) return;
    RunReport& report = session.report;
    TClist classes;
    BuildCfccSelection(session.settings, 1024, classes);
    if (classes.Empty()) return;

    AreaLayer layer;
    layer.name = spec.substr(0, spec.find('|')); // "KGL"
    layer.base = LayerBase(session, recordFile, layer.name);
    if (SkipExisting(session, layer.base)) return;
    layer.columnFlags = kAreaCfcc | kAreaName;
    layer.names = NameSource::KeyLocations;
    layer.centroid = centroid;

    report.LogLine("Geographic Entities [" + layer.name + "] ");
    county.keyLocations.clear();
    TZipFile file = OpenRecordFile(session, recordFile, ".RT9", 90);
    if (file.OpenFailed()) return;
    int64_t records = 0;
    while (!session.Stopped() && !file.AtEnd()) {
        std::string_view rec = file.ReadRecord();
        ++records;
        const int32_t polygon = FieldToInt(Columns(rec, 16, 25));
        std::string_view field = Columns(rec, 80, 87);
        const int32_t key = EncodeAreaKey(field);
        if (HasKeyLetter(field)) layer.keyLetters = true;
        std::string_view cfcc = Columns(rec, 27, 29);
        LandmarkRecord entry;
        entry.LAND = key;
        for (std::size_t i = 0; i < cfcc.size() && i < 3; ++i) entry.CFCC[i] = cfcc[i];
        entry.NAME = std::string(cfcc) + std::string(TrimField(Columns(rec, 30, 59)));
        if (entry.NAME.size() > 80) entry.NAME.resize(80);
        county.keyLocations.push_back(std::move(entry));
        if ((records & 1) == 0) report.ShowStatus("KGL [ " + std::to_string(records) + " ] ...");
        // The layer holds the locations of the selected landmark classes.
        if (!classes.Contains(cfcc)) continue;
        layer.polygonMap.FindOrInsert(polygon, key);
    }
    if (ReportReadFailure(session, file, "Unable to Open " + recordFile + ": " + file.Error()))
        report.ShowStatus("Error!");
    file.Close();
    layer.name = "FEAT"; // the key column of the layer
    WriteAreaFeatures(session, county, layer);
}

void WriteLandmarkPoints(Session& session, County& county, const std::string& base)
{
    if (session.Stopped() || session.formatCode == 2) return;
    TClist classes;
    BuildCfccSelection(session.settings, 512, classes);
    if (classes.Empty()) return;
    if (SkipExisting(session, base)) return;
    RunReport& report = session.report;
    const std::string main = base + OutputExtension(session.formatCode);
    report.ShowStatus("Creating... " + FileNamePart(main));
    try {
        std::unique_ptr<TShpFile> shp;
        std::unique_ptr<Tdbx> dbf;
        std::unique_ptr<TTextFile> mif, mid;
        const char* columns = "NUM integer\r\nLAND integer\r\nCFCC char (3)\r\nNAME char (30)\r\n";
        if (session.formatCode == 1) {
            shp = std::make_unique<TShpFile>(main, TShpFile::kPoint);
            dbf = std::make_unique<Tdbx>(base + ".DBF", Tdbx::kCreate);
            DefineFieldsFromColumns(*dbf, columns);
        } else {
            mif = std::make_unique<TTextFile>(main, TTextFile::kCreate);
            mid = std::make_unique<TTextFile>(base + ".MID", TTextFile::kCreate);
            mif->WriteMifHeader(MifCoordSysLine(session.projection));
            mif->WriteLine("COLUMNS 4");
            for (const char* c : {"NUM integer", "LAND integer", "CFCC char (3)", "NAME char (30)"}) mif->WriteLine(c);
            mif->WriteLine("DATA");
        }
        int32_t number = 0;
        MidRow row;
        for (const LandmarkRecord& lm : county.landmarks) {
            if (session.Stopped()) break;
            if (lm.location.x == 0 || lm.location.y == 0) continue;
            if (!classes.Contains(std::string_view(lm.CFCC, 3))) continue;
            ++number;
            std::string_view name = lm.NAME.size() > 3 ? std::string_view(lm.NAME).substr(3, 40) : "";
            row.Clear();
            row.Int(number).Int(lm.LAND).Text(std::string_view(lm.CFCC, 3)).Text(name);
            if (shp) {
                shp->WritePointRecord(number, lm.location);
                StoreRowAsRecord(*dbf, number, row.str());
            } else {
                WriteMifPoint(*mif, FormatCoordinatePair(session.projection, lm.location));
                mid->WriteLine(row.str());
            }
        }
        if (shp) {
            CloseOrReport(session, *shp);
            CloseOrReport(session, *dbf);
            WritePrjFile(session, main);
        } else {
            CloseOrReport(session, *mif);
            CloseOrReport(session, *mid);
        }
    } catch (const FileError& e) {
        session.CountyError(std::string("Unable to Create ") + e.what());
        return;
    }
    report.AddOutputEntry(main);
}

} // namespace zalor
