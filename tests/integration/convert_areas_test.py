"""Area, landmark and point layers of a synthetic county against the
generator's ground truth, in every output format, without and with the
exclude-water boxes.

For every key of every layer the feature's rings, read with the even-odd
rule, must cover exactly the union of the key's polygons (built from the
chains that have them on a side), water polygons removed under exclude
water; keys without polygons give no feature. Names, key texts, numbering,
ring orientation (outer rings clockwise, holes counter-clockwise) and
centroids are checked, and every file on disk must come from an entry of
the output list the CLI prints, none listed twice.
"""
import os
import sys
import tempfile
from collections import defaultdict

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import convert_support as cs  # noqa: E402  (re-executes under /usr/bin/python3 when needed)
from convert_support import ogr  # noqa: E402

CHECKS = cs.Checks("convert areas test")
BASE = "TGR08901"
EXTENSION = {"mif": ".MIF", "shp": ".SHP", "kxf": ".KXF"}

# Area boxes and their layers; the current-year boxes 16-18 are disabled.
CURRENT = {1: "CNTY", 2: "FMCD", 3: "FSMCD", 4: "FPL", 5: "CMSAMSA", 6: "PMSA", 7: "FCCITY", 8: "FAIR", 9: "AIR",
           10: "TRUST", 11: "ANRC", 12: "CTBNA00", 13: "BLK00", 14: "BGP00", 15: "CDCU", 16: "STSENATE",
           17: "STHOUSE", 18: "VTD00", 19: "POLYID", 21: "ZCTA5", 22: "CBSA", 23: "CSA", 24: "METDIV", 25: "SLDU",
           26: "SLDL"}
DISABLED = {16, 17, 18}
Y1990 = {2: "FAIR90", 3: "FMCD90", 4: "FPL90", 5: "CTBNA90", 6: "BLK90", 7: "AIR90"}
ENTITIES = {1: "CD106", 2: "CD108", 3: "SDELM", 4: "SDSEC", 5: "SDUNI", 6: "TAZ", 7: "UA", 8: "URBFLAG", 9: "CTPP"}
# KXF entity codes of the current-year layers.
KIND = {"CNTY": 3, "FMCD": 4, "CTBNA00": 5, "BLK00": 6, "BGP00": 7}
# Layers named from the entity names (RTC) and the entity type they look up.
ENTITY_TYPE = {"CNTY": "C", "FMCD": "M", "FPL": "P", "CMSAMSA": "A", "PMSA": "A", "SDUNI": "3", "SDSEC": "4",
               "SDELM": "5", "UA": "U", "FAIR": "F", "VTD00": "V"}
AREA_AREA_TOLERANCE = 0.25  # square micro-degrees; a misplaced vertex costs at least 0.5


def every_box():
    boxes = {"CbW1": 1, "CbW2": 1}
    boxes.update({"CbCn%d" % n: 1 for n in range(1, 6)})
    boxes.update({"CbD%d" % n: 1 for n in range(10)})
    boxes.update({"CbP%d" % n: 1 for n in range(10)})
    boxes.update({"CbH%d" % n: 1 for n in range(9)})
    boxes.update({"CbAr%d" % n: 1 for n in CURRENT})  # the disabled ones as well
    boxes.update({"CbAs%d" % n: 1 for n in Y1990})
    boxes.update({"CbAt%d" % n: 1 for n in ENTITIES})
    return boxes


# --- expected layers ------------------------------------------------------------

class Expected:
    def __init__(self, name, keys, flags, centroid, kind=0, column=None, letters=False, zcta=False, whole=False):
        self.name = name            # layer name: file suffix and key column
        self.column = column or name
        self.keys = keys            # key -> (set of polygons, cfcc, name)
        self.cfcc = "CFCC" in flags
        self.centroid = centroid
        self.kind = kind
        self.letters = letters
        self.zcta = zcta
        self.whole = whole          # keys of two fields (tract and block): texts

    def key_text(self, key, fmt):
        if self.whole:
            return key
        if self.zcta and fmt == "mif":
            return cs.decode_zcta_key(key)
        return cs.decode_area_key(key, self.letters)


def entity_names(truth):
    names = {}
    for e in truth["entities"]:
        names.setdefault((e["type"], cs.field_to_int(e["code"])), e["name"])
        if e["type"] == "I" and e["fips"]:
            names.setdefault(("F", cs.field_to_int(e["fips"])), e["name"])
    return names


