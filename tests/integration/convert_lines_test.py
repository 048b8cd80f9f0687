"""Line and node files of a synthetic county against the generator's ground
truth, in every output format: each file holds exactly the chains of its
classes, in table order, with the attribute columns of its output-field
boxes, the chain's coordinates (simplified only where the rules allow) and
node numbers that agree with the node file. Further runs: a narrow class
selection, precision 4 with a tolerance, and the Lambert projection.
"""
import math
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import convert_support as cs  # noqa: E402  (re-executes under /usr/bin/python3 when needed)
from convert_support import osr  # noqa: E402

CHECKS = cs.Checks("convert lines test")
BASE = "TGR08901"

# Line groups: suffix, class mask, selection boxes, and the output-field box
# of each column group (TLID, nodes, CFCC, NAME, NAME1, NAME2, address, ZIP,
# FIPS 55 MCD/CCD, FIPS 55 place); 0 = the group has no such box.
GROUPS = [
    ("A", 1, ["CbA%d" % n for n in range(1, 9)], [1, 10, 2, 3, 4, 5, 6, 7, 8, 9]),
    ("B", 2, ["CbB%d" % n for n in range(1, 7)], [11, 25, 12, 13, 14, 15, 0, 0, 16, 17]),
    ("C", 4, ["CbC%d" % n for n in range(4)], [48, 0, 49, 0, 0, 0, 0, 0, 0, 0]),
    ("DL", 8, ["CbZ%d" % n for n in range(10)], [27, 28, 28, 31, 32, 33, 0, 0, 29, 30]),
    ("E", 16, ["CbE%d" % n for n in range(3)], [34, 0, 35, 0, 0, 0, 0, 0, 0, 0]),
    ("F", 32, ["CbF%d" % n for n in range(9)], [36, 0, 37, 0, 0, 0, 0, 0, 0, 0]),
    ("H", 64, ["CbH%d" % n for n in range(9)], [0, 26, 18, 19, 20, 21, 0, 0, 22, 23]),
    ("X", 128, ["CbX0"], [0] * 10),
    ("ALL", 255, ["CbY0"], [38, 47, 39, 40, 41, 42, 43, 44, 45, 46]),
]
COLUMN_GROUPS = [["TLID"], ["FNODE", "TNODE"], ["CFCC"], ["NAME"], ["NAME1"], ["NAME2"],
                 ["FRADDL", "FRADDR", "TOADDL", "TOADDR"], ["ZIPL", "ZIPR"], ["FMCDL", "FMCDR"], ["FPLL", "FPLR"]]
INTEGER_COLUMNS = {"NUM", "TLID", "FNODE", "TNODE"}
EXTENSION = {"mif": ".MIF", "shp": ".SHP", "kxf": ".KXF"}


def all_boxes():
    boxes = {}
    for _, _, selection, fields in GROUPS:
        for key in selection:
            boxes[key] = 1
        for n in fields:
            if n:
                boxes["CbQ%02d" % n] = 1
    return boxes


def no_fields():
    """Every output-field box off (several are on by default)."""
    return {"CbQ%02d" % n: 0 for n in range(1, 50)}


def expected_columns(fields, boxes):
    columns = ["NUM"]
    for group, n in zip(COLUMN_GROUPS, fields):
        if n and int(boxes.get("CbQ%02d" % n, 0)):
            columns += group
    return columns


def chain_values(c):
    fti = lambda key: str(cs.field_to_int(c[key]))
    return {"TLID": c["tlid"], "CFCC": c["cfcc"], "NAME": c["name"], "NAME1": c["alt"][0], "NAME2": c["alt"][1],
            "FRADDL": fti("fraddl"), "FRADDR": fti("fraddr"), "TOADDL": fti("toaddl"), "TOADDR": fti("toaddr"),
            "ZIPL": fti("zipl"), "ZIPR": fti("zipr"), "FMCDL": fti("fmcdl"), "FMCDR": fti("fmcdr"),
            "FPLL": fti("fpll"), "FPLR": fti("fplr")}


def kxf_class(cfcc):
    return 10 * {"A": 1, "B": 2, "C": 3, "D": 4, "E": 5, "F": 6, "H": 7}.get(cfcc[0], 0) + ord(cfcc[1]) - 48


def reduced(points, digits):
    return [(cs.reduce_precision(x, digits), cs.reduce_precision(y, digits)) for x, y in points]


