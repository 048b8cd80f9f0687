"""The synthetic counties of zalor-mkcounty are genuine TIGER/Line in every
vintage the generator writes: GDAL's TIGER driver recognises the release
from the files alone (no TIGER_VERSION), reads them back and finds what the
ground-truth file says: chains, shape points, names (RT1, and RT5 through
RT4), landmarks, polygon links, entity names and the area codes of every
layer the truth lists.

The Census 2000 files (version 0301) are read with GDAL's Census 2000
tables; those of 2002 (1002), 2003 (1203) and 2004-2006 (0404, 0505, 0806)
with the tables of their releases, which the fields of the layers show.
The files of the 1990s (0003, 0005, 0021, 0024, 1097, 1298, 0700) are read
with GDAL's one table set for them: RT3 with the 1990 codes of the chain
sides, RTS with six-character legislative districts, RTC with a two-digit
year; the 1990 Census and 1992 files with RTA alone.
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
VINTAGES = (1990, 1992, 1994, 1995, 1997, 1998, 1999, 2000, 2002, 2003, 2004, 2005, 2006)

# GDAL's Polygon layer (RTA and RTS) field -> the truth's layer, Census 2000
# tables. "FMCD" there is RTA's 1990 code (GDAL drops RTS's field of that
# name), so the truth's FMCD (RTS 57-61) has no GDAL field.
FIELDS_2000 = {
    "WATER": "W", "CMSAMSA": "CMSAMSA", "PMSA": "PMSA", "AIANHH": "FAIR", "AIR": "AIR", "TRUST": "TRUST",
    "ANRC": "ANRC", "FCCITY": "FCCITY", "FSMCD": "FSMCD", "PLACE": "FPL", "CTBNA00": "CTBNA00", "BLK00": "BLK00",
    "BLKGRP": "BGP00", "CDCU": "CDCU", "SLDU": "STSENATE", "SLDL": "STHOUSE", "VTD": "VTD00", "ZCTA5": "ZCTA5",
    "POLYID": "POLYID", "FAIR": "FAIR90", "FMCD": "FMCD90", "FPL": "FPL90", "CTBNA90": "CTBNA90",
    "BLK90": "BLK90", "AIR90": "AIR90", "CD106": "CD106", "CD108": "CD108", "SDELM": "SDELM", "SDSEC": "SDSEC",
    "SDUNI": "SDUNI", "TAZ": "TAZ", "UA": "UA", "URBFLAG": "URBFLAG", "CTPP": "CTPP"}
UNREAD_2000 = {"FMCD"}
# The 1990s: no block group, ZCTA or collection block in RTS; its
# legislative and voting districts have GDAL names of their own.
FIELDS_1990S = {f: layer for f, layer in FIELDS_2000.items() if f not in ("BLKGRP", "ZCTA5", "SLDU", "SLDL", "VTD")}
FIELDS_1990S.update(STSENATE="STSENATE", STHOUSE="STHOUSE", VTD00="VTD00")
# RT3's 1990 codes of a chain side: GDAL field (with L or R) -> the layer
# of the side's polygon (state and county: the county's own).
RT3_FIELDS = {"FMCD90": "FMCD90", "FPL90": "FPL90", "CTBNA90": "CTBNA90", "BLK90": "BLK90", "AIR90": "AIR90"}
# From 2002: current codes (CU) from RTA, Census 2000 codes from RTS.
FIELDS_2002 = {
    "COUSUBCU": "FMCD", "SUBMCDCU": "FSMCD", "PLACECU": "FPL", "CONCITCU": "FCCITY", "AIANHHFPCU": "FAIR",
    "AIANHHCU": "AIR", "AIHHTLICU": "TRUST", "ANRCCU": "ANRC", "TRACT": "CTBNA00", "BLOCK": "BLK00",
    "BLKGRP": "BGP00", "CDCU": "CDCU", "SLDU": "STSENATE", "SLDL": "STHOUSE", "VTD": "VTD00", "ZCTA5": "ZCTA5",
    "POLYID": "POLYID", "CD106": "CD106", "CD108": "CD108", "SDELMCU": "SDELM", "SDSECCU": "SDSEC",
    "SDUNICU": "SDUNI", "TAZ": "TAZ", "UA": "UA", "UR": "URBFLAG"}
FIELDS_ONLY_2002 = {"MSACMSACU": "CMSAMSA", "PMSACU": "PMSA"}
FIELDS_FROM_2003 = {"MSACMSA": "CMSAMSA", "PMSA": "PMSA", "CBSACU": "CBSA", "CSACU": "CSA", "METDIVCU": "METDIV"}
# GDAL's table of 2004 on shows the 2006 state legislative districts as
# reserved fields.
FIELDS_2006 = {"RS_A5": "SLDU", "RS_A6": "SLDL"}


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


def field_names(ds, name):
    layer = ds.GetLayerByName(name)
    if layer is None:
        return set()
    defn = layer.GetLayerDefn()
    return {defn.GetFieldDefn(k).GetName() for k in range(defn.GetFieldCount())}


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
        row = {f: feat.GetField(k) for k, f in enumerate(fields)}
        geom = feat.GetGeometryRef()
        row["_points"] = [] if geom is None else \
            [(micro(geom.GetX(k)), micro(geom.GetY(k))) for k in range(max(1, geom.GetPointCount()))]
        rows.append(row)
    return rows


def text(feat, field):
    v = feat.get(field)
    return "" if v is None else str(v).strip()


def check_release(ds, vintage):
    """GDAL chose the tables of the release: the fields of its layers."""
    polygon, link = field_names(ds, "Polygon"), field_names(ds, "PolyChainLink")
    if vintage < 2000:
        chain, names = field_names(ds, "CompleteChain"), field_names(ds, "EntityNames")
        check({"STSENATE", "STHOUSE", "VTD00", "CTBNA90"} <= polygon and not {"SLDU", "BLKGRP"} & polygon,
              "%d: Polygon fields %s" % (vintage, sorted(polygon)))
        check({"FMCD90L", "BLK90R", "VTDL"} <= chain and "ANRCL" not in chain, "%d: RT3 fields" % vintage)
        check("FIPSYR" in names and "AITSCE" not in names, "%d: RTC fields %s" % (vintage, sorted(names)))
        check(ds.GetLayerByName("KeyFeatures") is not None and "RTLINK" in link, "%d: RT9 and RTI" % vintage)
        return
    want = {2000: {"CTBNA90", "WATER"}, 2002: {"MSACMSACU", "PMSACU"}, 2003: {"CBSACU", "ZCTA5CU"}}
    check(want.get(vintage, {"CBSACU", "UACU", "URCU"}) <= polygon, "%d: Polygon fields %s" % (vintage, sorted(polygon)))
    check(("MSACMSACU" in polygon) == (vintage == 2002), "%d: MSACMSACU in 2002 only" % vintage)
    check(("UACU" in polygon) == (vintage >= 2004), "%d: UACU from 2004" % vintage)
    current = vintage >= 2002
    check({"TZIDS", "TZIDE", "FTSEG"} <= link if current else "RTLINK" in link,
          "%d: PolyChainLink fields %s" % (vintage, sorted(link)))
    check((ds.GetLayerByName("KeyFeatures") is not None) == (not current), "%d: RT9 layer before 2002 only" % vintage)
    check(("DATAYR" if current else "FIPSYR") in field_names(ds, "EntityNames"), "%d: RTC fields" % vintage)


def check_chains(ds, truth, vintage):
    chains = {c["tlid"]: c for c in truth["chains"]}
    sides = ("COUSUBL", "COUSUBR", "PLACEL", "PLACER") if vintage >= 2002 else ("FMCDL", "FMCDR", "FPLL", "FPLR")
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
        for fld, key in zip(sides, ("fmcdl", "fmcdr", "fpll", "fplr")):
            check(same(text(feat, fld), c[key]), "%s of %d" % (fld, tlid))
    check(seen == set(chains), "every chain of the truth is in CompleteChain (%d of %d)" % (len(seen), len(chains)))
    if vintage < 2000:
        check_rt3(ds, truth)

    links = {f["TLID"]: (f["POLYIDL"] or 0, f["POLYIDR"] or 0) for f in features(ds, "PolyChainLink")}
    check(len(links) == len(chains), "one RTI record per chain")
    for tlid, c in chains.items():
        check(links.get(tlid) == (c["polyLeft"], c["polyRight"]), "RTI of %d" % tlid)


def check_rt3(ds, truth):
    """RT3 as GDAL joins it to RT1: the 1990 codes of each side's polygon."""
    chains = {c["tlid"]: c for c in truth["chains"]}
    codes = {field: by_polygon(truth["layers"][layer]) for field, layer in RT3_FIELDS.items()}
    state, county = int(truth["state"]), int(truth["county"])
    for feat in features(ds, "CompleteChain"):
        c = chains.get(feat["TLID"])
        for side, poly in (("L", c["polyLeft"]), ("R", c["polyRight"])) if c else ():
            got = [feat["STATE90" + side], feat["COUN90" + side]] + [text(feat, f + side) for f in RT3_FIELDS]
            want = [state if poly else None, county if poly else None] + [codes[f].get(poly, "") for f in RT3_FIELDS]
            check(all(g == w or (isinstance(w, str) and same(g, w)) for g, w in zip(got, want)),
                  "RT3 side %s of %d: %r != %r" % (side, c["tlid"], got, want))


