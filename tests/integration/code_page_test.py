"""Names beyond ASCII: a county with accented names (zalor-mkcounty
--accented-names: chain, alternate, landmark and entity names in Latin-1)
converted with every layer into MIF, shapefiles and a GeoPackage reads
back with GDAL as the truth's Unicode text: MIF through its Charset,
shapefiles through their .CPG file and, without it, through the DBF's
language driver, the GeoPackage as UTF-8. The MIF, MID and DBF files hold
single Latin-1 bytes, and every format gives the same names, layer by
layer.
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from convert_support import Checks, binary, make_county, ogr  # noqa: E402

CHECKS = Checks("code page test")
BASE = "TGR35013"
NAME_COLUMNS = ("NAME", "NAME1", "NAME2")


def convert(county, out, fmt):
    args = [binary("zalor-cli"), "-q", "-f", fmt, "-o", out, "--set", "RbD0=1", "--lines", "all", "--areas", "all",
            "--points", "--fields", "all", os.path.join(county, BASE + ".ZIP")]
    p = subprocess.run(args, capture_output=True, text=True, errors="replace")
    CHECKS.equal(p.returncode, 0, "%s conversion exits 0 (%s)" % (fmt, p.stderr.strip()[:300]))


def layer_names(layer):
    """The values of the name columns of a GDAL layer: column -> [text]."""
    defn = layer.GetLayerDefn()
    columns = [defn.GetFieldDefn(k).GetName() for k in range(defn.GetFieldCount())]
    names = {c: [] for c in columns if c in NAME_COLUMNS}
    for f in layer:
        for c in names:
            names[c].append(f.GetField(c) or "")
    return names


def read_files(directory, ext):
    """Layer (file name after the county's) -> name columns, and the GDAL
    layers' metadata of the SHAPEFILE domain."""
    layers, metadata = {}, {}
    for name in sorted(os.listdir(directory)):
        if not name.upper().endswith(ext):
            continue
        ds = ogr.Open(os.path.join(directory, name))
        layer = ds.GetLayer(0)
        key = name[len(BASE):-len(ext)]
        CHECKS.ok(layer.TestCapability(ogr.OLCStringsAsUTF8), "GDAL reads %s as UTF-8 text" % name)
        metadata[key] = layer.GetMetadata("SHAPEFILE") or {}
        layers[key] = layer_names(layer)
    return layers, metadata


def read_tables(path):
    ds = ogr.Open(path)
    return {ds.GetLayer(i).GetName(): layer_names(ds.GetLayer(i)) for i in range(ds.GetLayerCount())}


def truth_names(truth):
    """Every name the records hold, and the accented ones that the layers
    must give: chain and alternate names, located landmarks, landmark areas
    and key locations, the county and the places and school district named
    after entities."""
    chains = truth["chains"]
    every = {c["name"] for c in chains} | {a for c in chains for a in c["alt"]}
    every |= {m["name"] for m in truth["landmarks"]} | {k["name"] for k in truth["keyLocations"]}
    every |= {e["name"] for e in truth["entities"]} | {""}
    shown = {c["name"] for c in chains} | {a for c in chains for a in c["alt"][:2]}
    shown |= {m["name"] for m in truth["landmarks"] if m["located"]}
    shown |= {m["name"] for m in truth["landmarkAreas"] if m["polygons"]}
    shown |= {k["name"] for k in truth["keyLocations"] if k["polygons"]}
    shown |= {e["name"] for e in truth["entities"] if e["type"] in "CP3" and e["code"]}
    accented = {n for n in shown if any(ord(ch) > 127 for ch in n)}
    return every, accented


def check_format(fmt, layers, every, accented):
    seen = set()
    for key, columns in sorted(layers.items()):
        for column, values in columns.items():
            strange = sorted(set(values) - every)
            CHECKS.ok(not strange, lambda: "%s %s %s: names not in the records: %r" % (fmt, key, column, strange[:5]))
            seen |= set(values)
    CHECKS.ok(len(accented) >= 10, "%d accented names to look for" % len(accented))
    missing = sorted(accented - seen)
    CHECKS.ok(not missing, lambda: "%s: accented names no layer holds: %r" % (fmt, missing))


def first_difference(got, want):
    """Where two layers' name columns differ first, as a short text."""
    if sorted(got) != sorted(want):
        return "columns %r, want %r" % (sorted(got), sorted(want))
    for column in sorted(want):
        if len(got[column]) != len(want[column]):
            return "%s: %d values, want %d" % (column, len(got[column]), len(want[column]))
        for k, (g, w) in enumerate(zip(got[column], want[column])):
            if g != w:
                return "%s of feature %d: %r, want %r" % (column, k + 1, g, w)
    return None


def check_same_names(mif, shp, gpkg):
    shared = sorted(set(mif) & set(shp) & set(gpkg))
    CHECKS.ok(len(shared) > 30, "%d layers in every format" % len(shared))
    for key in shared:
        for fmt, layers in (("shapefile", shp), ("GeoPackage", gpkg)):
            diff = first_difference(layers[key], mif[key])
            CHECKS.ok(diff is None, lambda: "%s: %s names against MIF: %s" % (key, fmt, diff))


def check_declarations(shp_dir, metadata):
    for key, meta in sorted(metadata.items()):
        CHECKS.equal((meta.get("CPG_VALUE"), meta.get("LDID_VALUE"), meta.get("SOURCE_ENCODING")),
                     ("88591", "87", "ISO-8859-1"), "%s: the .CPG and the language driver" % key)
    # Without its .CPG a shapefile is still read as Latin-1, by its DBF's language driver.
    alone = os.path.join(shp_dir, "alone")
    os.makedirs(alone)
    for ext in (".SHP", ".SHX", ".DBF", ".PRJ"):
        shutil.copy(os.path.join(shp_dir, BASE + "ALL" + ext), alone)
    layers, meta = read_files(alone, ".SHP")
    CHECKS.equal((meta["ALL"].get("LDID_VALUE"), meta["ALL"].get("ENCODING_FROM_LDID")), ("87", "ISO-8859-1"),
                 "ALL without .CPG: the language driver")
    return layers["ALL"]


def check_bytes(mif_dir, shp_dir):
    """The files hold single Latin-1 bytes, never UTF-8."""
    latin, utf8 = "Pe\u00f1asco".encode("latin-1"), "Pe\u00f1asco".encode("utf-8")
    for path in (os.path.join(mif_dir, BASE + "FPL.MID"), os.path.join(shp_dir, BASE + "FPL.DBF")):
        with open(path, "rb") as f:
            data = f.read()
        CHECKS.ok(latin in data and utf8 not in data, "%s holds the name in Latin-1" % path)
    with open(os.path.join(mif_dir, BASE + "FPL.MIF"), "rb") as f:
        CHECKS.ok(b'Charset "WindowsLatin1"' in f.read(), "the MIF file declares its charset")


def main():
    with tempfile.TemporaryDirectory() as work:
        county = os.path.join(work, "county")
        truth = make_county(county, chains=2000, seed=3, state="35", county="013", archive=True, accented=True)
        outs = {fmt: os.path.join(work, fmt) for fmt in ("mif", "shp", "gpkg")}
        for fmt, out in outs.items():
            convert(county, out, fmt)
        every, accented = truth_names(truth)
        mif, _ = read_files(outs["mif"], ".MIF")
        shp, metadata = read_files(outs["shp"], ".SHP")
        gpkg = read_tables(os.path.join(outs["gpkg"], BASE + ".gpkg"))
        for fmt, layers in (("mif", mif), ("shp", shp), ("gpkg", gpkg)):
            check_format(fmt, layers, every, accented)
        check_same_names(mif, shp, gpkg)
        alone = check_declarations(outs["shp"], metadata)
        CHECKS.ok(alone == shp["ALL"], lambda: "ALL without .CPG: %s" % first_difference(alone, shp["ALL"]))
        check_bytes(outs["mif"], outs["shp"])
    CHECKS.finish()


if __name__ == "__main__":
    main()
