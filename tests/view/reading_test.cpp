// The viewer's readers on the converter's own outputs of the sample county,
// on hand-written files and on damaged ones.
#include "view/block_reader.h"
#include "view/drawing.h"
#include "view/readers.h"
#include "view/sample_files.h"

#include "formats/shp/dbf.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace zalor;
using namespace zalor::view;
using zalor::test::view::SampleOutput;
using zalor::test::view::ScratchDir;
using zalor::test::view::Slurp;
using zalor::test::view::Spill;

namespace {

uint32_t Be32(const std::string& b, std::size_t at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(b[at + std::size_t(i)]);
    return v;
}

int32_t Le32(const std::string& b, std::size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + std::size_t(i)]);
    return static_cast<int32_t>(v);
}

double LeDouble(const std::string& b, std::size_t at)
{
    double d;
    std::memcpy(&d, b.data() + at, 8);
    return d;
}

int32_t Micro(double degrees) { return static_cast<int32_t>(std::llround(degrees * 1e6)); }

// Writers of small shapefiles.
std::string PutBe32(uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string PutLe32(int32_t v)
{
    const auto u = static_cast<uint32_t>(v);
    return {char(u), char(u >> 8), char(u >> 16), char(u >> 24)};
}
std::string PutDouble(double d)
{
    std::string s(8, '\0');
    std::memcpy(s.data(), &d, 8);
    return s;
}

using Ring = std::vector<std::pair<double, double>>;

// Polyline (3) or polygon (5) content; `starts` replaces the part starts
// and `partCount` the stated part count when given.
std::string PolyContent(int type, const std::vector<Ring>& parts, std::vector<int32_t> starts = {},
                        int32_t partCount = INT32_MIN)
{
    int32_t points = 0;
    std::vector<int32_t> s;
    for (const Ring& r : parts) {
        s.push_back(points);
        points += int32_t(r.size());
    }
    if (starts.empty()) starts = s;
    std::string c = PutLe32(type) + std::string(32, '\0');
    c += PutLe32(partCount != INT32_MIN ? partCount : int32_t(starts.size())) + PutLe32(points);
    for (int32_t v : starts) c += PutLe32(v);
    for (const Ring& r : parts)
        for (auto [x, y] : r) c += PutDouble(x) + PutDouble(y);
    return c;
}

std::string Patched(std::string bytes, std::size_t at, const std::string& with)
{
    bytes.replace(at, with.size(), with);
    return bytes;
}

std::string PointContent(double x, double y) { return PutLe32(1) + PutDouble(x) + PutDouble(y); }

std::string ShpFile(int type, const std::vector<std::string>& contents)
{
    std::string records;
    int n = 0;
    for (const std::string& c : contents) records += PutBe32(uint32_t(++n)) + PutBe32(uint32_t(c.size() / 2)) + c;
    std::string h = PutBe32(9994) + std::string(20, '\0') + PutBe32(uint32_t((100 + records.size()) / 2));
    h += PutLe32(1000) + PutLe32(type) + std::string(64, '\0');
    return h + records;
}

// A DBF of one numeric field "ID" with the given values.
void WriteTable(const std::string& path, int count)
{
    Tdbx t(path, Tdbx::kCreate);
    t.AddField(DbfFieldDescriptor::Make("ID", 'N', 12));
    for (int i = 1; i <= count; ++i) {
        t.ClearRecord();
        t.SetFieldText(1, std::to_string(i * 10));
        t.WriteRecord(i);
    }
    ASSERT_TRUE(t.Close());
}

std::string Value(const DrawingModel& m, std::size_t index, const std::string& column)
{
    std::vector<Attribute> a;
    m.Attributes(index, a);
    for (const Attribute& v : a)
        if (v.name == column) return v.value;
    return "<none>";
}

// The lines of a file without their CR LF.
std::vector<std::string> Lines(const std::string& path)
{
    std::vector<std::string> out;
    std::string all = Slurp(path);
    std::size_t at = 0;
    while (at < all.size()) {
        std::size_t lf = all.find('\n', at);
        if (lf == std::string::npos) lf = all.size();
        std::string l = all.substr(at, lf - at);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        out.push_back(l);
        at = lf + 1;
    }
    return out;
}

class ViewerSample : public ::testing::Test {
protected:
    void SetUp() override
    {
        shp_ = SampleOutput("shp");
        mif_ = SampleOutput("mif");
        ASSERT_FALSE(shp_.empty()) << "zalor-cli could not convert the sample county";
        ASSERT_FALSE(mif_.empty());
    }
    std::string shp_, mif_;
};

} // namespace

