// The converter's MIF files and shapefiles on every datum open in the
// viewer as NAD83's do: the declaration names the datum (and, projected,
// its shift from WGS 84), which the layer list shows in words.
#include "view/coord_sys.h"
#include "view/drawing.h"
#include "view/sample_files.h"

#include "formats/mif/mif.h"
#include "formats/shp/shp.h"

#include <gtest/gtest.h>

namespace zalor::view {
namespace {

// A layer of one line of `format` on the datum, in degrees or projected.
std::string WriteLine(const FormatDriver& format, const std::string& base, Datum datum, bool lambert,
                      const std::vector<GeoPoint>& line)
{
    LayerDefinition def;
    def.basePath = base;
    def.columns = {{"NUM", ColumnType::Integer}};
    def.projection.datum = datum;
    if (lambert) {
        def.projection.active = true;
        SetupLambert(def.projection, {6370997, -89.5, 40.5});
    }
    WriteFailures failures;
    auto layer = OpenLayerWriter(format, def, failures);
    if (!layer) return {};
    Row row;
    layer->WriteLine(line, "A41", row.Int(7));
    return layer->Close().empty() ? layer->MainPath() : std::string();
}

TEST(ViewerDatums, FilesOnEveryDatumOpen)
{
    const std::string dir = test::view::ScratchDir("datums");
    const std::vector<GeoPoint> line = {{-89700000, 40300000}, {-89512345, 40456789}};
    for (Datum datum : {Datum::Nad83, Datum::Nad27, Datum::OldHawaiian, Datum::PuertoRico, Datum::Guam1963,
                        Datum::AmericanSamoa1962}) {
        for (const FormatDriver* format : {&kMifFormat, &kShpFormat}) {
            for (bool lambert : {false, true}) {
                const std::string path =
                    WriteLine(*format, dir + std::string(format->name) + std::to_string(static_cast<int>(datum)) +
                                           (lambert ? "L" : "G"),
                              datum, lambert, line);
                ASSERT_FALSE(path.empty());
                DrawingModel m;
                const LoadResult r = m.Load({path});
                ASSERT_TRUE(r.whole) << path << ": " << r.message;
                ASSERT_EQ(m.Objects().size(), 1u) << path;
                // Shapefiles hold degrees whatever the projection.
                const bool metres = lambert && format == &kMifFormat;
                EXPECT_EQ(m.WorldUnits(), metres ? Units::Millimetres : Units::MicroDegrees) << path;
                if (!metres) {
                    EXPECT_EQ(m.PointsOf(m.Objects()[0])[1], line[1]) << path;
                }
                // The layer list names the system as the declaration does.
                EXPECT_EQ(m.Files()[0].coordSys,
                          metres ? "Lambert azimuthal equal-area, " + std::string(DatumName(datum)) +
                                       ", centre -89.5, 40.5"
                                 : GeographicName(datum))
                    << path;
                std::vector<Attribute> row;
                ASSERT_TRUE(m.Attributes(0, row)) << path;
                ASSERT_EQ(row.size(), 1u);
                EXPECT_EQ(row[0].value, "7") << path;
            }
        }
    }
}

} // namespace
} // namespace zalor::view
