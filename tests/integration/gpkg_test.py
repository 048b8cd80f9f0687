"""GeoPackage output: a county converted with every layer into TGRssccc.gpkg
holds, read back with GDAL, the same features in the same order with the
same values and geometries as the shapefiles of the same settings, table
by table (the same texts, integers where the DBF holds texts, ZCTA keys as
their codes); the file is a valid GeoPackage with its
coordinate systems and an R-tree per table that finds what a full scan
finds, and a small county's file is at most 1.3 times its shapefiles.
Existing files: skipped tables stay, overwritten ones are replaced and the
others kept; a write failure fails the county and leaves no GeoPackage.
"""
import os
import random
import resource
import signal
import sqlite3
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from convert_support import Checks, binary, check_no_grid_to_nad83, convert, decode_zcta_key, make_county, ogr, osr  # noqa: E402

SOURCE = os.environ.get("ZALOR_SRC", os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
SAMPLE = os.path.join(SOURCE, "samples", "TGR08901.ZIP")
CONFIG = os.path.join(SOURCE, "samples", "SAMPLE.CFG")
TOLERANCE = 1e-9  # degrees


def run(inputs, out, fmt, boxes=(), extra=(), limit=None):
    args = [binary("zalor-cli"), "-c", CONFIG, "-f", fmt, "-o", out, "--set", "RbD0=1"]
    for kv in boxes:
        args += ["--set", kv]
    args += list(extra) + list(inputs)

    def limited():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, resource.RLIM_INFINITY))

    return subprocess.run(args, capture_output=True, text=True, errors="replace",
                          preexec_fn=limited if limit else None)


def geometry_parts(geom):
    """Polygons as lists of rings, lines and points as one part."""
    if geom is None:
        return []
    flat = ogr.GT_Flatten(geom.GetGeometryType())
    if flat == ogr.wkbPolygon:
        return [[geom.GetGeometryRef(i).GetPoints() for i in range(geom.GetGeometryCount())]]
    if flat == ogr.wkbMultiPolygon:
        return [p for i in range(geom.GetGeometryCount()) for p in geometry_parts(geom.GetGeometryRef(i))]
    return [[geom.GetPoints()]]


def signed_area(ring):
    return sum(x0 * y1 - x1 * y0 for (x0, y0, *_), (x1, y1, *_) in zip(ring, ring[1:]))


def close(a, b):
    return len(a) == len(b) and all(abs(p[0] - q[0]) <= TOLERANCE and abs(p[1] - q[1]) <= TOLERANCE
                                    for p, q in zip(a, b))


def compare_geometry(checks, shp, gpkg, areas, what):
    want, got = geometry_parts(shp), geometry_parts(gpkg)
    if not checks.equal(len(got), len(want), what + ": polygons"):
        return
    for k, (wp, gp) in enumerate(zip(want, got)):
        if not checks.equal(len(gp), len(wp), "%s: rings of part %d" % (what, k)):
            return
        for r, (wr, gr) in enumerate(zip(wp, gp)):
            if areas:
                # the shapefile's outer rings run clockwise, the GeoPackage's counter-clockwise
                area = signed_area(gr)
                checks.ok(area == 0 or (area > 0) == (r == 0),
                          lambda: "%s: ring %d of part %d runs the wrong way" % (what, r, k))
                gr = gr[::-1]
            if not checks.ok(close(gr, wr), lambda: "%s: ring %d of part %d differs" % (what, r, k)):
                return


ADDRESS_COLUMNS = ("FRADDL", "FRADDR", "TOADDL", "TOADDR")


def address_text(code):
    """The text of an address the other formats hold as a code (the manual's decoder)."""
    v, text = code & 0x7FFFFFFF, ""
    while v:
        v, d = divmod(v, 38)
        text = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-"[d] + text
    return text