def expected_layers(truth, boxes, exclude):
    """The layers the boxes select that the county's release can supply
    (the truth's absentLayers are not written)."""
    on = lambda key: bool(int(boxes.get(key, 0)))
    absent = truth.get("absentLayers", {})
    water = {p["polyid"] for p in truth["polygons"] if p["water"] != "0"}
    names = entity_names(truth)
    layers = []

    def landmark_layer(name, entries, mask, ident, centroid, kind, column=None):
        sel = cs.cfcc_selection(mask, boxes)
        keys = {e[ident]: (set(e["polygons"]), e["cfcc"], e["name"]) for e in entries if e["cfcc"] in sel}
        layers.append(Expected(name, keys, ("CFCC", "NAME"), centroid, kind, column))

    if on("CbW1") and "W" not in absent:
        keys = {}
        for text, ids in truth["layers"]["W"]["keys"].items():
            if cs.encode_area_key(text):
                for p in ids:
                    keys[p] = ({p}, "", "")
        layers.append(Expected("W", keys, ("NAME",), on("CbCn1"), 23))
    if on("CbW2"):
        landmark_layer("WLND", truth["landmarkAreas"], 2048, "land", on("CbCn1"), 23)
    if cs.cfcc_selection(1024, boxes) and "KGL" not in absent:
        landmark_layer("KGL", truth["keyLocations"], 1024, "feat", False, 0, "FEAT")
    if cs.cfcc_selection(1024, boxes):
        landmark_layer("D", truth["landmarkAreas"], 1024, "land", on("CbCn2"), 0)

    def census_layer(name, exclude_box, centroid_box, kind):
        if name in absent:
            return
        spec = truth["layers"][name]
        zcta = name == "ZCTA5"
        keys = {}
        letters = False
        whole = "prefixWidth" in spec  # a block's or block group's key holds its tract
        for text, ids in spec["keys"].items():
            if whole:
                key = text
            else:
                key = cs.encode_zcta_key(text) if zcta else cs.encode_area_key(text)
                letters = letters or (not zcta and cs.has_key_letter(text))
            polys = {p for p in ids if not (exclude and on(exclude_box) and p in water)}
            if key:
                keys.setdefault(key, (set(), "", ""))[0].update(polys)
        etype = ENTITY_TYPE.get(name)
        keys = {k: (v[0], "", names.get((etype, k), "") if etype else "") for k, v in keys.items()}
        if etype and truth["entities"]:  # the 1990 and 1992 files have no entity names
            CHECKS.ok(any(v[2] for v in keys.values()), "%s: the truth names some of its keys" % name)
        layers.append(Expected(name, keys, ("NAME",), on(centroid_box), kind, letters=letters, zcta=zcta,
                               whole=whole))

    for n, name in CURRENT.items():
        if on("CbAr%d" % n) and n not in DISABLED:
            census_layer(name, "CbAr20", "CbCn3", KIND.get(name, 0))
    for n, name in Y1990.items():
        if on("CbAs%d" % n):
            census_layer(name, "CbAs8", "CbCn4", 0)
    for n, name in ENTITIES.items():
        if on("CbAt%d" % n):
            census_layer(name, "CbAt10", "CbCn5", 0)
    return layers


# --- geometry --------------------------------------------------------------------

class Geometry:
    """Polygons of the truth in local coordinates: micro-degrees from the
    county's south-west corner, small enough for exact products."""

    def __init__(self, truth):
        e = truth["extent"]
        self.x0, self.y0 = e["minLon"], e["minLat"]
        edges = defaultdict(list)
        for c in truth["chains"]:
            left, right = c["polyLeft"], c["polyRight"]
            if left == right:
                continue
            pts = cs.chain_points(c)
            for p in (left, right):
                if p:
                    edges[p].append(pts)
        self.polygons = {}
        for p, lines in edges.items():
            coll = ogr.Geometry(ogr.wkbGeometryCollection)
            for pts in lines:
                coll.AddGeometry(self.line(pts))
            poly = ogr.BuildPolygonFromEdges(coll, 0, 0, 0)
            CHECKS.ok(poly is not None and poly.IsValid() and poly.GetArea() > 0,
                      "truth polygon %d builds from its chains" % p)
            self.polygons[p] = poly
        self.unions = {}

    def line(self, pts):
        g = ogr.Geometry(ogr.wkbLineString)
        for x, y in pts:
            g.AddPoint_2D(float(x - self.x0), float(y - self.y0))
        return g

    def union(self, polys):
        key = frozenset(polys)
        if key not in self.unions:
            multi = ogr.Geometry(ogr.wkbMultiPolygon)
            for p in sorted(polys):
                multi.AddGeometry(self.polygons[p])
            self.unions[key] = multi.UnionCascaded()
        return self.unions[key]

    def ring_polygon(self, ring):
        r = ogr.Geometry(ogr.wkbLinearRing)
        for x, y in ring:
            r.AddPoint_2D(float(x - self.x0), float(y - self.y0))
        poly = ogr.Geometry(ogr.wkbPolygon)
        poly.AddGeometry(r)
        return poly if poly.IsValid() else poly.MakeValid()

    def even_odd(self, rings):
        region = None
        for ring in rings:
            poly = self.ring_polygon(ring)
            region = poly if region is None else region.SymDifference(poly)
        return region

    def signed_area(self, ring):
        s = 0
        for (x1, y1), (x2, y2) in zip(ring, ring[1:]):
            s += (x1 - self.x0) * (y2 - self.y0) - (x2 - self.x0) * (y1 - self.y0)
        return s / 2