def check_names(ds, truth):
    """RT4's alternate feature numbers looked up in RT5, applied as the
    converter applies them."""
    names = {}
    for f in features(ds, "FeatureIds"):
        parts = [text(f, "FEDIRP"), text(f, "FENAME"), text(f, "FETYPE"), text(f, "FEDIRS")]
        names[f["FEAT"]] = " ".join(p for p in [(parts[0] + " " + parts[1]).strip()] + parts[2:] if p)
    check(sorted(names) == list(range(1, truth["counts"]["rt5"] + 1)), "RT5 numbering")
    slots = {}
    for feat in sorted(features(ds, "AltName"), key=lambda f: (f["TLID"], f["RTSQ"])):
        feats = feat["FEAT"] or []
        s = slots.setdefault(feat["TLID"], ["", "", ""])
        for k in range(min(3, len(feats))):
            if feats[k]:
                s[k] = names.get(feats[k], "?")
    for c in truth["chains"]:
        check(slots.get(c["tlid"], ["", "", ""]) == c["alt"], "alternate names of %d" % c["tlid"])


def check_landmarks(ds, truth):
    marks = features(ds, "Landmarks")
    check(len(marks) == len(truth["landmarks"]), "RT7 record count")
    for feat, m in zip(marks, truth["landmarks"]):
        check(feat["LAND"] == m["land"] and text(feat, "CFCC") == m["cfcc"]
              and text(feat, "LANAME") == m["name"], "landmark %d" % m["land"])
        if m["located"] and (m["lon"] or m["lat"]):
            check(feat["_points"] == [(m["lon"], m["lat"])], "location of landmark %d" % m["land"])
    links = sorted((f["POLYID"], f["LAND"]) for f in features(ds, "AreaLandmarks"))
    want = sorted((p, m["land"]) for m in truth["landmarkAreas"] for p in m["polygons"])
    check(links == want, "RT8 links")
    if "KGL" in truth["layers"]:
        kgl = sorted((f["POLYID"], int(text(f, "FEAT")), text(f, "CFCC"), text(f, "KGLNAME"))
                     for f in features(ds, "KeyFeatures"))
        want = sorted((p, k["feat"], k["cfcc"], k["name"]) for k in truth["keyLocations"] for p in k["polygons"])
        check(kgl and kgl == want, "RT9 records")


