"""The synthetic county written in the layouts of each release of the 1990s
(1990, 1992, 1994, 1995, 1997, 1998, 1999), converted with every line group
and area layer as the later releases are: the outputs agree with the
generator's truth in MIF, shapefiles and GeoPackage, the absent layers are
named in one warning, the layers read from columns no real file has
confirmed in another, and every format declares the datum of the files
(NAD27 before 1995) as GDAL reads it.

Then --to-nad83: without the grid the county is refused with the grid
named; with a small grid of PROJ's old name "conus" in a PROJ data
directory of its own, every chain end and landmark point of every format is
where PROJ's cs2cs puts it (rounded to the micro-degree the files hold),
and the outputs declare NAD83.
"""
import json
import math
import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import convert_support as cs  # noqa: E402  (re-executes under /usr/bin/python3 when needed)
import vintage_test as vt  # noqa: E402

from osgeo import ogr, osr  # noqa: E402

CHECKS = vt.CHECKS
BASE = vt.BASE
vt.RELEASES.update({1990: "TIGER/Line Files, 1990 (version 0003)", 1992: "TIGER/Line 1992 (version 0005)",
                    1994: "TIGER/Line 1994 (version 0021)", 1995: "TIGER/Line 1995 (version 0024)",
                    1997: "TIGER/Line 1997 (version 1097)", 1998: "TIGER/Line 1998 (version 1298)",
                    1999: "TIGER/Line 1999 (version 0700)"})
VINTAGES = (1990, 1992, 1994, 1995, 1997, 1998, 1999)
EPSG = {"NAD83": 4269, "NAD27": 4267}
UNCERTAIN_RTA = ["SDELM", "SDSEC", "SDUNI", "TAZ", "UA", "URBFLAG", "CTPP"]
ogr.UseExceptions()


def declared_epsg(path):
    """The EPSG code GDAL identifies the layer's coordinate system as."""
    ds = ogr.Open(path)
    srs = ds.GetLayer(0).GetSpatialRef()
    if srs is None:
        return None
    srs = srs.Clone()
    srs.AutoIdentifyEPSG()
    code = srs.GetAuthorityCode(None)
    if code is None:
        matches = srs.FindMatches()
        code = matches[0][0].GetAuthorityCode(None) if matches and matches[0][1] >= 70 else None
    return int(code) if code else None


def check_declarations(tmp, vintage, truth):
    expected = EPSG[truth["datum"]]
    for fmt, name in (("mif", BASE + "A.MIF"), ("shp", BASE + "A.SHP"), ("shp", BASE + "CTBNA90.SHP"),
                      ("gpkg", BASE + ".gpkg")):
        path = os.path.join(tmp, "%d_%s" % (vintage, fmt), name)
        if CHECKS.ok(os.path.exists(path), "%d: %s written" % (vintage, name)):
            CHECKS.equal(declared_epsg(path), expected, "%d %s: declared datum (EPSG)" % (vintage, name))
    log = open(os.path.join(tmp, "%d_shp.log" % vintage), encoding="latin-1").read()
    CHECKS.equal("Datum: NAD27" in log, truth["datum"] == "NAD27", "%d: the log names NAD27" % vintage)


def check_uncertain(tmp, vintage):
    """One warning names the layers read from the late-1990s columns of RTA."""
    lines = open(os.path.join(tmp, "%d_shp.log" % vintage), encoding="latin-1").read().splitlines()
    warnings = [line for line in lines if "which no real file of this release has confirmed: check those" in line]
    if not CHECKS.equal(len(warnings), 1, "%d: warnings of unconfirmed layouts" % vintage):
        return
    listed = vt.listed_after(warnings[0], "RTA after column 50")
    expected = UNCERTAIN_RTA + (["CD106"] if vintage == 1999 else [])
    CHECKS.equal(sorted(listed), sorted(expected), "%d: layers of RTA after column 50" % vintage)