def check_feature_geometry(geo, polys, f, what, centroid):
    """The feature's rings against the union of the key's polygons, their
    orientation, and the centroid written (None when there is none)."""
    rings = f.parts
    if not CHECKS.ok(rings and all(len(r) >= 4 and r[0] == r[-1] for r in rings),
                     lambda: "%s: closed rings, got sizes %r" % (what, [(len(r), r[0] == r[-1]) for r in rings])):
        return
    region = geo.even_odd(rings)
    want = geo.union(polys)
    diff = region.SymDifference(want).GetArea()
    CHECKS.ok(diff <= AREA_AREA_TOLERANCE,
              lambda: "%s: rings differ from the key's %d polygons by %.3f square micro-degrees (area %.1f, want %.1f)"
              % (what, len(polys), diff, region.GetArea(), want.GetArea()))
    signed = sum(geo.signed_area(r) for r in rings)
    CHECKS.ok(abs(signed + region.GetArea()) <= AREA_AREA_TOLERANCE,
              lambda: "%s: ring orientation (outer clockwise, holes counter-clockwise): signed area %.1f, area %.1f"
              % (what, signed, region.GetArea()))
    if centroid is not None:
        c = region.Centroid()
        want_c = (c.GetX() + geo.x0, c.GetY() + geo.y0)
        CHECKS.ok(abs(centroid[0] - want_c[0]) <= 2 and abs(centroid[1] - want_c[1]) <= 2,
                  lambda: "%s: centroid %r, want %r" % (what, centroid, want_c))


def check_layer(run, fmt, layer, geo):
    name = BASE + layer.name + EXTENSION[fmt]
    path = run.file(name)
    if not CHECKS.ok(path is not None, lambda: "%s is in the output list" % name):
        return
    data = cs.read_layer(path)
    key_col = {"mif": layer.column, "shp": "SUF", "kxf": layer.column}[fmt]
    extra = (["CFCC"] if layer.cfcc else []) + ["NAME"]
    want_columns = {"mif": ["NUM", "Lon", "Lat", key_col], "shp": ["NUM", "SUF", "LON", "LAT"],
                    "kxf": ["NUM", key_col]}[fmt] + extra
    columns = data.columns if fmt != "kxf" else cs.mtd_columns(path[:-4] + ".MTD")
    CHECKS.equal(columns, want_columns, "%s columns" % name)
    keys = sorted(k for k, v in layer.keys.items() if v[0])
    feats = data.features
    if not CHECKS.equal([str(f.fields.get(key_col)) for f in feats], [layer.key_text(k, fmt) for k in keys],
                        "%s: one feature per key with polygons, in key order" % name):
        return
    first = 2 if fmt == "mif" else 1
    for number, (f, key) in enumerate(zip(feats, keys), start=first):
        polys, cfcc, label = layer.keys[key]
        what = "%s %s %s" % (name, key_col, layer.key_text(key, fmt))
        CHECKS.equal(f.fields.get("NUM"), number, what + " NUM")
        # Whole in every format, a DBF too.
        CHECKS.equal(f.fields.get("NAME"), label, what + " NAME")
        if layer.cfcc:
            CHECKS.equal(f.fields.get("CFCC"), cfcc, what + " CFCC")
        centroid = None
        if fmt == "mif":
            centroid = (cs.micro(f.fields["Lon"]), cs.micro(f.fields["Lat"]))
        elif fmt == "shp":
            centroid = (f.fields["LON"], f.fields["LAT"])
        else:
            CHECKS.equal(f.meta, {"record": number, "class": layer.kind, "kind": "area"}, what + " KXF record")
        check_feature_geometry(geo, polys, f, what, centroid)
    if fmt == "kxf":
        pts = [p for f in feats for r in f.parts for p in r]
        box = [min(p[0] for p in pts), min(p[1] for p in pts), max(p[0] for p in pts), max(p[1] for p in pts)] \
            if pts else data.header["box"]
        CHECKS.equal(data.header, {"records": len(feats), "box": box}, "%s header" % name)
    point_name = BASE + layer.name + "_P.MIF"
    if fmt == "mif" and layer.centroid:
        check_centroid_file(run, point_name, feats)
    else:
        CHECKS.ok(run.file(point_name) is None, "%s is not written" % point_name)