def check_entities(ds, truth, vintage):
    ents = features(ds, "EntityNames")
    check(len(ents) == len(truth["entities"]), "RTC count")
    current = vintage >= 2002
    code_field = {"M": "FIPS", "P": "FIPS", "3": "SD", "4": "SD", "5": "SD", "A": "MA",
                  "I": "AIANHH" if current else "AIR", "U": "UAUGA" if current else "UA",
                  "V": "VTDTRACT" if current else "VTD"}
    for feat, e in zip(ents, truth["entities"]):
        check(text(feat, "ENTITY") == e["type"] and text(feat, "NAME") == e["name"], "entity %s" % e["name"])
        field = code_field.get(e["type"])
        if field:
            check(int(text(feat, field)) == int(e["code"]), "code of entity %s" % e["name"])
        if e["type"] == "C":
            check("%02d%03d" % (feat["STATE"], feat["COUNTY"]) == e["code"], "county code of %s" % e["name"])
    check(truth["counts"]["rtc"] == 0 or any(e["type"] == "C" and e["code"] == truth["code"]
                                             for e in truth["entities"]), "the county's own name")


def polygon_fields(vintage):
    if vintage < 2000:
        return dict(FIELDS_1990S), set(UNREAD_2000)
    if vintage < 2002:
        return dict(FIELDS_2000), set(UNREAD_2000)
    fields = dict(FIELDS_2002)
    fields.update(FIELDS_ONLY_2002 if vintage == 2002 else FIELDS_FROM_2003)
    fields.update(FIELDS_2006 if vintage >= 2006 else {})
    return fields, set()