# --- --to-nad83 -------------------------------------------------------------------

def write_grid(path, west, south, step, nodes):
    """A CTable2 grid: extent in radians, then per node the longitude shift
    (positive west) and the latitude shift in radians, smooth, tens of metres."""
    radian = math.pi / 180
    second = radian / 3600
    head = b"CTABLE V2.0     " + b" " * 80
    head += struct.pack("<4d", west * radian, south * radian, step * radian, step * radian)
    head += struct.pack("<2i", nodes, nodes)
    head += b"\0" * (160 - len(head))
    body = b""
    for row in range(nodes):
        for col in range(nodes):
            east = -0.8 + 0.05 * col + 0.02 * row + 0.004 * col * row
            north = 0.45 + 0.03 * row - 0.01 * col
            body += struct.pack("<2f", -east * second, north * second)
    with open(path, "wb") as f:
        f.write(head + body)


def proj_data(tmp, truth, with_grid):
    d = os.path.join(tmp, "proj-grid" if with_grid else "proj-none")
    os.makedirs(d)
    system = os.environ.get("PROJ_DATA", "/usr/share/proj")
    os.symlink(os.path.join(system, "proj.db"), os.path.join(d, "proj.db"))
    if with_grid:
        e = truth["extent"]
        west = math.floor(e["minLon"] / 1e6) - 1
        south = math.floor(e["minLat"] / 1e6) - 1
        write_grid(os.path.join(d, "conus"), west, south, 0.5, 9)
    return d


def cs2cs(points, data):
    """cs2cs's NAD83 (lon, lat) of NAD27 micro-degree points, in degrees."""
    text = "".join("%.6f %.6f\n" % (y / 1e6, x / 1e6) for x, y in points)
    env = dict(os.environ, PROJ_DATA=data)
    r = subprocess.run(["cs2cs", "-f", "%.10f", "EPSG:4267", "EPSG:4269"], input=text, capture_output=True,
                       text=True, check=True, env=env)
    out = []
    for line in r.stdout.splitlines():
        lat, lon = line.split()[:2]
        out.append((float(lon), float(lat)))
    return out


def convert_nad83(county, out, fmt, data):
    args = [cs.binary("zalor-cli"), "-f", fmt, "-o", out, "--set", "RbD0=1", "--to-nad83", "--lines", "ALL",
            "--points", "--areas", "CTBNA90", "--log", out + ".log", county]
    return subprocess.run(args, capture_output=True, text=True, errors="replace", env=dict(os.environ, PROJ_DATA=data))


def written_ends(path, layer=None):
    """TLID -> (first vertex, last vertex) of a line layer."""
    ds = ogr.Open(path)
    lyr = ds.GetLayerByName(layer) if layer else ds.GetLayer(0)
    ends = {}
    for f in lyr:
        g = f.GetGeometryRef()
        if g.GetGeometryType() != ogr.wkbLineString and g.GetGeometryCount():
            g = g.GetGeometryRef(0)
        n = g.GetPointCount()
        ends[f.GetField("TLID")] = ((g.GetX(0), g.GetY(0)), (g.GetX(n - 1), g.GetY(n - 1)))
    return ends


def written_points(path, layer=None):
    ds = ogr.Open(path)
    lyr = ds.GetLayerByName(layer) if layer else ds.GetLayer(0)
    return sorted((round(f.GetGeometryRef().GetX(), 6), round(f.GetGeometryRef().GetY(), 6)) for f in lyr)


def close(a, b):
    """Within the rounding to a micro-degree (and a float's noise)."""
    return abs(a[0] - b[0]) <= 0.5e-6 + 1e-9 and abs(a[1] - b[1]) <= 0.5e-6 + 1e-9