// Every record of the converter's shapefiles, compared with what its own
// record header states: kind, part and point counts, box; and the DBF.
TEST_F(ViewerSample, ShapefilesReadAsTheirRecordsState)
{
    for (const char* name : {"TGR08901ALL", "TGR08901W", "TGR08901AN"}) {
        SCOPED_TRACE(name);
        const std::string path = shp_ + name + ".SHP";
        DrawingModel m;
        LoadResult r = m.Load({path});
        ASSERT_TRUE(r.whole) << r.message;
        const std::string b = Slurp(path);
        std::size_t at = 100, k = 0;
        for (; at + 8 <= b.size(); ++k) {
            ASSERT_LT(k, m.Objects().size());
            const DrawingObject& o = m.Objects()[k];
            const std::size_t c = at + 8;
            const int type = Le32(b, c);
            if (type == 1) {
                EXPECT_EQ(o.kind, ObjectKind::Point);
                EXPECT_EQ(m.PointsOf(o).front(), (GeoPoint{Micro(LeDouble(b, c + 4)), Micro(LeDouble(b, c + 12))}));
            } else {
                EXPECT_EQ(o.kind, type == 5 ? ObjectKind::Region : ObjectKind::Line);
                EXPECT_EQ(o.box, (Box{Micro(LeDouble(b, c + 4)), Micro(LeDouble(b, c + 12)), Micro(LeDouble(b, c + 20)),
                                      Micro(LeDouble(b, c + 28))}));
                EXPECT_EQ(o.partCount, uint32_t(Le32(b, c + 36)));
                EXPECT_EQ(o.pointCount, uint32_t(Le32(b, c + 40)));
                uint64_t sum = 0;
                for (uint32_t n : m.PartsOf(o)) sum += n;
                EXPECT_EQ(sum, o.pointCount);
            }
            at = c + 2 * std::size_t(Be32(b, at + 4));
        }
        EXPECT_EQ(k, m.Objects().size());
        Tdbx table(shp_ + name + ".DBF", Tdbx::kRead);
        ASSERT_EQ(m.Files().size(), 1u);
        EXPECT_EQ(m.Files()[0].rowCount, table.RecordCount());
        ASSERT_EQ(int(m.Files()[0].columns.size()), table.FieldCount());
        // The last object's attributes are the last record's.
        ASSERT_TRUE(table.ReadRecord(table.RecordCount()));
        std::vector<Attribute> a;
        ASSERT_TRUE(m.Attributes(m.Objects().size() - 1, a));
        ASSERT_EQ(int(a.size()), table.FieldCount());
        EXPECT_EQ(a[0].name, table.GetFieldName(1));
        EXPECT_EQ(a.back().value, table.GetFieldText(table.FieldCount()));
    }
}

