"""Projected MIF files are placed where they belong by other programs:
ogr2ogr -t_srs EPSG:4269 of every line, node and landmark point file of a
Lambert run gives back the coordinates of the same run in longitude and
latitude within a metre, and PROJ's first way from the declared system to
NAD83 needs no grid (whatever grids are at hand), so that GIS programs take
it without a complaint. Checked for the default parameters, for a centre near
the counties and for another radius (the files are projected on NAD83's
ellipsoid whatever the radius, and the log says so). Area files stay in
longitude and latitude and say so.
"""
import math
import os
import subprocess
import tempfile

import convert_support as cs

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("ZALOR_SRC", os.path.dirname(os.path.dirname(HERE)))
INPUTS = [os.path.join(SOURCE, "samples", "TGR08901.ZIP"), os.path.join(HERE, "golden", "TGR17031.ZIP")]

BOXES = {"CbA1": 1, "CbA2": 1, "CbA3": 1, "CbA4": 1, "CbQ10": 1,  # roads with their node file
         "CbAr12": 1}                                               # census tracts
BOXES.update({"CbH%d" % n: 1 for n in range(9)})
BOXES["CbQ26"] = 1                                                  # hydrography nodes
BOXES.update({"CbP%d" % n: 1 for n in range(10)})                   # landmark points

CASES = ["6370997,-100,45", "6370997,-95,40", "6378137,-100,45"]  # Lambert parameters
NOTE = "MIF files are projected on the ellipsoid of the county's datum, which they declare: the radius of %s m"
PROJECTED = 'Coordsys Earth Projection 29, 74, "m", '
GEOGRAPHIC = "Coordsys Earth Projection 1,74"


def metres(a, b):
    """Distance of two micro-degree points, on a sphere of the Earth's size
    (plenty for telling a metre from a few)."""
    lat = math.radians((a[1] + b[1]) / 2e6)
    dx = math.radians((a[0] - b[0]) / 1e6) * math.cos(lat) * 6371000
    dy = math.radians((a[1] - b[1]) / 1e6) * 6371000
    return math.hypot(dx, dy)


def coordsys(path):
    with open(path, "rb") as f:
        for line in f.read().decode("latin-1").split("\r\n"):
            if line.lower().startswith("coordsys"):
                return line
    return None


def check_way_to_nad83(checks, path, what):
    srs = cs.read_layer(path, degrees=False).srs
    if not checks.ok(srs is not None, "%s: GDAL reads no coordinate system" % what):
        return
    cs.check_no_grid_to_nad83(checks, srs, what)
    # The projection of NAD83 itself, no datum on the way.
    for _, _, proj in cs.first_operations_to_nad83(srs):
        checks.ok("+proj=laea" in proj and "ellps=GRS80" in proj and "+towgs84" not in proj and "cart" not in proj,
                  "%s: not the projection of NAD83 alone: %s" % (what, proj))


def reprojected(path, work):
    out = os.path.join(work, "back.shp")
    for ext in (".shp", ".shx", ".dbf", ".prj", ".cpg"):
        if os.path.exists(out[:-4] + ext):
            os.remove(out[:-4] + ext)
    subprocess.run(["ogr2ogr", "-t_srs", "EPSG:4269", out, path], check=True, capture_output=True)
    return cs.read_layer(out, degrees=True)


def main():
    checks = cs.Checks("MIF projection")
    with tempfile.TemporaryDirectory() as work:
        geo = cs.convert(INPUTS, os.path.join(work, "geo"), "mif", BOXES)
        checks.equal(geo.returncode, 0, "geographic run exit status")
        for lam in CASES:
            out = os.path.join(work, "lam" + lam.replace(",", "_"))
            log = os.path.join(work, "lam.log")
            if os.path.exists(log):
                os.remove(log)
            run = cs.convert(INPUTS, out, "mif", dict(BOXES, RbP1=1, LAM=lam), log=log)
            checks.equal(run.returncode, 0, "%s: exit status" % lam)
            note = NOTE % lam.split(",")[0]
            checks.ok(any(note in line for line in run.log), "%s: the log names the radius" % lam)
            checks.ok(note in run.stderr, "%s: the run names the radius" % lam)
            worst = 0.0
            files = 0
            for path in run.outputs:
                name = os.path.basename(path)
                truth = geo.file(name)
                if not checks.ok(truth is not None, "%s: %s has no geographic twin" % (lam, name)):
                    continue
                if "CTBNA00" in name:
                    checks.equal(coordsys(path), GEOGRAPHIC, "%s: %s declares" % (lam, name))
                    continue
                files += 1
                checks.ok((coordsys(path) or "").startswith(PROJECTED), "%s: %s declares %r" % (lam, name, coordsys(path)))
                if files == 1:
                    check_way_to_nad83(checks, path, "%s: %s" % (lam, name))
                back = reprojected(path, work)
                want = cs.read_layer(truth, degrees=True)
                if not checks.equal(len(back.features), len(want.features), "%s: %s features" % (lam, name)):
                    continue
                for k, (b, w) in enumerate(zip(back.features, want.features)):
                    pb = [p for part in b.parts for p in part]
                    pw = [p for part in w.parts for p in part]
                    if not checks.equal(len(pb), len(pw), "%s: %s feature %d points" % (lam, name, k)):
                        continue
                    d = max((metres(p, q) for p, q in zip(pb, pw)), default=0.0)
                    worst = max(worst, d)
                    checks.ok(d < 1.0, "%s: %s feature %d lands %.1f m from its place" % (lam, name, k, d))
            # lines, nodes and points of both counties
            checks.ok(files >= 10, "%s: only %d projected files" % (lam, files))
            print("%s: %d projected files, worst %.6f m" % (lam, files, worst))
    checks.finish()


if __name__ == "__main__":
    main()