def check_line_file(run, fmt, group, truth, boxes, digits=6, tolerance=0):
    """One line file set (and its node file) against the truth; returns the
    written chains' features."""
    suffix, mask, _, fields = group
    name = BASE + suffix + EXTENSION[fmt]
    path = run.file(name)
    selection = cs.cfcc_selection(mask, boxes)
    if not selection:
        CHECKS.ok(path is None and not os.path.exists(os.path.join(run.out, name)),
                  "%s: no file for a class without a selected code" % name)
        return []
    if not CHECKS.ok(path is not None, lambda: "%s is in the output list %r" % (name, run.outputs)):
        return []
    layer = cs.read_layer(path)
    want_columns = expected_columns(fields, boxes)
    columns = layer.columns if fmt != "kxf" else cs.mtd_columns(path[:-4] + ".MTD")
    CHECKS.equal(columns, want_columns, "%s columns" % name)
    chains = [c for c in truth["chains"] if mask == 255 or c["cfcc"] in selection]
    feats = layer.features
    if not CHECKS.equal(len(feats), len(chains), "%s feature count" % name):
        return feats
    nodes = {}
    with_nodes = "FNODE" in want_columns
    for number, (f, c) in enumerate(zip(feats, chains), start=1):
        what = lambda: "%s chain %d (TLID %d)" % (name, number, c["tlid"])
        CHECKS.equal(f.fields.get("NUM"), number, lambda: what() + " NUM")
        values = chain_values(c)
        for col in want_columns[1:]:
            if col in ("FNODE", "TNODE"):
                continue
            # Every format holds the texts whole, a DBF too.
            CHECKS.equal(f.fields.get(col), values[col], lambda: "%s %s" % (what(), col))
        full = reduced(cs.chain_points(c), digits)
        if CHECKS.equal(len(f.parts), 1, lambda: what() + " parts"):
            cs.check_simplified(CHECKS, f.parts[0], full, tolerance, what())
        if with_nodes:
            for end, col in ((full[0], "FNODE"), (full[-1], "TNODE")):
                if end not in nodes:
                    nodes[end] = len(nodes) + 1
                CHECKS.equal(f.fields.get(col), nodes[end], lambda: "%s %s" % (what(), col))
        if fmt == "kxf":
            CHECKS.equal(f.meta, {"record": number, "class": kxf_class(c["cfcc"]), "kind": "line"},
                         lambda: what() + " KXF record")
    if fmt == "kxf":
        e = truth["extent"]
        box = [e["minLon"], e["minLat"], e["maxLon"], e["maxLat"]]
        CHECKS.equal(layer.header, {"records": len(chains), "box": [cs.reduce_precision(v, digits) for v in box]},
                     "%s header: record count and the county's limits" % name)
    node_name = BASE + suffix + "N" + EXTENSION[fmt]
    if with_nodes and fmt != "kxf":
        check_node_file(run, node_name, nodes)
    else:
        CHECKS.ok(run.file(node_name) is None and not os.path.exists(os.path.join(run.out, node_name)),
                  "%s: no node file" % node_name)
    return feats


def check_node_file(run, name, nodes):
    path = run.file(name)
    if not CHECKS.ok(path is not None, "%s is in the output list" % name):
        return
    layer = cs.read_layer(path)
    CHECKS.equal(layer.columns, ["NODE"], "%s columns" % name)
    by_number = sorted((n, pt) for pt, n in nodes.items())
    got = [(f.fields.get("NODE"), f.parts[0][0] if f.parts and f.parts[0] else None) for f in layer.features]
    if not CHECKS.equal(len(got), len(by_number), "%s node count" % name):
        return
    for g, w in zip(got, by_number):
        if not CHECKS.equal(g, w, "%s node %d (number, point)" % (name, w[0])):
            break


def convert(county, tmp, label, fmt, boxes):
    out = os.path.join(tmp, label)
    log = os.path.join(tmp, label + ".log")
    conv = cs.convert([county], out, fmt, boxes, log=log)
    CHECKS.equal(conv.returncode, 0, lambda: "%s: exit status (%s)" % (label, conv.stderr.strip()))
    return conv


