// Line and node feature output: one file set per line group, in the
// output format of the run, with a node file set when asked.
#include "features/lines.h"

#include "features/line_columns.h"
#include "formats/dbf.h"
#include "formats/kxf.h"
#include "formats/shp.h"
#include "formats/textfile.h"
#include "geometry/assembly.h"
#include "run/selection.h"
#include "run/session.h"
#include "tiger/county.h"

#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace zalor {

std::string OutputExtension(int format)
{
    switch (format) {
    case 1: return ".SHP";
    case 2: return ".KXF";
    default: return ".MIF";
    }
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string MifCoordSysLine(const Projection& p)
{
    if (!p.active) return std::string(TTextFile::kGeographicCoordSys);
    // Lambert Azimuthal Equal-Area (MapInfo projection 29) on the sphere
    // (ellipsoid 12), metres, centred on the projection's centre. MapInfo
    // knows one sphere only, of radius 6370997 m, the default radius.
    char buf[160];
    std::snprintf(buf, sizeof buf, "Coordsys Earth Projection 29, 9999, 12, 0, 0, 0, \"m\", %.10g, %.10g",
                  p.lam0 / 0.01745329252, p.phi0 / 0.01745329252);
    return buf;
}

namespace {

// One line file set in one of the three formats.
class LineFileSet {
public:
    virtual ~LineFileSet() = default;
    // Writes one chain with its attribute row; false when it could not be written.
    virtual bool Write(const ChainRecord& chain, int32_t number, const std::string& row) = 0;
    // Finishes the files; false when a write failed (already reported).
    virtual bool Close(Session& session) = 0;
};

void ChainPoints(const ChainTable& chains, const ChainRecord& c, std::vector<GeoPoint>& pts)
{
    pts.clear();
    pts.push_back(c.from);
    auto shapes = chains.Shapes(c);
    pts.insert(pts.end(), shapes.begin(), shapes.end());
    pts.push_back(c.to);
}

class MifLineFiles : public LineFileSet {
public:
    MifLineFiles(Session& session, const County& county, const std::string& base, const LineColumns& cols)
        : session_(session), county_(county), mif_(base + ".MIF", TTextFile::kCreate),
          mid_(base + ".MID", TTextFile::kCreate)
    {
        mif_.WriteMifHeader(MifCoordSysLine(session.projection));
        WriteMifColumns(mif_, cols.count, cols.text);
    }
    bool Write(const ChainRecord& c, int32_t, const std::string& row) override
    {
        auto shapes = county_.chains.Shapes(c);
        const Projection& proj = session_.projection;
        WriteMifPlineStart(mif_, static_cast<int64_t>(shapes.size()) + 2);
        mif_.WriteLine(FormatCoordinatePair(proj, c.from));
        mid_.WriteLine(row);
        for (const GeoPoint& p : shapes) mif_.WriteLine(FormatCoordinatePair(proj, p));
        mif_.WriteLine(FormatCoordinatePair(proj, c.to));
        Pen pen = PenForCfcc(c.Cfcc());
        WriteMifPen(mif_, MifPen{pen.width, 2, pen.colour});
        return true;
    }
    bool Close(Session& session) override
    {
        bool ok = CloseOrReport(session, mif_);
        return CloseOrReport(session, mid_) && ok;
    }

private:
    Session& session_;
    const County& county_;
    TTextFile mif_;
    TTextFile mid_;
};

class ShpLineFiles : public LineFileSet {
public:
    ShpLineFiles(const County& county, const std::string& base, const LineColumns& cols)
        : county_(county), shp_(base + ".SHP", TShpFile::kPolyLine), dbf_(base + ".DBF", Tdbx::kCreate)
    {
        DefineFieldsFromColumns(dbf_, cols.text);
    }
    bool Write(const ChainRecord& c, int32_t number, const std::string& row) override
    {
        StoreRowAsRecord(dbf_, number, row);
        ChainPoints(county_.chains, c, points_);
        const int32_t parts[1] = {static_cast<int32_t>(points_.size())};
        return shp_.WritePolyRecord(TShpFile::kPolyLine, points_, number, parts);
    }
    bool Close(Session& session) override
    {
        bool ok = CloseOrReport(session, shp_);
        ok = CloseOrReport(session, dbf_) && ok;
        return WritePrjFile(session, shp_.MainPath()) && ok;
    }

private:
    const County& county_;
    TShpFile shp_;
    Tdbx dbf_;
    std::vector<GeoPoint> points_;
};

class KxfLineFiles : public LineFileSet {
public:
    KxfLineFiles(const County& county, const std::string& base, const LineColumns& cols)
        : county_(county), files_(base)
    {
        WriteMtdColumns(files_.Mtd(), cols.count, cols.text);
    }
    bool Write(const ChainRecord& c, int32_t, const std::string& row) override
    {
        if (!WriteKxfLineRecord(files_.Kxf(), county_.chains, c)) return false;
        files_.Mtd().WriteLine(row);
        ++records_;
        return true;
    }
    bool Close(Session& session) override
    {
        // The header holds the county's limits, whatever the group.
        const CountyExtent& e = county_.extent;
        KxfBox box;
        box.minX = e.minX;
        box.maxY = e.maxY;
        box.maxX = e.maxX;
        box.minY = e.minY;
        files_.WriteHeader(records_, &box);
        return CloseOrReport(session, files_);
    }

private:
    const County& county_;
    KxfFileSet files_;
    int32_t records_ = 0;
};

} // namespace

void WriteNodeFile(Session& session, const std::string& base, const TNodeMgr& nodes)
{
    if (session.formatCode == 2) return; // KXF has no node files
    RunReport& report = session.report;
    const std::string nodeBase = base + "N";
    const std::string main = nodeBase + OutputExtension(session.formatCode);
    report.ShowStatus("Creating Node File");
    const int32_t n = nodes.NodeCount();
    try {
        if (session.formatCode == 1) {
            TShpFile shp(main, TShpFile::kPoint);
            Tdbx dbf(nodeBase + ".DBF", Tdbx::kCreate);
            DefineFieldsFromColumns(dbf, "NODE integer\r\n");
            for (int32_t i = 0; i < n; ++i) {
                shp.WritePointRecord(i + 1, nodes.NodeAt(i).pt);
                StoreRowAsRecord(dbf, i + 1, std::to_string(i + 1));
                if ((i & 15) == 0) report.ShowProgress(i, n);
            }
            CloseOrReport(session, shp);
            CloseOrReport(session, dbf);
            WritePrjFile(session, main);
        } else {
            TTextFile mif(main, TTextFile::kCreate);
            TTextFile mid(nodeBase + ".MID", TTextFile::kCreate);
            mif.WriteMifHeader(MifCoordSysLine(session.projection));
            mif.WriteLine("COLUMNS 1");
            mif.WriteLine("NODE integer");
            mif.WriteLine("DATA");
            for (int32_t i = 0; i < n; ++i) {
                WriteMifPoint(mif, FormatCoordinatePair(session.projection, nodes.NodeAt(i).pt));
                mid.WriteLine(std::to_string(i + 1));
                if ((i & 15) == 0) report.ShowProgress(i, n);
            }
            CloseOrReport(session, mif);
            CloseOrReport(session, mid);
        }
    } catch (const FileError& e) {
        session.CountyError(std::string("Unable to Create ") + e.what());
        return;
    }
    report.ShowStatus("Done");
    report.AddOutputEntry(main);
}

void WriteLineFeatures(Session& session, County& county, const std::string& inputPath, int mask,
                       const std::string& suffix)
{
    if (session.Stopped()) return;
    const RunSettings& s = session.settings;
    RunReport& report = session.report;
    TClist selection;
    BuildCfccSelection(s, mask, selection);
    if (selection.Empty()) return;

    report.LogLine("Saving ..." + inputPath);
    const std::string base = session.countyOutputDirectory + OutputBaseName(inputPath) + suffix;
    const std::string main = base + OutputExtension(session.formatCode);
    if (s.SkipExisting() && FileExists(main)) {
        report.AddOutputEntry(main + "[*Exists*]");
        return;
    }
    report.ShowStatus("Creating... " + FileNamePart(main));

    const LineColumns cols = BuildColumnList(s, mask);
    const bool withNodes = (cols.groups & kColNodes) != 0;
    TNodeMgr nodes;
    std::unique_ptr<LineFileSet> files;
    try {
        switch (session.formatCode) {
        case 1: files = std::make_unique<ShpLineFiles>(county, base, cols); break;
        case 2: files = std::make_unique<KxfLineFiles>(county, base, cols); break;
        default: files = std::make_unique<MifLineFiles>(session, county, base, cols); break;
        }
    } catch (const FileError& e) {
        session.CountyError(std::string("Unable to Create ") + e.what());
        return;
    }

    const ChainTable& chains = county.chains;
    const int32_t count = chains.count();
    std::string row;
    int32_t number = 0;
    for (int32_t i = 1; i <= count && !session.Stopped(); ++i) {
        const ChainRecord& c = chains[i];
        if (mask != 255 && !selection.Contains(c.Cfcc())) continue;
        ++number;
        int64_t fnode = 0, tnode = 0;
        if (withNodes) {
            fnode = nodes.FindOrAddNode(c.from);
            tnode = nodes.FindOrAddNode(c.to);
        }
        BuildAttributeRow(row, county, c, number, cols.groups, fnode, tnode);
        if (!files->Write(c, number, row)) {
            session.CountyError("Coordinates out of range in chain " + std::to_string(c.TLID) + ", not written to " +
                                main);
            --number;
        }
        if ((i & 255) == 1) report.ShowProgress(i, count);
    }
    files->Close(session);
    files.reset();
    report.AddOutputEntry(main);
    report.LogLine("Created..." + main);
    if (withNodes) WriteNodeFile(session, base, nodes);
}

} // namespace zalor