def compare_values(checks, name, shp_defn, shp_values, gpkg_values, layer, what):
    """shp_values and gpkg_values: column -> value."""
    for column, want in shp_values.items():
        gcol = ("FEAT" if layer == "KGL" else layer) if column == "SUF" else column
        got = gpkg_values.get(gcol)
        kind = shp_defn[column]
        if want is None and kind[0] == ogr.OFTString:
            want = ""
        if column == "SUF" and layer == "ZCTA5":
            checks.equal(got, decode_zcta_key(want), "%s %s" % (what, gcol))
        elif column in ADDRESS_COLUMNS:
            # the record's text in the GeoPackage (null when blank), its number in the shapefile
            number = int(want)
            checks.ok((got is None and number == 0) or
                      got == (str(number) if got is not None and got.isdigit() else address_text(number)),
                      lambda: "%s %s: got %r, shapefile has %r" % (what, gcol, got, want))
        elif column in ("LON", "LAT"):
            checks.ok(isinstance(got, float) and round(got * 1e6) == want,
                      lambda: "%s %s: got %r for %r micro-degrees" % (what, gcol, got, want))
        elif kind[0] == ogr.OFTString and isinstance(got, int):
            checks.equal(str(got), want.strip(), "%s %s" % (what, gcol))
        elif kind[0] == ogr.OFTString:
            # the DBF's columns hold the longest texts: nothing is cut
            checks.ok(got is not None and got.rstrip() == want.rstrip(),
                      lambda: "%s %s: got %r, shapefile has %r" % (what, gcol, got, want))
        else:
            checks.equal(got, want, "%s %s" % (what, gcol))


def compare_county(checks, shp_dir, gpkg_path, base, projected=False, epsg=4269):
    """The GeoPackage's tables against the shapefiles of the same run; the
    degrees tables on the datum of EPSG code epsg."""
    ds = ogr.Open(gpkg_path)
    tables = {ds.GetLayer(i).GetName(): ds.GetLayer(i) for i in range(ds.GetLayerCount())}
    shapefiles = sorted(f for f in os.listdir(shp_dir) if f.upper().endswith(".SHP"))
    checks.ok(len(shapefiles) > 30, "%d shapefiles written" % len(shapefiles))
    checks.equal(sorted(tables), sorted(f[len(base):-4] for f in shapefiles), "tables of " + gpkg_path)
    wgs = osr.SpatialReference()
    wgs.ImportFromEPSG(4269)
    wgs.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    for f in shapefiles:
        name = f[len(base):-4]
        table = tables.get(name)
        if table is None:
            continue
        shp_ds = ogr.Open(os.path.join(shp_dir, f))
        shp = shp_ds.GetLayer(0)
        sdefn = shp.GetLayerDefn()
        shp_defn = {sdefn.GetFieldDefn(k).GetName(): (sdefn.GetFieldDefn(k).GetType(), sdefn.GetFieldDefn(k).GetWidth())
                    for k in range(sdefn.GetFieldCount())}
        areas = ogr.GT_Flatten(shp.GetGeomType()) == ogr.wkbPolygon
        srs = table.GetSpatialRef()
        transform = None
        if projected and not areas:
            checks.ok(srs.IsProjected() and "Lambert_Azimuthal_Equal_Area" in srs.ExportToWkt(),
                      lambda: "%s: %s" % (name, srs.ExportToWkt()))
            if name == "A":
                check_no_grid_to_nad83(checks, srs, "%s: %s" % (gpkg_path, name))
            srs.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
            transform = osr.CoordinateTransformation(srs, wgs)
        else:
            checks.equal(srs.GetAuthorityCode(None), str(epsg), name + ": coordinate system")
        checks.equal(table.GetFeatureCount(), shp.GetFeatureCount(), name + ": features")
        table.ResetReading()
        for n, (s, g) in enumerate(zip(shp, table)):
            what = "%s feature %d" % (name, n + 1)
            checks.equal(g.GetFID(), n + 1, what + " fid")
            geom = g.GetGeometryRef()
            if transform:
                geom = geom.Clone()
                geom.Transform(transform)
            compare_geometry(checks, s.GetGeometryRef(), geom, areas, what)
            compare_values(checks, name, shp_defn, {k: s.GetField(k) for k in shp_defn},
                           {table.GetLayerDefn().GetFieldDefn(k).GetName(): g.GetField(k)
                            for k in range(g.GetFieldCount())}, name, what)
        check_index(checks, table, name)


