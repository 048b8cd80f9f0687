// Line and node feature output: one layer per line group, in the output
// format of the run, with a node layer when asked.
#include "features/lines.h"

#include "features/line_columns.h"
#include "formats/kxf.h"

namespace zalor {

namespace {

void ChainPoints(const ChainTable& chains, const ChainRecord& c, std::vector<GeoPoint>& pts)
{
    pts.clear();
    pts.push_back(c.from);
    auto shapes = chains.Shapes(c);
    pts.insert(pts.end(), shapes.begin(), shapes.end());
    pts.push_back(c.to);
}

} // namespace

LayerOutcome WriteLineLayer(const County& county, const LineLayerRequest& request, TNodeMgr& nodes,
                            ProgressObserver& observer)
{
    LayerOutcome outcome;
    LayerDefinition def;
    def.format = request.target.format;
    def.geometry = LayerGeometry::Line;
    def.basePath = request.target.basePath;
    def.table = request.target.table;
    def.columns = LineColumns(request.columnGroups, def.format);
    def.projection = request.target.projection;
    def.blankLineAfterColumns = true;
    // KXF line files carry the county's limits, whatever the group.
    const CountyExtent& e = county.extent;
    AreaBox box;
    box.minX = e.minX;
    box.maxY = e.maxY;
    box.maxX = e.maxX;
    box.minY = e.minY;
    def.kxfHeaderBox = box;
    std::unique_ptr<LayerWriter> writer = OpenLayerWriter(def, outcome.failures);
    if (!writer) return outcome;

    const bool withNodes = (request.columnGroups & kColNodes) != 0;
    const ChainTable& chains = county.chains;
    const int32_t count = chains.count();
    LayerRow row;
    std::vector<GeoPoint> points;
    int32_t number = 0;
    for (int32_t i = 1; i <= count && !observer.StopRequested(); ++i) {
        const ChainRecord& c = chains[i];
        if (request.selection && !request.selection->Contains(c.Cfcc())) continue;
        ++number;
        int64_t fnode = 0, tnode = 0;
        if (withNodes) {
            fnode = nodes.FindOrAddNode(c.from);
            tnode = nodes.FindOrAddNode(c.to);
        }
        BuildAttributeRow(row, county, c, number, request.columnGroups, fnode, tnode);
        ChainPoints(chains, c, points);
        const Pen pen = PenForCfcc(c.Cfcc());
        if (!writer->WriteLine(points, LineStyle{pen.width, pen.colour, KxfLineClass(c.Cfcc())}, row)) {
            outcome.failures.push_back({WriteFailure::Kind::Refused, writer->MainPath(), {}, c.TLID});
            --number;
        }
        if ((i & 255) == 1) observer.Progress(i, count);
    }
    FinishLayer(*writer, outcome, observer);
    return outcome;
}

LayerOutcome WriteNodeLayer(const TNodeMgr& nodes, const LayerTarget& target, ProgressObserver& observer)
{
    LayerOutcome outcome;
    LayerDefinition def;
    def.format = target.format;
    def.geometry = LayerGeometry::Point;
    def.basePath = target.basePath;
    def.table = target.table;
    def.columns = {{"NODE", ColumnType::Integer}};
    def.projection = target.projection;
    std::unique_ptr<LayerWriter> writer = OpenLayerWriter(def, outcome.failures);
    if (!writer) return outcome;
    LayerRow row;
    const int32_t n = nodes.NodeCount();
    for (int32_t i = 0; i < n; ++i) {
        row.Clear();
        writer->WritePoint(nodes.NodeAt(i).pt, row.Int(i + 1));
        if ((i & 15) == 0) observer.Progress(i, n);
    }
    FinishLayer(*writer, outcome, observer);
    return outcome;
}

} // namespace zalor
