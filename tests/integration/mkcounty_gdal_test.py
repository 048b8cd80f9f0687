"""The synthetic counties of zalor-mkcounty are genuine TIGER/Line: GDAL's
TIGER driver reads them back and finds what the ground-truth file says.

RT1, RT2, RT4, RT7 and RT8 are read as TIGER/Line 2002-2006 (GDAL takes the
version from the RT1 records); RTI, RTS, RTA, RT5 and RTC have the Census 2000
layouts, which GDAL reads with TIGER_VERSION=TIGER_UA2000, and so is RT9, whose
layout did not change but which GDAL reads only for the older versions.
"""
import json
import os
import subprocess
import sys
import tempfile

try:
    from osgeo import gdal, ogr
except ImportError:
    # The distribution's interpreter carries the GDAL bindings.
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    print("GDAL Python bindings (python3-gdal) are missing", file=sys.stderr)
    sys.exit(1)

gdal.UseExceptions()
gdal.PushErrorHandler("CPLQuietErrorHandler")

FAILURES = []


def check(cond, what):
    if not cond:
        FAILURES.append(what)
        if len(FAILURES) <= 30:
            print("FAIL:", what)


def micro(v):
    return int(round(v * 1e6))


def same(got, want):
    """Field texts compared as GDAL gives them: integer fields lose their
    leading zeros."""
    if got != want and got.isdigit() and want.isdigit():
        return int(got) == int(want)
    return got == want


def open_county(path, version=None):
    gdal.SetConfigOption("TIGER_VERSION", version)
    ds = ogr.Open(path)
    gdal.SetConfigOption("TIGER_VERSION", None)
    check(ds is not None, "GDAL opens %s (TIGER_VERSION=%s)" % (path, version))
    return ds


def features(ds, name):
    """The layer's features as plain dictionaries of their fields, with the
    geometry's points in micro-degrees under "_points" (GDAL objects must
    not outlive their data source)."""
    layer = ds.GetLayerByName(name)
    check(layer is not None, "layer %s present" % name)
    rows = []
    if layer is None:
        return rows
    defn = layer.GetLayerDefn()
    fields = [defn.GetFieldDefn(k).GetName() for k in range(defn.GetFieldCount())]
    for feat in layer:
        row = {f: feat.GetField(f) for f in fields}
        geom = feat.GetGeometryRef()
        row["_points"] = [] if geom is None else \
            [(micro(geom.GetX(k)), micro(geom.GetY(k))) for k in range(max(1, geom.GetPointCount()))]
        rows.append(row)
    return rows


def text(feat, field):
    v = feat.get(field)
    return "" if v is None else str(v).strip()