def check_index(checks, table, name):
    """A spatial filter through the R-tree finds what a scan of every feature's box finds."""
    boxes = {}
    table.SetSpatialFilter(None)
    table.ResetReading()
    for f in table:
        boxes[f.GetFID()] = f.GetGeometryRef().GetEnvelope()
    if not boxes:
        return
    x0 = min(b[0] for b in boxes.values())
    x1 = max(b[1] for b in boxes.values())
    y0 = min(b[2] for b in boxes.values())
    y1 = max(b[3] for b in boxes.values())
    rnd = random.Random(name)
    for _ in range(3):
        ax, bx = sorted(rnd.uniform(x0, x1) for _ in range(2))
        ay, by = sorted(rnd.uniform(y0, y1) for _ in range(2))
        table.SetSpatialFilterRect(ax, ay, bx, by)
        table.ResetReading()
        found = {f.GetFID() for f in table}
        # GDAL keeps what its R-tree gives only when the geometry meets the window:
        # the index must give at least every feature whose box meets it.
        meets = {fid for fid, b in boxes.items() if b[0] <= bx and b[1] >= ax and b[2] <= by and b[3] >= ay}
        checks.ok(found <= meets and (not meets or found), lambda: "%s: spatial filter found %d of %d"
                  % (name, len(found), len(meets)))
    table.SetSpatialFilter(None)


def check_structure(checks, path):
    """The GeoPackage tables and the R-trees, read without GDAL."""
    db = sqlite3.connect(path)
    checks.equal(db.execute("PRAGMA application_id").fetchone()[0], 0x47504B47, "application id")
    checks.equal(db.execute("PRAGMA integrity_check").fetchone()[0], "ok", "integrity")
    tables = [r[0] for r in db.execute("SELECT table_name FROM gpkg_contents WHERE data_type = 'features'")]
    checks.ok(tables, "gpkg_contents lists the tables")
    srs = {r[0] for r in db.execute("SELECT srs_id FROM gpkg_spatial_ref_sys")}
    checks.ok(4269 in srs, "gpkg_spatial_ref_sys holds NAD83")
    indexed = {r[0] for r in db.execute(
        "SELECT table_name FROM gpkg_extensions WHERE extension_name = 'gpkg_rtree_index'")}
    for t in tables:
        checks.ok(t in indexed, "%s: R-tree extension registered" % t)
        rtree = "rtree_%s_geom" % t
        checks.equal(db.execute("SELECT rtreecheck(?)", (rtree,)).fetchone()[0], "ok", rtree)
        rows, entries = (db.execute('SELECT count(*) FROM "%s"' % t).fetchone()[0],
                         db.execute('SELECT count(*) FROM "%s"' % rtree).fetchone()[0])
        checks.equal(entries, rows, rtree + " entries")
        triggers = db.execute("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ? AND "
                              "name LIKE 'rtree%'", (t,)).fetchone()[0]
        checks.ok(triggers >= 6, "%s: %d R-tree triggers" % (t, triggers))
        # The rows go in past GDAL: the count, the extent and GDAL's count
        # triggers must be as GDAL would have left them.
        counted = db.execute("SELECT feature_count FROM gpkg_ogr_contents WHERE table_name = ?", (t,)).fetchone()
        checks.equal(counted and counted[0], rows, t + ": gpkg_ogr_contents feature_count")
        count_triggers = db.execute("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ? AND "
                                    "name LIKE 'trigger_%_feature_count_%'", (t,)).fetchone()[0]
        checks.equal(count_triggers, 2, t + ": feature count triggers")
        if rows:
            box = db.execute("SELECT min_x, min_y, max_x, max_y FROM gpkg_contents WHERE table_name = ?",
                             (t,)).fetchone()
            # the R-tree holds the boxes in single precision
            tree = db.execute('SELECT min(minx), min(miny), max(maxx), max(maxy) FROM "%s"' % rtree).fetchone()
            checks.ok(None not in box and all(abs(a - b) <= 1e-4 + 1e-6 * abs(b) for a, b in zip(box, tree)),
                      lambda: "%s: extent %s, R-tree %s" % (t, box, tree))
    db.close()
    p = subprocess.run(["ogrinfo", "-ro", "-q", path], capture_output=True, text=True)
    checks.ok(p.returncode == 0 and "ERROR" not in p.stderr and "Warning" not in p.stderr,
              lambda: "ogrinfo: %s" % p.stderr.strip())