def check_to_nad83(tmp):
    truth = cs.make_county(os.path.join(tmp, "nad27"), chains=600, seed=9, archive=True, vintage=1994)
    county = os.path.join(tmp, "nad27", BASE + ".ZIP")
    CHECKS.equal(truth["datum"], "NAD27", "the 1994 county is on NAD27")

    refused = convert_nad83(county, os.path.join(tmp, "refused"), "shp", proj_data(tmp, truth, False))
    CHECKS.equal(refused.returncode, 1, "without the grid: exit status")
    for part in ("NAD27 to NAD83", "us_noaa_conus.tif", "PROJ_DATA"):
        CHECKS.ok(part in refused.stderr, lambda: "without the grid: the error names %s: %s" % (part, refused.stderr))
    CHECKS.ok(not os.path.exists(os.path.join(tmp, "refused", BASE + "ALL.SHP")),
              "without the grid: no line file of unconverted points")

    data = proj_data(tmp, truth, True)
    chains = truth["chains"]
    shifted = cs2cs([p for c in chains for p in (c["from"], c["to"])], data)
    marks = [(m["lon"], m["lat"]) for m in truth["landmarks"] if m["located"] and (m["lon"], m["lat"]) != (0, 0)]
    expected_marks = sorted((round(x, 6), round(y, 6)) for x, y in cs2cs(marks, data))
    moved = max(abs(shifted[0][0] - chains[0]["from"][0] / 1e6), abs(shifted[0][1] - chains[0]["from"][1] / 1e6))
    CHECKS.ok(moved > 1e-5, "the grid moves the points (%g degrees)" % moved)
    for fmt, lines, points, area, layers in (
            ("mif", BASE + "ALL.MIF", BASE + "DP.MIF", BASE + "CTBNA90.MIF", (None, None)),
            ("shp", BASE + "ALL.SHP", BASE + "DP.SHP", BASE + "CTBNA90.SHP", (None, None)),
            ("gpkg", BASE + ".gpkg", BASE + ".gpkg", BASE + ".gpkg", ("ALL", "DP"))):
        out = os.path.join(tmp, "nad83_" + fmt)
        run = convert_nad83(county, out, fmt, data)
        if not CHECKS.equal(run.returncode, 0, lambda: "--to-nad83 %s: exit status (%s)" % (fmt, run.stderr)):
            continue
        ends = written_ends(os.path.join(out, lines), layers[0])
        bad = [c["tlid"] for i, c in enumerate(chains)
               if c["tlid"] not in ends or not (close(ends[c["tlid"]][0], shifted[2 * i]) and
                                                close(ends[c["tlid"]][1], shifted[2 * i + 1]))]
        CHECKS.ok(not bad, lambda: "--to-nad83 %s: chain ends off cs2cs's: %s" % (fmt, bad[:5]))
        got = written_points(os.path.join(out, points), layers[1] or None) if os.path.exists(
            os.path.join(out, points)) else []
        CHECKS.ok(all(close(a, b) for a, b in zip(got, expected_marks)) and len(got) == len(expected_marks),
                  lambda: "--to-nad83 %s: landmark points off cs2cs's (%d of %d)" % (fmt, len(got), len(expected_marks)))
        for name in {lines, area}:
            CHECKS.equal(declared_epsg(os.path.join(out, name)), 4269, "--to-nad83 %s: %s declares NAD83" % (fmt, name))
        log = open(out + ".log", encoding="latin-1").read()
        CHECKS.ok("Converted from NAD27 to NAD83" in log, "--to-nad83 %s: the log names the conversion" % fmt)


def main():
    with tempfile.TemporaryDirectory() as tmp:
        for vintage in VINTAGES:
            vt.check_vintage(tmp, vintage)
            with open(os.path.join(tmp, "gen%d" % vintage, BASE + ".truth.json")) as f:
                truth = json.load(f)
            check_declarations(tmp, vintage, truth)
            check_uncertain(tmp, vintage)
        check_to_nad83(tmp)
    CHECKS.finish()


if __name__ == "__main__":
    main()