def main():
    binary = os.path.join(os.environ.get("ZALOR_BIN", "build"), "zalor-mkcounty")
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([binary, "--state", "08", "--county", "901", "--chains", "2500", "--seed", "42",
                        "--out", tmp, "--quiet"], check=True)
        with open(os.path.join(tmp, "TGR08901.truth.json")) as f:
            truth = json.load(f)
        check(truth["chainsListed"], "a small county lists its chains")
        code = truth["code"]

        # --- TIGER/Line 2002-2006 record types ---------------------------------
        ds = open_county(tmp)
        chains = {c["tlid"]: c for c in truth["chains"]}
        seen = set()
        for feat in features(ds, "CompleteChain"):
            tlid = feat["TLID"]
            c = chains.get(tlid)
            check(c is not None, "chain %s is in the truth" % tlid)
            if c is None:
                continue
            seen.add(tlid)
            check(text(feat, "CFCC") == c["cfcc"], "CFCC of %d" % tlid)
            name = " ".join(p for p in (text(feat, "FEDIRP"), text(feat, "FENAME"), text(feat, "FETYPE")) if p)
            check(name == c["name"], "name of %d: %r != %r" % (tlid, name, c["name"]))
            pts = feat["_points"]
            want = [tuple(c["from"])] + [tuple(p) for p in c["shapes"]] + [tuple(c["to"])]
            check(pts == want, "points of %d" % tlid)
            for fld in ("FRADDL", "TOADDL", "FRADDR", "TOADDR", "ZIPL", "ZIPR"):
                check(same(text(feat, fld), c[fld.lower()]), "%s of %d" % (fld, tlid))
            for fld, key in (("COUSUBL", "fmcdl"), ("COUSUBR", "fmcdr"), ("PLACEL", "fpll"), ("PLACER", "fplr")):
                check(same(text(feat, fld), c[key]), "%s of %d" % (fld, tlid))
        check(seen == set(chains), "every chain of the truth is in CompleteChain (%d of %d)" % (len(seen), len(chains)))

        # RT4: alternate feature numbers, applied as the converter applies them.
        alt_names = truth_alt_names(tmp, code)
        slots = {}
        for feat in sorted(features(ds, "AltName"), key=lambda f: (f["TLID"], f["RTSQ"])):
            feats = feat["FEAT"] or []
            s = slots.setdefault(feat["TLID"], ["", "", ""])
            for k in range(min(3, len(feats))):
                if feats[k]:
                    s[k] = alt_names[feats[k] - 1]
        for tlid, c in chains.items():
            check(slots.get(tlid, ["", "", ""]) == c["alt"], "alternate names of %d" % tlid)

        # RT7 landmarks.
        marks = features(ds, "Landmarks")
        check(len(marks) == len(truth["landmarks"]), "RT7 record count")
        for feat, m in zip(marks, truth["landmarks"]):
            check(feat["LAND"] == m["land"] and text(feat, "CFCC") == m["cfcc"]
                  and text(feat, "LANAME") == m["name"], "landmark %d" % m["land"])
            if m["located"] and (m["lon"] or m["lat"]):
                check(feat["_points"] == [(m["lon"], m["lat"])],
                      "location of landmark %d" % m["land"])

        # RT8 area landmarks.
        links = sorted((f["POLYID"], f["LAND"]) for f in features(ds, "AreaLandmarks"))
        want = sorted((p, m["land"]) for m in truth["landmarkAreas"] for p in m["polygons"])
        check(links == want, "RT8 links")

        # --- Census 2000 record types ------------------------------------------
        ds = open_county(tmp, "TIGER_UA2000")
        links = {f["TLID"]: (f["POLYIDL"] or 0, f["POLYIDR"] or 0)
                 for f in features(ds, "PolyChainLink")}
        check(len(links) == len(chains), "one RTI record per chain")
        for tlid, c in chains.items():
            check(links.get(tlid) == (c["polyLeft"], c["polyRight"]), "RTI of %d" % tlid)

        # RT9 key geographic locations (GDAL knows them only in the older
        # versions; the layout is the same).
        kgl = sorted((f["POLYID"], int(text(f, "FEAT")), text(f, "CFCC"), text(f, "KGLNAME"))
                     for f in features(ds, "KeyFeatures"))
        want = sorted((p, k["feat"], k["cfcc"], k["name"]) for k in truth["keyLocations"] for p in k["polygons"])
        check(kgl == want, "RT9 records")

        names = features(ds, "FeatureIds")
        check([f["FEAT"] for f in names] == list(range(1, len(names) + 1)), "RT5 numbering")
        check(len(names) == truth["counts"]["rt5"], "RT5 count")

        ents = features(ds, "EntityNames")
        check(len(ents) == len(truth["entities"]), "RTC count")
        for feat, e in zip(ents, truth["entities"]):
            check(text(feat, "ENTITY") == e["type"] and text(feat, "NAME") == e["name"], "entity %s" % e["name"])
            field = {"M": "FIPS", "P": "FIPS", "3": "SD", "4": "SD", "5": "SD", "I": "AIR", "A": "MA",
                     "U": "UA", "V": "VTD"}.get(e["type"])
            if field:
                check(int(text(feat, field)) == int(e["code"]), "code of entity %s" % e["name"])
            if e["type"] == "C":
                check("%02d%03d" % (feat["STATE"], feat["COUNTY"]) == e["code"],
                      "county code of %s" % e["name"])
        check(any(e["type"] == "C" and e["code"] == code for e in truth["entities"]), "the county's own name")

        # RTS and RTA together: GDAL's Polygon layer. Its fields against the
        # truth's layers.
        polys = features(ds, "Polygon")
        check([f["POLYID"] for f in polys] == [p["polyid"] for p in truth["polygons"]],
              "RTS/RTA polygons in POLYID order")
        by_layer = {
            "WATER": "W", "CMSAMSA": "CMSAMSA", "PMSA": "PMSA", "AIANHH": "FAIR", "AIR": "AIR", "TRUST": "TRUST",
            "ANRC": "ANRC", "FCCITY": "FCCITY", "FSMCD": "FSMCD", "PLACE": "FPL", "CTBNA00": "CTBNA00",
            "BLK00": "BLK00", "CDCU": "CDCU", "VTD": "VTD00", "ZCTA5": "ZCTA5",
            "FAIR": "FAIR90", "FMCD": "FMCD90", "FPL": "FPL90", "CTBNA90": "CTBNA90", "BLK90": "BLK90",
            "CD106": "CD106", "CD108": "CD108", "SDELM": "SDELM", "SDSEC": "SDSEC", "SDUNI": "SDUNI",
            "TAZ": "TAZ", "UA": "UA", "URBFLAG": "URBFLAG", "CTPP": "CTPP", "AIR90": "AIR90"}
        for field, layer in by_layer.items():
            expect = {}
            for key, ids in truth["layers"][layer]["keys"].items():
                for p in ids:
                    expect[p] = key
            for f in polys:
                got = text(f, field)
                want = expect.get(f["POLYID"], "")
                check(same(got, want), "%s of polygon %d: %r != %r" % (field, f["POLYID"], got, want))
        water = {p["polyid"] for p in truth["polygons"] if p["water"] != "0"}
        check(water == {f["POLYID"] for f in polys if text(f, "WATER") not in ("", "0")},
              "water polygons")

    if FAILURES:
        print("%d failures" % len(FAILURES))
        sys.exit(1)
    print("mkcounty GDAL test: all checks passed")


def truth_alt_names(directory, code):
    """RT5 names composed as the converter composes alternate names."""
    names = []
    with open(os.path.join(directory, "TGR%s.RT5" % code), "rb") as f:
        for line in f.read().decode("latin-1").splitlines():
            parts = [line[14:16].strip(), line[16:46].strip(), line[46:50].strip(), line[50:52].strip()]
            name = parts[1]
            if parts[0]:
                name = parts[0] + " " + name
            if parts[2]:
                name += " " + parts[2]
            if parts[3]:
                name += " " + parts[3]
            names.append(name)
    return names


if __name__ == "__main__":
    main()