def same_run(checks, inputs, base, work, boxes=(), projected=False):
    shp = os.path.join(work, "shp")
    gpkg = os.path.join(work, "gpkg")
    for fmt, out in (("shp", shp), ("gpkg", gpkg)):
        p = run(inputs, out, fmt, boxes)
        checks.equal(p.returncode, 0, "%s %s: %s" % (fmt, base, p.stderr.strip()))
    path = os.path.join(gpkg, base + ".gpkg")
    checks.equal(sorted(os.listdir(gpkg)), [base + ".gpkg"], "the GeoPackage is the only file")
    if os.path.exists(path):
        check_structure(checks, path)
        compare_county(checks, shp, path, base, projected)
        if not projected:
            check_size(checks, shp, path)


def check_size(checks, shp_dir, path):
    """A small county's GeoPackage is not much larger than its shapefiles:
    its tables do not take whole large pages each."""
    shapefiles = sum(os.path.getsize(os.path.join(shp_dir, f)) for f in os.listdir(shp_dir))
    size = os.path.getsize(path)
    print("%s: %d bytes, %.2f times the shapefiles' %d" % (os.path.basename(path), size, size / shapefiles, shapefiles))
    checks.ok(size <= 1.3 * shapefiles, "%s: %d bytes, %.2f times the shapefiles' %d bytes"
              % (path, size, size / shapefiles, shapefiles))
    with sqlite3.connect(path) as db:
        checks.equal(db.execute("PRAGMA page_size").fetchone()[0], 4096, path + ": page size")


def table_columns(path, table):
    ds = ogr.Open(path)
    layer = ds.GetLayerByName(table)
    if layer is None:
        return None
    d = layer.GetLayerDefn()
    return [d.GetFieldDefn(k).GetName() for k in range(d.GetFieldCount())]