// The MIF and the shapefile of the same layer give the same objects, and
// object k of each has the attribute row k of its MID or DBF.
TEST_F(ViewerSample, MifAndShapefileOfALayerAgree)
{
    // (The area layers' MIF and DBF columns differ; their objects do not.)
    for (const std::string name : {"TGR08901ALL", "TGR08901AN", "TGR08901W"}) {
        SCOPED_TRACE(name);
        const bool sameColumns = name != "TGR08901W";
        DrawingModel a, b;
        LoadResult ra = a.Load({mif_ + name + ".MIF"});
        LoadResult rb = b.Load({shp_ + name + ".SHP"});
        ASSERT_TRUE(ra.whole) << ra.message;
        ASSERT_TRUE(rb.whole) << rb.message;
        ASSERT_EQ(a.Objects().size(), b.Objects().size());
        ASSERT_GT(a.Objects().size(), 0u);
        const std::vector<std::string> mid = Lines(mif_ + name + ".MID");
        ASSERT_EQ(mid.size(), a.Objects().size());
        if (sameColumns) {
            EXPECT_EQ(a.Files()[0].columns, b.Files()[0].columns);
        }
        for (std::size_t k = 0; k < a.Objects().size(); ++k) {
            const DrawingObject &oa = a.Objects()[k], &ob = b.Objects()[k];
            ASSERT_EQ(oa.kind, ob.kind) << k;
            ASSERT_EQ(oa.box, ob.box) << k;
            ASSERT_TRUE(std::ranges::equal(a.PointsOf(oa), b.PointsOf(ob))) << k;
            ASSERT_TRUE(std::ranges::equal(a.PartsOf(oa), b.PartsOf(ob))) << k;
            ASSERT_EQ(a.RowText(k), mid[k]);
        }
        for (std::size_t k : {std::size_t{0}, a.Objects().size() / 2, a.Objects().size() - 1}) {
            if (!sameColumns) break;
            std::vector<Attribute> va, vb;
            ASSERT_TRUE(a.Attributes(k, va));
            ASSERT_TRUE(b.Attributes(k, vb));
            ASSERT_EQ(va.size(), a.Files()[0].columns.size());
            ASSERT_EQ(va.size(), vb.size());
            for (std::size_t i = 0; i < va.size(); ++i) {
                EXPECT_EQ(va[i].name, vb[i].name);
                EXPECT_EQ(va[i].value, vb[i].value) << va[i].name;
            }
        }
    }
    DrawingModel lines;
    ASSERT_TRUE(lines.Load({mif_ + "TGR08901ALL.MIF"}).whole);
    for (const DrawingObject& o : lines.Objects()) ASSERT_EQ(o.kind, ObjectKind::Line);
    EXPECT_EQ(Value(lines, 0, "NUM"), "1");
    EXPECT_EQ(Value(lines, 0, "TLID"), "166016435");
    EXPECT_EQ(Value(lines, 2, "NAME"), "N Spruce Ave");
    EXPECT_EQ(Value(lines, lines.Objects().size() - 1, "NUM"), std::to_string(lines.Objects().size()));
}

TEST_F(ViewerSample, OneMifKeepsItsPensTwoTakeTheFileColours)
{
    DrawingModel one;
    ASSERT_TRUE(one.Load({mif_ + "TGR08901A.MIF"}).whole);
    // The first road's PEN clause, a MIF colour, as a platform colour.
    const std::vector<std::string> lines = Lines(mif_ + "TGR08901A.MIF");
    std::string pen;
    for (const std::string& l : lines)
        if (l.rfind("PEN (", 0) == 0) {
            pen = l;
            break;
        }
    int width = 0, pattern = 0, colour = 0;
    ASSERT_EQ(std::sscanf(pen.c_str(), "PEN (%d,%d,%d)", &width, &pattern, &colour), 3);
    EXPECT_EQ(one.Objects()[0].penColour, ColourFromRgb(uint32_t(colour)));
    EXPECT_EQ(one.Objects()[0].penWidth, width);

    DrawingModel two;
    ASSERT_TRUE(two.Load({mif_ + "TGR08901A.MIF", mif_ + "TGR08901H.MIF", shp_ + "TGR08901W.SHP"}).whole);
    ASSERT_EQ(two.Files().size(), 3u);
    for (const DrawingObject& o : two.Objects()) {
        const uint32_t expected = o.file == 0 ? 255u : o.file == 1 ? 0x8000u : kShpPolygonPen;
        ASSERT_EQ(o.penColour, expected);
    }
    EXPECT_EQ(two.Extent().minX, std::min({two.Objects()[0].box.minX, two.Extent().minX}));
    // Each file's colour is the one its objects are drawn in, its extent
    // the union of their boxes; hiding files narrows the shown extent.
    EXPECT_EQ(two.Files()[0].colour, 255u);
    EXPECT_EQ(two.Files()[1].colour, 0x8000u);
    EXPECT_EQ(two.Files()[2].colour, kShpPolygonPen);
    Box h;
    for (const DrawingObject& o : two.Objects())
        if (o.file == 1) h.Add(o.box);
    EXPECT_EQ(two.Files()[1].extent, h);
    two.SetShown(0, false);
    two.SetShown(2, false);
    EXPECT_EQ(two.ShownExtent(), h);
    two.SetShown(1, false);
    EXPECT_TRUE(two.ShownExtent().Empty());
    EXPECT_EQ(LayerName(two.Files()[1]), "TGR08901H.MIF");
}