def check_centroid_file(run, name, feats):
    path = run.file(name)
    if not CHECKS.ok(path is not None, "%s is in the output list" % name):
        return
    points = cs.read_layer(path)
    rows = [(f.fields, [[(cs.micro(f.fields["Lon"]), cs.micro(f.fields["Lat"]))]]) for f in feats]
    CHECKS.equal([(p.fields, p.parts) for p in points.features], rows,
                 "%s: one point per feature at its centroid, with the layer's rows" % name)


def check_landmark_points(run, fmt, truth, boxes):
    name = BASE + "DP" + EXTENSION[fmt]
    selection = cs.cfcc_selection(512, boxes)
    if fmt == "kxf" or not selection:
        CHECKS.ok(run.file(name) is None, "%s is not written" % name)
        return
    path = run.file(name)
    if not CHECKS.ok(path is not None, "%s is in the output list" % name):
        return
    data = cs.read_layer(path)
    CHECKS.equal(data.columns, ["NUM", "LAND", "CFCC", "NAME"], "%s columns" % name)
    marks = [m for m in truth["landmarks"] if m["located"] and m["lon"] and m["lat"] and m["cfcc"] in selection]
    got = [(f.fields, f.parts) for f in data.features]
    want = [({"NUM": n, "LAND": m["land"], "CFCC": m["cfcc"], "NAME": m["name"]}, [[(m["lon"], m["lat"])]])
            for n, m in enumerate(marks, start=1)]
    CHECKS.equal(got, want, "%s: the located landmarks of the selected classes" % name)


def check_files_listed(run, label):
    """Every file on disk comes from one entry of the output list, and no
    entry is listed twice (a second entry would mean a file overwritten)."""
    outputs = run.outputs
    CHECKS.equal(len(outputs), len(set(outputs)), "%s: no output listed twice" % label)
    want = set()
    for path in outputs:
        want.update(os.path.basename(p) for p in cs.companions(path))
    on_disk = set(os.listdir(run.out))
    CHECKS.equal(sorted(on_disk - want), [], "%s: files on disk without an output-list entry" % label)
    CHECKS.equal(sorted(want - on_disk), [], "%s: listed files missing on disk" % label)


def convert(county, tmp, label, fmt, boxes):
    out = os.path.join(tmp, label)
    conv = cs.convert([county], out, fmt, boxes)
    CHECKS.equal(conv.returncode, 0, lambda: "%s: exit status (%s)" % (label, conv.stderr.strip()))
    return conv


def main():
    with tempfile.TemporaryDirectory() as tmp:
        gen = os.path.join(tmp, "gen")
        truth = cs.make_county(gen, chains=3000, seed=5, archive=True)
        county = os.path.join(gen, BASE + ".ZIP")
        geo = Geometry(truth)
        water = {p["polyid"] for p in truth["polygons"] if p["water"] != "0"}
        CHECKS.ok(water, "the county has water polygons")

        # Every layer, every centroid box, and the line files as well.
        boxes = every_box()
        boxes.update({"CbA%d" % n: 1 for n in range(1, 9)})
        boxes.update({"CbY0": 1, "CbQ10": 1, "CbQ47": 1, "CbQ26": 1, "CbX0": 1, "CbZ1": 1})
        # Exclude water, a few landmark classes only.
        narrow = every_box()
        narrow.update({"CbAr20": 1, "CbAs8": 1, "CbAt10": 1, "CbD10": 1})
        narrow.update({"CbD%d" % n: 0 for n in range(10)})
        narrow.update({"CbD4": 1, "CbD5": 1, "CbD8": 1})
        narrow.update({"CbP%d" % n: 0 for n in range(10)})
        narrow.update({"CbP4": 1, "CbP7": 1})
        for label, settings, exclude in (("all", boxes, False), ("exclude", narrow, True)):
            layers = expected_layers(truth, settings, exclude)
            CHECKS.ok(any(not v[0] for layer in layers for v in layer.keys.values()) == exclude,
                      "%s: keys whose polygons are all water only under exclude water" % label)
            for fmt in ("mif", "shp", "kxf"):
                run = convert(county, tmp, "%s_%s" % (label, fmt), fmt, settings)
                for layer in layers:
                    check_layer(run, fmt, layer, geo)
                check_landmark_points(run, fmt, truth, settings)
                for n in DISABLED:
                    CHECKS.ok(run.file(BASE + CURRENT[n] + EXTENSION[fmt]) is None,
                              "disabled box CbAr%d writes nothing" % n)
                check_files_listed(run, "%s_%s" % (label, fmt))
    CHECKS.finish()


if __name__ == "__main__":
    main()
