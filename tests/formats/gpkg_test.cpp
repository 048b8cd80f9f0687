#include "formats/gpkg/gpkg.h"
#include "support/recorder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <thread>

namespace zalor {
namespace {

// The written file read with SQLite alone.
class Db {
public:
    explicit Db(const std::string& path) { sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr); }
    ~Db() { sqlite3_close(db_); }
    std::string Text(const std::string& sql, std::vector<double> args = {}) const
    {
        sqlite3_stmt* st = nullptr;
        std::string out = "(" + std::string(sqlite3_errmsg(db_)) + ")";
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
            for (std::size_t i = 0; i < args.size(); ++i) sqlite3_bind_double(st, static_cast<int>(i + 1), args[i]);
            if (sqlite3_step(st) == SQLITE_ROW) {
                const auto* t = sqlite3_column_text(st, 0);
                out = t ? reinterpret_cast<const char*>(t) : "NULL";
            }
        }
        sqlite3_finalize(st);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

struct GeoPackageTest : ::testing::Test {
    std::string dir = test::TempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::string path = dir + "TGR01001.gpkg";

    // The county's GeoPackage, through the loaded writer.
    static std::shared_ptr<LayerContainer> Make(const std::string& path)
    {
        std::string error;
        auto file = MakeGeoPackage(path, error);
        EXPECT_TRUE(file) << error;
        return file;
    }