TEST(ViewerReading, HandWrittenMifForms)
{
    const std::string dir = ScratchDir("mif-forms");
    const std::string longName(3000, 'N');
    std::string mif = "version 450\nCoordsys Earth Projection 1, 0\ncolumns 2\n  ID integer\n  " + longName +
                      " char (10)\ndata\n";
    mif += "pline 2\n2\n-1.5 2.25\n-1.0 2.5\n3\n0 0\n0.000001 0.0000015\n0.0000005,-0.0000005\n";
    mif += "    Pen (3,2,16711680)\n";
    mif += "SMOOTH\n";
    mif += "Region 0\n";
    mif += "Region 2\n 4\n0 0\n10 0\n10 10\n0 0\n3\n1 1\n2 1\n1 2\n Brush (2,255,0)\n";
    mif += "Point 5 6" + std::string(2000, ' ') + "\n";
    mif += "POINT 7,-8";
    Spill(dir + "forms.mif", mif);
    Spill(dir + "forms.mid", "1,\"a, b\"\n2,\"\"\n3,\"x \"\"y\"\" z\"\n4,\"p\"\n5,\"q\"\n");

    DrawingModel m;
    LoadResult r = m.Load({dir + "forms.mif"});
    ASSERT_TRUE(r.whole) << r.message;
    ASSERT_EQ(m.Objects().size(), 5u);
    const auto obj = m.Objects();
    EXPECT_EQ(obj[0].kind, ObjectKind::Line);
    EXPECT_EQ(obj[0].partCount, 2u);
    EXPECT_EQ(std::vector<uint32_t>(m.PartsOf(obj[0]).begin(), m.PartsOf(obj[0]).end()), (std::vector<uint32_t>{2, 3}));
    // Exact micro-degrees, rounded: 0.0000015 is 2 and -0.0000005 is -1.
    EXPECT_EQ(m.PointsOf(obj[0])[0], (GeoPoint{-1500000, 2250000}));
    EXPECT_EQ(m.PointsOf(obj[0])[3], (GeoPoint{1, 2}));
    EXPECT_EQ(m.PointsOf(obj[0])[4], (GeoPoint{1, -1}));
    EXPECT_EQ(obj[0].penWidth, 3);
    EXPECT_EQ(obj[0].penColour, 0x0000FFu); // red in MIF's colour, red on screen
    EXPECT_EQ(obj[1].pointCount, 0u);     // "Region 0": no points, but its own row
    EXPECT_EQ(obj[2].kind, ObjectKind::Region);
    EXPECT_EQ(obj[2].partCount, 2u);
    EXPECT_EQ(obj[2].penColour, kMifRegionPen);
    EXPECT_EQ(obj[2].brushColour, 0xFF0000u);
    EXPECT_EQ(obj[2].box, (Box{0, 0, 10000000, 10000000}));
    EXPECT_EQ(obj[3].kind, ObjectKind::Point);
    EXPECT_EQ(m.PointsOf(obj[4]).front(), (GeoPoint{7000000, -8000000}));

    ASSERT_EQ(m.Files()[0].columns.size(), 2u);
    EXPECT_EQ(m.Files()[0].columns[1], longName);
    EXPECT_EQ(Value(m, 0, longName), "a, b");
    EXPECT_EQ(Value(m, 1, longName), "");
    EXPECT_EQ(Value(m, 2, "ID"), "3");
    EXPECT_EQ(Value(m, 2, longName), "x \"y\" z");
    EXPECT_EQ(Value(m, 4, "ID"), "5");
}

TEST(ViewerReading, ProjectedMifIsInMetres)
{
    const std::string dir = ScratchDir("mif-projected");
    Spill(dir + "p.MIF",
          "Version 450\r\nCoordsys Earth Projection 29, 9999, 12, 0, 0, 0, \"m\", -113.3, 34.9\r\nCOLUMNS 0\r\nDATA\r\n"
          "PLINE\r\n2\r\n-125000.25 4500.5\r\n1234567.891 -2000\r\nPEN (1,2,0)\r\n");
    DrawingModel m;
    ASSERT_TRUE(m.Load({dir + "p.MIF"}).whole);
    EXPECT_EQ(m.WorldUnits(), Units::Millimetres);
    EXPECT_EQ(m.PointsOf(m.Objects()[0])[1], (GeoPoint{1234567891, -2000000}));
}