def existing_files(checks, work):
    out = os.path.join(work, "exist")
    path = os.path.join(out, "TGR08901.gpkg")
    roads = ["--lines", "A", "--areas", "CTBNA00", "--fields", "id"]
    p = run([SAMPLE], out, "gpkg", extra=roads)
    checks.equal(p.returncode, 0, "first run: " + p.stderr)
    checks.equal(table_columns(path, "A"), ["NUM", "TLID"], "columns of A")

    # Skipped: A and CTBNA00 are there, B is added, the file is listed once.
    p = run([SAMPLE], out, "gpkg", ["RbE2=1"], ["--lines", "A,B", "--areas", "CTBNA00", "--fields", "id,cfcc"])
    checks.equal(p.returncode, 0, "skipping run: " + p.stderr)
    checks.equal(table_columns(path, "A"), ["NUM", "TLID"], "A skipped")
    b_columns = table_columns(path, "B")
    checks.ok(b_columns is not None, "B added")
    checks.ok(table_columns(path, "CTBNA00") is not None, "CTBNA00 kept")
    checks.equal(p.stdout.count("TGR08901.gpkg"), 1, "listed once: " + p.stdout)

    # Skipped, every table there: nothing written, the file still listed.
    before = os.stat(path).st_mtime_ns
    p = run([SAMPLE], out, "gpkg", ["RbE2=1"], roads)
    checks.ok(p.returncode == 0 and os.stat(path).st_mtime_ns == before and "TGR08901.gpkg" in p.stdout,
              "all tables there: " + p.stdout + p.stderr)

    # Overwritten: A is replaced, B and CTBNA00 stay.
    p = run([SAMPLE], out, "gpkg", ["RbE1=1"], ["--lines", "A", "--fields", "id,cfcc,zip"])
    checks.equal(p.returncode, 0, "overwriting run: " + p.stderr)
    checks.equal(table_columns(path, "A"), ["NUM", "TLID", "CFCC", "ZIPL", "ZIPR"], "A replaced")
    checks.equal(table_columns(path, "B"), b_columns, "B kept")
    checks.ok(table_columns(path, "CTBNA00") is not None, "CTBNA00 kept after overwriting")
    check_structure(checks, path)
    checks.equal(os.listdir(out), ["TGR08901.gpkg"], "no temporary file left")

    # A file in its place that is no GeoPackage is left alone when existing
    # files are skipped, replaced with a warning when they are overwritten.
    with open(path, "wb") as f:
        f.write(b"not a GeoPackage")
    p = run([SAMPLE], out, "gpkg", ["RbE2=1"], roads)
    with open(path, "rb") as f:
        kept = f.read() == b"not a GeoPackage"
    checks.ok(p.returncode == 1 and kept, "a foreign file, skipping: " + p.stderr)
    p = run([SAMPLE], out, "gpkg", ["RbE1=1"], roads)
    checks.ok(p.returncode == 0 and table_columns(path, "A") == ["NUM", "TLID"] and "it is replaced" in p.stderr,
              "a foreign file, overwriting: " + p.stderr)


def write_failure(checks, work):
    out = os.path.join(work, "full")
    os.makedirs(out)
    path = os.path.join(out, "TGR08901.gpkg")
    older = b"an older file"
    with open(path, "wb") as f:
        f.write(older)
    log = os.path.join(work, "full.log")
    p = run([SAMPLE], out, "gpkg", extra=["--log", log], limit=300000)
    checks.equal(p.returncode, 1, "a full disk fails the county")
    with open(log, encoding="latin-1") as f:
        text = f.read()
    checks.ok("Error Writing " + path in text, lambda: "no 'Error Writing %s' in the log:\n%s" % (path, text[-3000:]))
    checks.ok("Incomplete, not kept: " + path in text, "the GeoPackage is logged as not kept")
    checks.ok("Created..." + path + "\r" not in text, "the GeoPackage is not logged as created")
    checks.equal(os.listdir(out), ["TGR08901.gpkg"], "nothing else is left")
    with open(path, "rb") as f:
        checks.equal(f.read(), older, "the older file is untouched")
    checks.ok(path not in p.stdout, "the GeoPackage is not listed")


def main():
    checks = Checks("gpkg test")
    with tempfile.TemporaryDirectory() as work:
        same_run(checks, [SAMPLE], "TGR08901", os.path.join(work, "sample"))
        county = os.path.join(work, "county")
        os.makedirs(county)
        make_county(county, chains=4000, seed=23, state="17", county="031", archive=True)
        same_run(checks, [os.path.join(county, "TGR17031.ZIP")], "TGR17031", os.path.join(work, "generated"))
        same_run(checks, [SAMPLE], "TGR08901", os.path.join(work, "lambert"),
                 ["RbP1=1", "LAM=6370997,-112,36"], projected=True)
        existing_files(checks, work)
        write_failure(checks, work)
    checks.finish()


if __name__ == "__main__":
    main()