def test_all_groups(county, tmp, truth):
    """Every group with all its boxes and all output-field boxes, in each
    format; the same chains and attributes in all three."""
    boxes = all_boxes()
    for fmt in ("mif", "shp", "kxf"):
        run = convert(county, tmp, "all_" + fmt, fmt, boxes)
        for group in GROUPS:
            check_line_file(run, fmt, group, truth, boxes)
        saving = [line for line in run.log if line.startswith("Saving ...")]
        CHECKS.equal(len(saving), len(GROUPS), "%s: one \"Saving ...\" log line per file" % fmt)


def test_narrow_selection(county, tmp, truth):
    """A few selection boxes and no output-field box except the landmark
    line CFCC box: the forced codes of the all-chains file, an empty B file,
    single-code C and F files, no files for the unchecked groups."""
    boxes = no_fields()
    boxes.update({"CbA1": 1, "CbA7": 1, "CbB1": 1, "CbC2": 1, "CbF8": 1, "CbZ8": 1, "CbY0": 1, "CbQ28": 1})
    run = convert(county, tmp, "narrow", "mif", boxes)
    written = {}
    for group in GROUPS:
        feats = check_line_file(run, "mif", group, truth, boxes)
        written[group[0]] = feats
    cfccs = lambda mask: sorted({c["cfcc"] for c in truth["chains"] if c["cfcc"] in cs.cfcc_selection(mask, boxes)})
    CHECKS.ok(all(c[:2] in ("A1", "P1", "A7", "P7") for c in cfccs(1)) and cfccs(1),
              "A file: A1x, P1x, A7x and P7x chains only, got %r" % cfccs(1))
    CHECKS.equal(cfccs(4), ["C20"] if "C20" in truth["cfcc"] else [], "C file codes")
    CHECKS.equal(len(written["B"]), sum(n for k, n in truth["cfcc"].items() if k in ("B01", "B02", "B03")),
                 "B file: only B01-B03 chains")
    CHECKS.equal(len(written["ALL"]), len(truth["chains"]), "the all-chains file holds every chain")
    saving = [line for line in run.log if line.startswith("Saving ...")]
    CHECKS.equal(len(saving), 6, "\"Saving ...\" for A, B, C, DL, F and ALL only")


def test_precision_and_tolerance(county, tmp, truth):
    """Precision 4 cuts every coordinate toward zero to 4 decimals, which
    makes repeated and collinear shape points: with tolerance 0 exactly
    those go; with a tolerance of 150 micro-degrees the shape points dropped
    lie within it."""
    for tolerance in (0, 150):
        boxes = no_fields()
        boxes.update({"CbY0": 1, "CbA1": 1, "CbQ38": 1, "CbQ47": 1, "DIG": 4, "TOL": tolerance})
        run = convert(county, tmp, "precision4_tol%d" % tolerance, "mif", boxes)
        feats = check_line_file(run, "mif", GROUPS[-1], truth, boxes, digits=4, tolerance=tolerance)
        CHECKS.ok(feats and all(x % 100 == 0 and y % 100 == 0 for f in feats for part in f.parts for x, y in part),
                  "every coordinate has at most 4 decimals")
        with open(run.file(BASE + "ALL.MIF"), "rb") as f:
            lines = f.read().decode("latin-1").split("\r\n")
        coords = [line for line in lines if line[:1] == "-" and " " in line]
        CHECKS.ok(coords and all(len(v.split(".")[1]) == 6 and v.endswith("00") for line in coords
                                 for v in line.split()),
                  "MIF coordinates keep six decimals, the last two zero")
        dropped = sum(len(c["shapes"]) + 2 for c in truth["chains"]) - sum(len(f.parts[0]) for f in feats if f.parts)
        CHECKS.ok(dropped > 0, "tolerance %d: shape points dropped (%d)" % (tolerance, dropped))