def by_polygon(entry):
    """The key field's value of each polygon (a block's or block group's
    key holds its tract first: the field alone is what follows it)."""
    cut = entry.get("prefixWidth", 0)
    return {p: key[cut:].strip() for key, ids in entry["keys"].items() for p in ids}


def check_polygons(ds, truth, vintage):
    """RTA and RTS together, GDAL's Polygon layer, and RTP, its PIP layer:
    their fields against the truth's layers."""
    polys = features(ds, "Polygon")
    order = [p["polyid"] for p in truth["polygons"]]
    check([f["POLYID"] for f in polys] == order, "RTS/RTA polygons in POLYID order")
    fields, unread = polygon_fields(vintage)
    checked = set(fields.values()) | unread | {"CNTY", "KGL", "W"}
    check(checked >= set(truth["layers"]), "%d: layers GDAL is not asked for: %s"
          % (vintage, sorted(set(truth["layers"]) - checked)))
    for field, layer in fields.items():
        if layer in truth["absentLayers"]:
            check(all(text(f, field) == "" for f in polys), "%d %s blank: %s" % (vintage, field,
                                                                               truth["absentLayers"][layer]))
        if layer not in truth["layers"]:
            continue
        expect = by_polygon(truth["layers"][layer])
        for f in polys:
            got, want = text(f, field), expect.get(f["POLYID"], "")
            check(same(got, want), "%d %s of polygon %d: %r != %r" % (vintage, field, f["POLYID"], got, want))
    state, county = ("STATECU", "COUNTYCU") if vintage >= 2002 else ("STATE", "COUNTY")
    expect = by_polygon(truth["layers"]["CNTY"])
    for f in polys:
        check("%02d%03d" % (f[state], f[county]) == expect[f["POLYID"]], "county of polygon %d" % f["POLYID"])
    if truth["counts"]["rtp"]:
        points = features(ds, "PIP")
        check([f["POLYID"] for f in points] == order, "RTP polygons in POLYID order")
        check(all(len(f["_points"]) == 1 for f in points), "one internal point per polygon")
    if vintage >= 2002:
        water = by_polygon(truth["layers"]["W"])
        for f in points:
            check(same(text(f, "WATER"), water.get(f["POLYID"], "")), "RTP water flag of %d" % f["POLYID"])
            check(len(f["_points"]) == 1 and f["_points"][0] == (f["POLYLONG"], f["POLYLAT"]),
                  "RTP point of %d" % f["POLYID"])
    water = {p["polyid"] for p in truth["polygons"] if p["water"] not in ("", "0")}
    check(len(water) == truth["counts"]["waterPolygons"], "%d: water polygons counted" % vintage)
    flags = features(ds, "PIP") if vintage >= 2002 else polys
    check(water == {f["POLYID"] for f in flags if text(f, "WATER") not in ("", "0")}, "water polygons")


def main():
    binary = os.path.join(os.environ.get("ZALOR_BIN", "build"), "zalor-mkcounty")
    for vintage in VINTAGES:
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run([binary, "--state", "08", "--county", "901", "--chains", "2500", "--seed", "42",
                            "--vintage", str(vintage), "--out", tmp, "--quiet"], check=True)
            with open(os.path.join(tmp, "TGR08901.truth.json")) as f:
                truth = json.load(f)
            check(truth["chainsListed"] and truth["vintage"] == vintage, "the truth of a small %d county" % vintage)
            gdal.SetConfigOption("TIGER_VERSION", None)
            ds = ogr.Open(tmp)
            check(ds is not None, "GDAL opens the %d county" % vintage)
            if ds is None:
                continue
            check_release(ds, vintage)
            check_chains(ds, truth, vintage)
            check_names(ds, truth)
            check_landmarks(ds, truth)
            check_entities(ds, truth, vintage)
            check_polygons(ds, truth, vintage)
            ds = None
    if FAILURES:
        print("%d failures" % len(FAILURES))
        sys.exit(1)
    print("mkcounty GDAL test: all checks passed")


if __name__ == "__main__":
    main()
