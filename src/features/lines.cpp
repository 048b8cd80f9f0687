// Line and node feature output: one layer per line group, in the output
// format of the run, with a node layer when asked.
#include "features/lines.h"

#include "features/line_columns.h"

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
    LayerDefinition def =
        request.target.Definition(LayerGeometry::Line, LineColumns(request.columnGroups, *request.target.format));
    const CountyExtent& e = county.extent;
    AreaBox box;
    box.minX = e.minX;
    box.maxY = e.maxY;
    box.maxX = e.maxX;
    box.minY = e.minY;
    def.extent = box;
    std::unique_ptr<LayerWriter> writer = request.target.Open(def, outcome.failures);
    if (!writer) return outcome;

    const bool withNodes = (request.columnGroups & kColNodes) != 0;
    const ChainTable& chains = county.chains;
    const int32_t count = chains.count();
    Row row;
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
        BuildAttributeRow(row, county, c, number, request.columnGroups, fnode, tnode,
                          request.target.format->addressTexts);
        ChainPoints(chains, c, points);
        if (!writer->WriteLine(points, c.Cfcc(), row)) {
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
    std::unique_ptr<LayerWriter> writer =
        target.Open(target.Definition(LayerGeometry::Point, {{"NODE", ColumnType::Integer}}), outcome.failures);
    if (!writer) return outcome;
    Row row;
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