def test_lambert(county, tmp, truth):
    """With the Lambert projection the MIF line, node and landmark point files
    carry metres in the projection they declare; area files stay in degrees."""
    boxes = no_fields()
    boxes.update({"CbY0": 1, "CbA1": 1, "CbQ47": 1, "RbP1": 1, "CbP0": 1, "CbP1": 1, "CbP3": 1, "CbP4": 1,
             "CbP5": 1, "CbP7": 1, "CbP8": 1, "CbAr1": 1})
    run = convert(county, tmp, "lambert", "mif", boxes)
    path = run.file(BASE + "ALL.MIF")
    if not CHECKS.ok(path is not None, "Lambert run wrote the all-chains file"):
        return
    layer = cs.read_layer(path, degrees=False)
    srs = layer.srs
    CHECKS.ok(srs is not None and srs.IsProjected(), "projected MIF declares a projection")
    if srs is None or not srs.IsProjected():
        return
    CHECKS.equal(srs.GetAttrValue("PROJECTION"), "Lambert_Azimuthal_Equal_Area", "projection")
    CHECKS.equal((srs.GetProjParm("latitude_of_center"), srs.GetProjParm("longitude_of_center")), (45.0, -100.0),
                 "projection centre")
    CHECKS.ok(srs.GetAttrValue("DATUM") == "North_American_Datum_1983" and srs.GetSemiMajor() == 6378137
              and abs(srs.GetInvFlattening() - 298.257222101) < 1e-9,
              "projection of NAD83 on its ellipsoid, GRS 80")
    # Taken back to NAD83 the metres give the TIGER longitudes and latitudes.
    nad83 = osr.SpatialReference()
    nad83.ImportFromEPSG(4269)
    for s in (nad83, srs):
        s.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    back = osr.CoordinateTransformation(srs, nad83)

    def near(got, pt):
        lon, lat, _ = back.TransformPoint(got[0], got[1])
        dx = math.radians(lon - pt[0] * 1e-6) * math.cos(math.radians(lat)) * 6371000
        dy = math.radians(lat - pt[1] * 1e-6) * 6371000
        return math.hypot(dx, dy) < 0.03

    def project(pt):
        return osr.CoordinateTransformation(nad83, srs).TransformPoint(pt[0] * 1e-6, pt[1] * 1e-6)[:2]

    chains = truth["chains"]
    if CHECKS.equal(len(layer.features), len(chains), "projected chain count"):
        for f, c in zip(layer.features, chains):
            pts = f.parts[0]
            CHECKS.ok(near(pts[0], c["from"]) and near(pts[-1], c["to"]),
                      lambda: "projected ends of %d: %r %r, want %r %r" % (c["tlid"], pts[0], pts[-1],
                                                                          project(c["from"]), project(c["to"])))
    nodes = cs.read_layer(run.file(BASE + "ALLN.MIF"), degrees=False)
    CHECKS.ok(nodes.srs is not None and nodes.srs.IsSame(srs), "node file declares the projection")
    ends = {}
    for c in chains:
        for pt in (tuple(c["from"]), tuple(c["to"])):
            ends.setdefault(pt, len(ends) + 1)
    order = sorted(ends, key=ends.get)
    if CHECKS.equal(len(nodes.features), len(order), "projected node count"):
        for f, pt in zip(nodes.features, order):
            CHECKS.ok(near(f.parts[0][0], pt), lambda: "projected node %d" % ends[pt])
    points = cs.read_layer(run.file(BASE + "DP.MIF"), degrees=False)
    CHECKS.ok(points.srs is not None and points.srs.IsSame(srs), "landmark point file declares the projection")
    selection = cs.cfcc_selection(512, boxes)
    marks = [m for m in truth["landmarks"] if m["located"] and m["lon"] and m["lat"] and m["cfcc"] in selection]
    if CHECKS.equal(len(points.features), len(marks), "projected landmark points"):
        for f, m in zip(points.features, marks):
            CHECKS.ok(near(f.parts[0][0], (m["lon"], m["lat"])) and f.fields["LAND"] == m["land"],
                      "projected landmark %d" % m["land"])
    area = cs.read_layer(run.file(BASE + "CNTY.MIF"))
    CHECKS.ok(area.srs is not None and area.srs.IsGeographic(), "area file stays geographic")
    e = truth["extent"]
    CHECKS.ok(area.features and all(e["minLon"] <= x <= e["maxLon"] and e["minLat"] <= y <= e["maxLat"]
                                    for part in area.features[0].parts for x, y in part),
              "area file coordinates in degrees")


def main():
    with tempfile.TemporaryDirectory() as tmp:
        gen = os.path.join(tmp, "gen")
        truth = cs.make_county(gen, chains=3000, seed=23, archive=True)
        CHECKS.ok(truth["chainsListed"], "the truth lists every chain")
        county = os.path.join(gen, BASE + ".ZIP")
        test_all_groups(county, tmp, truth)
        test_narrow_selection(county, tmp, truth)
        test_precision_and_tolerance(county, tmp, truth)
        test_lambert(county, tmp, truth)
    CHECKS.finish()


if __name__ == "__main__":
    main()