    static LayerDefinition Table(LayerContainer& file, const std::string& name, LayerGeometry geometry,
                                 std::vector<Column> columns = {{"NUM", ColumnType::Integer}})
    {
        LayerDefinition def;
        def.geometry = geometry;
        def.name = name;
        def.columns = std::move(columns);
        def.container = &file;
        return def;
    }
    static std::unique_ptr<LayerWriter> Open(const LayerDefinition& def)
    {
        WriteFailures failures;
        auto w = OpenLayerWriter(kGpkgFormat, def, failures);
        EXPECT_TRUE(failures.empty());
        return w;
    }
    std::vector<std::string> Files() const
    {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
        return out;
    }
};

GeoPoint PointNumber(int i) { return {-87000000 - i * 37, 41000000 + (i * 7919) % 100003}; }

// A point table of points 0..n-1, NUM 1..n.
void WritePointTable(LayerContainer& file, const std::string& name, int n)
{
    auto w = GeoPackageTest::Open(GeoPackageTest::Table(file, name, LayerGeometry::Point));
    ASSERT_TRUE(w);
    Row row;
    for (int i = 0; i < n; ++i) {
        row.Clear();
        w->WritePoint(PointNumber(i), row.Int(i + 1));
    }
    EXPECT_TRUE(w->Close().empty());
}

TEST_F(GeoPackageTest, PackedIndexFindsEveryFeatureAtItsOwnCoordinates)
{
    // No feature, one, a full leaf, one more than a leaf, one more than a
    // full level of leaves (a tree of three levels).
    const int sizes[] = {0, 1, 51, 52, 51 * 51 + 1};
    {
        const auto made = Make(path);
        ASSERT_TRUE(made);
        LayerContainer& file = *made;
        for (int n : sizes) WritePointTable(file, "P" + std::to_string(n), n);
        WriteFailures failures;
        ASSERT_TRUE(file.Commit(failures));
        EXPECT_TRUE(failures.empty());
    }
    Db db(path);
    for (int n : sizes) {
        const std::string rtree = "rtree_P" + std::to_string(n) + "_geom";
        EXPECT_EQ(db.Text("SELECT rtreecheck('" + rtree + "')"), "ok") << n;
        EXPECT_EQ(db.Text("SELECT count(*) FROM " + rtree), std::to_string(n));
        // The boxes are rounded outwards: each point lies in its own.
        for (int i = 0; i < n; ++i) {
            const double x = PointNumber(i).x / 1e6, y = PointNumber(i).y / 1e6;
            ASSERT_EQ(db.Text("SELECT count(*) FROM " + rtree + " WHERE id = " + std::to_string(i + 1) +
                                  " AND minx <= ?1 AND maxx >= ?1 AND miny <= ?2 AND maxy >= ?2",
                              {x, y}),
                      "1")
                << n << " " << i;
        }
    }
}

TEST_F(GeoPackageTest, AnIndexAddedToAFileOfSmallPagesHasItsNodeSize)
{
    auto write = [&](const std::string& name, int n) {
        const auto made = Make(path);
        ASSERT_TRUE(made);
        WritePointTable(*made, name, n);
        WriteFailures failures;
        ASSERT_TRUE(made->Commit(failures));
    };
    write("P", 10);
    {
        // A file made elsewhere with pages of 1 KiB: R-tree nodes of 960 bytes.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, "PRAGMA page_size = 1024; VACUUM;", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    write("Q", 2000);
    Db db(path);
    EXPECT_EQ(db.Text("PRAGMA page_size"), "1024");
    EXPECT_EQ(db.Text("SELECT length(data) FROM rtree_Q_geom_node WHERE nodeno = 1"), "960");
    EXPECT_EQ(db.Text("SELECT rtreecheck('rtree_Q_geom')"), "ok");
    EXPECT_EQ(db.Text("SELECT count(*) FROM rtree_Q_geom"), "2000");
    const double x = PointNumber(999).x / 1e6, y = PointNumber(999).y / 1e6;
    EXPECT_EQ(db.Text("SELECT count(*) FROM rtree_Q_geom WHERE minx <= ?1 AND maxx >= ?1 AND miny <= ?2 AND maxy >= ?2",
                      {x, y}),
              "1");
    EXPECT_EQ(db.Text("SELECT rtreecheck('rtree_P_geom')"), "ok");
}

TEST_F(GeoPackageTest, TablesWrittenFromSeveralThreadsAtOnceAreEachWhole)
{
    constexpr int kLines = 3000;
    {
        const auto made = Make(path);
        ASSERT_TRUE(made);
        LayerContainer& file = *made;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                auto w = Open(Table(file, "L" + std::to_string(t), LayerGeometry::Line,
                                    {{"NUM", ColumnType::Integer}, {"T", ColumnType::Integer}}));
                Row row;
                for (int i = 0; i < kLines; ++i) {
                    const GeoPoint line[3] = {PointNumber(i), PointNumber(i + t), PointNumber(i + 1)};
                    row.Clear();
                    w->WriteLine(line, "A41", row.Int(i + 1).Int(t));
                }
                EXPECT_TRUE(w->Close().empty());
            });
        for (std::thread& th : threads) th.join();
        WriteFailures failures;
        ASSERT_TRUE(file.Commit(failures));
    }
    Db db(path);
    for (int t = 0; t < 4; ++t) {
        const std::string table = "L" + std::to_string(t);
        EXPECT_EQ(db.Text("SELECT count(*) FROM " + table), std::to_string(kLines));
        EXPECT_EQ(db.Text("SELECT count(*) FROM " + table + " WHERE NUM != fid OR T != " + std::to_string(t)), "0");
        EXPECT_EQ(db.Text("SELECT rtreecheck('rtree_" + table + "_geom')"), "ok");
    }
}

TEST_F(GeoPackageTest, ColumnsHoldTheirValuesAsTheirTypes)
{
    {
        const auto made = Make(path);
        ASSERT_TRUE(made);
        LayerContainer& file = *made;
        auto w = Open(Table(file, "DP", LayerGeometry::Point,
                            {{"NUM", ColumnType::Integer},
                             {"NAME", ColumnType::Char, 5},
                             {"LAT", ColumnType::Degrees},
                             {"ZIPL", ColumnType::Integer}}));
        Row row;
        row.Int(7).Text("Pe\xF1" "asco \"Grande\" Road").Int(41500000).Null();
        w->WritePoint({-87000000, 41500000}, row);
        EXPECT_TRUE(w->Close().empty());
        WriteFailures failures;
        ASSERT_TRUE(file.Commit(failures));
    }
    Db db(path);
    // Latin-1 becomes UTF-8, a text is not cut to its width, micro-degrees
    // become degrees, and a null stays null.
    EXPECT_EQ(db.Text("SELECT NAME FROM DP"), "Pe\xC3\xB1" "asco \"Grande\" Road");
    EXPECT_EQ(db.Text("SELECT typeof(NUM) || ' ' || NUM FROM DP"), "integer 7");
    EXPECT_EQ(db.Text("SELECT typeof(LAT) || ' ' || LAT FROM DP"), "real 41.5");
    EXPECT_EQ(db.Text("SELECT typeof(ZIPL) FROM DP"), "null");
}

TEST_F(GeoPackageTest, AGivenUpTableLeavesNoFileAndTheOlderOneUntouched)
{
    test::WriteFile(path, "an older file");
    {
        const auto made = Make(path);
        ASSERT_TRUE(made);
        LayerContainer& file = *made;
        auto a = Open(Table(file, "A", LayerGeometry::Point));
        Row row;
        a->WritePoint(PointNumber(1), row.Int(1));
        EXPECT_TRUE(a->Close().empty());
        auto b = Open(Table(file, "B", LayerGeometry::Point));
        b->WritePoint(PointNumber(2), row);
        b->Discard(); // a stop
        WriteFailures failures;
        EXPECT_FALSE(file.Commit(failures));
        EXPECT_TRUE(failures.empty());
    }
    EXPECT_EQ(test::ReadFile(path), "an older file");
    EXPECT_EQ(Files(), std::vector<std::string>{"TGR01001.gpkg"});
}

TEST_F(GeoPackageTest, AWriteFailureFailsItsTableTheTablesAfterItAndTheFile)
{
    test::FileSizeLimit limit(256 * 1024);
    const auto made = Make(path);
    ASSERT_TRUE(made);
    LayerContainer& file = *made;
    auto a = Open(Table(file, "A", LayerGeometry::Line));
    Row row;
    std::vector<GeoPoint> line;
    for (int i = 0; i < 200; ++i) line.push_back(PointNumber(i));
    for (int i = 0; i < 2000; ++i) {
        row.Clear();
        a->WriteLine(line, "A41", row.Int(i));
    }
    // A layer's Close does not wait for its rows: each failure comes
    // either from it or from the commit, once.
    WriteFailures failures = a->Close();
    auto b = Open(Table(file, "B", LayerGeometry::Point));
    b->WritePoint(PointNumber(1), row);
    const WriteFailures fb = b->Close();
    failures.insert(failures.end(), fb.begin(), fb.end());
    EXPECT_FALSE(file.Commit(failures));
    ASSERT_EQ(failures.size(), 2u);
    for (const WriteFailure& f : failures) EXPECT_EQ(f.kind, WriteFailure::Kind::Write);
    EXPECT_EQ(failures[0].path, path + ":A");
    EXPECT_EQ(failures[1].path, path + ":B");
    EXPECT_TRUE(Files().empty());
}

} // namespace
} // namespace zalor