TEST(ViewerReading, ScaledNumbers)
{
    int32_t v = 0;
    EXPECT_TRUE(ParseScaled("-113.345188", 6, v));
    EXPECT_EQ(v, -113345188);
    EXPECT_TRUE(ParseScaled("+2147.483647", 6, v));
    EXPECT_EQ(v, 2147483647);
    EXPECT_FALSE(ParseScaled("2147.483648", 6, v));
    EXPECT_TRUE(ParseScaled("4.5e-05", 6, v));
    EXPECT_EQ(v, 45);
    EXPECT_TRUE(ParseScaled(".5", 0, v));
    EXPECT_EQ(v, 1);
    for (const char* bad : {"", "-", ".", "1.2.3", "12a", "1e", "nan", "inf", "99999999999999999999"})
        EXPECT_FALSE(ParseScaled(bad, 6, v)) << bad;
}

// Damaged and foreign files: a clear fault, the objects before the damage,
// no crash and no allocation beyond the file's size.
TEST_F(ViewerSample, DamagedShapefiles)
{
    const std::string dir = ScratchDir("shp-damage");
    const std::string all = Slurp(shp_ + "TGR08901ALL.SHP");
    // Cut inside record 100.
    std::size_t at = 100;
    for (int k = 1; k < 100; ++k) at += 8 + 2 * std::size_t(Be32(all, at + 4));
    Spill(dir + "cut.SHP", all.substr(0, at + 30));
    std::filesystem::copy_file(shp_ + "TGR08901ALL.DBF", dir + "cut.DBF");
    {
        DrawingModel m;
        LoadResult r = m.Load({dir + "cut.SHP"});
        EXPECT_FALSE(r.whole);
        EXPECT_NE(r.message.find("record 100"), std::string::npos) << r.message;
        EXPECT_EQ(m.Objects().size(), 99u);
        EXPECT_EQ(Value(m, 98, "NUM"), "99");
    }
    const Ring line{{-100, 40}, {-100.5, 40.5}, {-101, 41}};
    struct Case {
        const char* name;
        std::string bytes;
        std::size_t objects; // kept before the damage
    };
    std::string lying = ShpFile(3, {PolyContent(3, {line})});
    lying.resize(lying.size() - 8); // the header still states the full length
    const std::vector<Case> cases = {
        {"part index beyond the points", ShpFile(3, {PolyContent(3, {line}), PolyContent(3, {line, line}, {0, 7})}), 1},
        {"part starts falling", ShpFile(3, {PolyContent(3, {line, line}, {0, 4}), PolyContent(3, {line, line, line}, {0, 4, 2})}), 1},
        {"first part not at 0", ShpFile(5, {PolyContent(5, {line}, {1})}), 0},
        {"part count 2^31-1", ShpFile(3, {PolyContent(3, {line}), PolyContent(3, {line}, {0}, 0x7FFFFFFF)}), 1},
        {"negative part count", ShpFile(3, {PolyContent(3, {line}, {0}, -1)}), 0},
        {"coordinate out of range", ShpFile(1, {PointContent(1, 2), PointContent(1e300, 2), PointContent(3, 4)}), 1},
        {"content length beyond the file", Patched(ShpFile(1, {PointContent(1, 2), PointContent(3, 4)}), 128 + 4, PutBe32(0x7FFFFFFF)), 1},
        {"shorter than its header says", lying, 0},
        {"not a shapefile", std::string(300, 'x'), 0},
        {"empty", std::string(), 0},
        {"unsupported shape type", ShpFile(8, {PutLe32(8) + std::string(40, '\0')}), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Spill(dir + "d.SHP", c.bytes);
        DrawingModel m;
        LoadResult r = m.Load({dir + "d.SHP"});
        EXPECT_FALSE(r.whole);
        EXPECT_NE(r.message.find("d.SHP"), std::string::npos) << r.message;
        EXPECT_EQ(m.Objects().size(), c.objects);
    }

    // A table shorter than its header says: the records that are whole.
    Spill(dir + "t.SHP", ShpFile(1, {PointContent(1, 2), PointContent(3, 4), PointContent(5, 6)}));
    WriteTable(dir + "t.DBF", 3);
    const std::string table = Slurp(dir + "t.DBF");
    Spill(dir + "t.DBF", table.substr(0, table.size() - 5));
    DrawingModel m;
    LoadResult r = m.Load({dir + "t.SHP"});
    EXPECT_FALSE(r.whole);
    EXPECT_NE(r.message.find("shorter than its header says (2 of 3"), std::string::npos) << r.message;
    EXPECT_EQ(m.Objects().size(), 3u);
    EXPECT_EQ(Value(m, 1, "ID"), "20");
    EXPECT_EQ(Value(m, 2, "ID"), "<none>");
    // A table that is not one, and a missing one.
    Spill(dir + "t.DBF", "junk");
    EXPECT_FALSE(m.Load({dir + "t.SHP"}).whole);
    EXPECT_EQ(m.Objects().size(), 3u);
    std::filesystem::remove(dir + "t.DBF");
    EXPECT_TRUE(m.Load({dir + "t.SHP"}).whole); // no table: objects without attributes
    std::vector<Attribute> none;
    EXPECT_FALSE(m.Attributes(0, none));
    EXPECT_FALSE(m.Load({dir + "missing.SHP", dir + "t.SHP", dir + "t.TXT"}).whole);
    EXPECT_EQ(m.Objects().size(), 3u);
}

// A shapefile's texts are shown by the code page its .CPG declares: UTF-8
// as Latin-1 (what Latin-1 cannot show as "?", bytes that are no UTF-8 as
// they are), anything else, or no .CPG, byte for byte.
TEST(ViewerReading, ShapefileTextsByTheirDeclaredCodePage)
{
    const std::string dir = ScratchDir("shp-cpg");
    Spill(dir + "t.SHP", ShpFile(1, {PointContent(1, 2), PointContent(3, 4), PointContent(5, 6)}));
    const std::string utf8 = "Pe\xC3\xB1" "asco", latin1 = "Pe\xF1" "asco";
    {
        Tdbx t(dir + "t.DBF", Tdbx::kCreate);
        t.AddField(DbfFieldDescriptor::Make("NAME", 'C', 20));
        const std::string texts[] = {utf8, "\xE6\x97\xA5 Tokyo", "Caf\xE9 Bar"};
        for (int i = 1; i <= 3; ++i) {
            t.ClearRecord();
            t.SetFieldText(1, texts[i - 1]);
            t.WriteRecord(i);
        }
        ASSERT_TRUE(t.Close());
    }
    const struct {
        const char* cpg; // nullptr: no .CPG
        std::string first, second, third;
    } cases[] = {
        {"UTF-8", latin1, "? Tokyo", "Caf\xE9 Bar"},
        {" utf8\r\n", latin1, "? Tokyo", "Caf\xE9 Bar"},
        {"88591", utf8, "\xE6\x97\xA5 Tokyo", "Caf\xE9 Bar"},
        {"1252", utf8, "\xE6\x97\xA5 Tokyo", "Caf\xE9 Bar"},
        {nullptr, utf8, "\xE6\x97\xA5 Tokyo", "Caf\xE9 Bar"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cpg ? c.cpg : "no .CPG");
        std::filesystem::remove(dir + "t.cpg");
        if (c.cpg) Spill(dir + "t.cpg", c.cpg); // found in either case
        DrawingModel m;
        ASSERT_TRUE(m.Load({dir + "t.SHP"}).whole);
        EXPECT_EQ(Value(m, 0, "NAME"), c.first);
        EXPECT_EQ(Value(m, 1, "NAME"), c.second);
        EXPECT_EQ(Value(m, 2, "NAME"), c.third);
        EXPECT_EQ(m.RowText(0), c.first);
    }
}

TEST(ViewerReading, DamagedMifFiles)
{
    const std::string dir = ScratchDir("mif-damage");
    const std::string head = "Version 450\r\nCOLUMNS 1\r\nID integer\r\nDATA\r\nPOINT 1 2\r\n";
    struct Case {
        const char* name;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"negative point count", "PLINE\r\n-3\r\n1 2\r\n"},
        {"negative section count", "PLINE -2\r\n2\r\n1 2\r\n3 4\r\n"},
        {"negative ring count", "Region -1\r\n"},
        {"huge point count", "PLINE\r\n2147483647\r\n1 2\r\n3 4\r\n"},
        {"huge ring count", "Region 4000000000\r\n3\r\n1 2\r\n3 4\r\n5 6\r\n"},
        {"count beyond 64 bits", "Region 99999999999999999999999\r\n"},
        {"the file ends in a section", "PLINE\r\n3\r\n1 2\r\n3 4\r\n"},
        {"not a number", "PLINE\r\n2\r\n1 2\r\nx y\r\n"},
        {"one number", "PLINE\r\n2\r\n1 2\r\n3\r\n"},
        {"out of range", "PLINE\r\n2\r\n1 2\r\n3000 4\r\n"},
        {"POINT without a pair", "POINT 5\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Spill(dir + "d.MIF", head + c.body + "POINT 9 9\r\n");
        DrawingModel m;
        LoadResult r = m.Load({dir + "d.MIF"});
        EXPECT_FALSE(r.whole);
        EXPECT_NE(r.message.find("d.MIF, line "), std::string::npos) << r.message;
        EXPECT_EQ(m.Objects().size(), 1u) << r.message; // the point before the damage
    }
    Spill(dir + "n.MIF", "Version 450\r\nPOINT 1 2\r\n");
    DrawingModel m;
    EXPECT_FALSE(m.Load({dir + "n.MIF"}).whole); // no DATA: not ours
    Spill(dir + "c.MIF", "COLUMNS 100000000\r\nA integer\r\nDATA\r\n");
    EXPECT_FALSE(m.Load({dir + "c.MIF"}).whole);
    // Fewer MID rows than objects: a fault, the rows there are still used.
    Spill(dir + "r.MIF", head + "POINT 3 4\r\n");
    Spill(dir + "r.MID", "7\r\n");
    LoadResult r = m.Load({dir + "r.MIF"});
    EXPECT_FALSE(r.whole);
    EXPECT_NE(r.message.find("1 rows for 2 objects"), std::string::npos) << r.message;
    EXPECT_EQ(Value(m, 0, "ID"), "7");
    EXPECT_EQ(Value(m, 1, "ID"), "<none>");
}

// A MID with other than one row per object, and a DBF with other than one
// record per shape, are named either way; the objects are drawn anyway. A
// row longer than a line may be is one row like any other.
TEST(ViewerReading, AttributeRowsAgainstObjects)
{
    const std::string dir = ScratchDir("row-counts");
    Spill(dir + "r.MIF", "Version 450\r\nCOLUMNS 1\r\nID integer\r\nDATA\r\nPOINT 1 2\r\nPOINT 3 4\r\n");
    const std::string longRow(BlockReader::kMaxLineLength + (3 << 20), '9');
    const std::vector<std::pair<std::string, std::string>> cases = { // MID, message ("" when whole)
        {"7\r\n8\r\n", ""},
        {"7\r\n8", ""},
        {"7\r\n8\r\n\r\n\n", ""}, // blank lines at the end are no rows
        {"7\r\n8\r\n9\r\n10\r\n11\r\n", "r.MID: 5 rows for 2 objects"},
        {"7\r\n8\r\n\r\n9", "r.MID: 4 rows for 2 objects"},
        {"7\r\n", "r.MID: 1 rows for 2 objects"},
        {longRow + "\r\n8\r\n", ""},
        {"7\r\n" + longRow, ""},
        {longRow + "\r\n8\r\n" + longRow + "\n", "r.MID: 3 rows for 2 objects"},
        {longRow + "\n", "r.MID: 1 rows for 2 objects"},
    };
    for (const auto& [mid, message] : cases) {
        SCOPED_TRACE(mid.substr(0, 12));
        Spill(dir + "r.MID", mid);
        DrawingModel m;
        const LoadResult r = m.Load({dir + "r.MIF"});
        EXPECT_EQ(r.whole, message.empty()) << r.message;
        EXPECT_NE(r.message.find(message), std::string::npos) << r.message;
        EXPECT_EQ(m.Objects().size(), 2u);
        if (mid.starts_with("7")) {
            EXPECT_EQ(Value(m, 0, "ID"), "7");
        }
        if (mid.starts_with(longRow + "\r\n8")) {
            EXPECT_EQ(Value(m, 1, "ID"), "8");
        }
    }

    Spill(dir + "t.SHP", ShpFile(1, {PointContent(1, 2), PointContent(3, 4)}));
    for (int records : {1, 2, 5}) {
        SCOPED_TRACE(records);
        WriteTable(dir + "t.DBF", records);
        DrawingModel m;
        const LoadResult r = m.Load({dir + "t.SHP"});
        EXPECT_EQ(r.whole, records == 2) << r.message;
        const std::string counts = records == 2 ? "" : "t.DBF: " + std::to_string(records) + " records for 2 shapes";
        EXPECT_NE(r.message.find(counts), std::string::npos) << r.message;
        EXPECT_EQ(m.Objects().size(), 2u);
        EXPECT_EQ(Value(m, 0, "ID"), "10");
    }
}
