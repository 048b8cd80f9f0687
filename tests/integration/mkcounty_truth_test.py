"""The records of a synthetic county, read by their columns, agree with the
ground-truth file, in every vintage the generator writes, and the county is
what the converter's tests rely on: a planar network whose polygon links are
consistent, water marked as the readers expect, and every awkward case
present. One seed gives the same county in every vintage; from 2002 the
current codes of RTA differ from the Census 2000 codes of RTS on some
polygons, and every area of a layer named from RTC has its name there.
Before 2000 RT3 carries the 1990 codes of each chain side, RTC and RTS have
their early layouts, the 1990 Census and 1992 files have no RTS, RTC or RT9,
and the files before 1995 are on NAD27 (mkcounty_datum_test.py compares
their coordinates with PROJ's).
"""
import json
import os
import subprocess
import sys
import tempfile
from collections import defaultdict

from mkcounty_checks import (FAILURES, by_polygon, check, check_faces, check_internal_points, check_planar,
                             check_shapes, coord, cols)

VINTAGES = (1990, 1992, 1994, 1995, 1997, 1998, 1999, 2000, 2002, 2003, 2004, 2005, 2006)
VERSION = {1990: "0003", 1992: "0005", 1994: "0021", 1995: "0024", 1997: "1097", 1998: "1298", 1999: "0700",
           2000: "0301", 2002: "1002", 2003: "1203", 2004: "0404", 2005: "0505", 2006: "0806"}
# Record lengths without the line end: the Census 2000 layouts, and those
# from 2002 (which drop RT9 and add RTP).
LENGTHS_2000 = {"RT1": 228, "RT2": 208, "RT4": 58, "RT5": 52, "RT7": 74, "RT8": 36, "RT9": 88,
                "RTA": 98, "RTC": 112, "RTI": 52, "RTS": 120}
LENGTHS_2002 = {"RT1": 228, "RT2": 208, "RT4": 58, "RT5": 56, "RT7": 74, "RT8": 36, "RTA": 210,
                "RTC": 122, "RTI": 127, "RTP": 45, "RTS": 168}
# Before 2000 RT3 and RTP (no water flag) too; the 1990 Census and 1992
# files have no RT9, RTC or RTS.
LENGTHS_1994 = dict(LENGTHS_2000, RT3=111, RTP=44)
LENGTHS_1990 = {k: v for k, v in LENGTHS_1994.items() if k not in ("RT9", "RTC", "RTS")}
# The layers each vintage cannot supply.
NO_1990 = {"FAIR90", "FMCD90", "FPL90", "CTBNA90", "BLK90", "AIR90", "CTPP", "KGL"}
ABSENT = {2000: {"CBSA", "CSA", "METDIV", "SLDU", "SLDL"},
          2002: NO_1990 | {"CBSA", "CSA", "METDIV", "SLDU", "SLDL"},
          2003: NO_1990 | {"SLDU", "SLDL"}, 2004: NO_1990 | {"SLDU", "SLDL"},
          2005: NO_1990 | {"SLDU", "SLDL"}, 2006: NO_1990}
# The 1990s: exactly these layers absent, for these reasons.
CONGRESS = "no 106th or 108th Congress districts"
NO_LATER = {"CBSA": "no CBSA codes", "CSA": "no CBSA codes", "METDIV": "no CBSA codes",
            "SLDU": "no current state legislative districts", "SLDL": "no current state legislative districts"}
REASONS_1994 = dict(NO_LATER, BGP00="no block groups", ZCTA5="no ZIP Code tabulation areas", CD106=CONGRESS,
                    CD108=CONGRESS)
REASONS_1990 = dict(NO_LATER, W="no polygon water flag (RTS)", KGL="no key geographic locations (RT9)",
                    CD106=CONGRESS, CD108=CONGRESS)
REASONS_1990.update((n, "no current codes (RTS)") for n in (
    "FMCD", "FSMCD", "FPL", "CMSAMSA", "PMSA", "FCCITY", "FAIR", "AIR", "TRUST", "ANRC", "CTBNA00", "BLK00", "BGP00",
    "CDCU", "STSENATE", "STHOUSE", "VTD00", "ZCTA5"))
REASONS = {1990: REASONS_1990, 1992: REASONS_1990, 1994: REASONS_1994, 1995: REASONS_1994, 1997: REASONS_1994,
           1998: REASONS_1994, 1999: {k: v for k, v in REASONS_1994.items() if k != "CD106"}}
ABSENT.update((v, set(r)) for v, r in REASONS.items())
# Layers whose areas are named from RTC: the entity type and the columns of
# its code there (the same in both RTC layouts).
NAMED = {"CNTY": ("C", 6, 10), "FMCD": ("M", 15, 19), "FPL": ("P", 15, 19), "CMSAMSA": ("A", 26, 29),
         "PMSA": ("A", 26, 29), "SDUNI": ("3", 30, 34), "SDSEC": ("4", 30, 34), "SDELM": ("5", 30, 34),
         "UA": ("U", 45, 49), "FAIR": ("I", 15, 19), "AIR": ("I", 35, 38), "VTD00": ("V", 39, 44)}
# Layers of Census 2000 areas: the same keys in every vintage that has them.
CENSUS_2000 = ("CTBNA00", "BLK00", "BGP00", "VTD00", "POLYID", "ZCTA5", "W", "CD106", "CD108", "TAZ", "UA",
               "URBFLAG", "STSENATE", "STHOUSE")
# From 2002: the current code (RTA) and its Census 2000 code (RTS) of a
# polygon, as columns; the metropolitan areas are current in 2002 only.
CURRENT_PAIRS = {"CNTY": ((26, 30), (26, 30)), "FAIR": ((43, 47), (42, 46)), "AIR": ((48, 51), (47, 50)),
                 "TRUST": ((52, 52), (51, 51)), "ANRC": ((53, 57), (52, 56)), "FCCITY": ((66, 70), (65, 69)),
                 "FMCD": ((71, 75), (70, 74)), "FSMCD": ((76, 80), (75, 79)), "FPL": ((81, 85), (80, 84)),
                 "SDELM": ((86, 90), (85, 89)), "SDSEC": ((91, 95), (90, 94)), "SDUNI": ((96, 100), (95, 99))}
CURRENT_2002 = {"CMSAMSA": ((101, 104), (100, 103)), "PMSA": ((105, 108), (104, 107))}
CURRENT_2006 = {"SLDU": ((129, 131), (158, 160)), "SLDL": ((132, 134), (161, 163))}


def early_columns(etype, first, last):
    """Before 2000 RTC's fields after the county stand two columns earlier
    and the urbanized area has four characters."""
    if first <= 10:
        return first, last
    return first - 2, 46 if etype == "U" else last - 2


class Files:
    """The record files of one county in one vintage, read once each."""

    def __init__(self, directory, code, vintage):
        self.dir, self.code, self.vintage = directory, code, vintage
        self.current, self.early, self.rts = vintage >= 2002, vintage < 2000, vintage >= 1994
        self.lengths = LENGTHS_2002 if self.current else (LENGTHS_2000 if not self.early else
                                                          LENGTHS_1994 if self.rts else LENGTHS_1990)
        self.cache = {}

    def records(self, kind):
        if kind not in self.cache:
            self.cache[kind] = self.read(kind)
        return self.cache[kind]

    def read(self, kind):
        with open(os.path.join(self.dir, "TGR%s.%s" % (self.code, kind)), "rb") as f:
            data = f.read().decode("latin-1")
        check(data.endswith("\r\n") or data == "", "%s ends in CR LF" % kind)
        lines = data.split("\r\n")[:-1]
        version = VERSION[self.vintage]
        for k, line in enumerate(lines):
            check(len(line) == self.lengths[kind], "%d %s record %d has %d characters"
                  % (self.vintage, kind, k + 1, len(line)))
            if kind == "RT5" and not self.current:
                check(cols(line, 2, 6) == self.code, "RT5 record %d carries the file code" % (k + 1))
            else:
                check(line[0] == kind[-1] and cols(line, 2, 5) == version, "%d %s record %d: type and version %r"
                      % (self.vintage, kind, k + 1, line[:5]))
        return lines


def name_of(dirp, name, typ, dirs=""):
    s = name
    if dirp:
        s = dirp + " " + s
    if typ:
        s += " " + typ
    if dirs:
        s += " " + dirs
    return s


def check_record_set(files):
    names = sorted(n[9:] for n in os.listdir(files.dir) if n.startswith("TGR" + files.code + ".RT"))
    check(names == sorted(files.lengths), "%d record files: %s" % (files.vintage, names))


def check_chain_records(files, truth):
    chains = truth["chains"]
    rt1 = files.records("RT1")
    check(len(rt1) == len(chains), "one RT1 record per chain")
    blocks = {p["polyid"]: p["block"] for p in truth["polygons"]}
    for rec, c in zip(rt1, chains):
        tlid = c["tlid"]
        check(int(cols(rec, 6, 15)) == tlid and cols(rec, 6, 15) == "%10d" % tlid, "RT1 TLID %d" % tlid)
        check(cols(rec, 56, 58) == c["cfcc"], "RT1 CFCC of %d" % tlid)
        parts = [cols(rec, 18, 19).strip(), cols(rec, 20, 49).strip(), cols(rec, 50, 53).strip()]
        check(name_of(*parts) == c["name"], "RT1 name of %d" % tlid)
        for (first, last), key in (((59, 69), "fraddl"), ((70, 80), "toaddl"), ((81, 91), "fraddr"),
                                   ((92, 102), "toaddr")):
            field = cols(rec, first, last)
            check(field.strip() == c[key] and (field.strip() == "" or field[-1] != " "),
                  "RT1 %s of %d right-justified" % (key, tlid))
        for (first, last), key in (((107, 111), "zipl"), ((112, 116), "zipr"), ((141, 145), "fmcdl"),
                                   ((146, 150), "fmcdr"), ((161, 165), "fpll"), ((166, 170), "fplr")):
            check(cols(rec, first, last).strip() == c[key], "RT1 %s of %d" % (key, tlid))
        check([cols(rec, 183, 186).strip(), cols(rec, 187, 190).strip()] ==
              [blocks.get(c["polyLeft"], ""), blocks.get(c["polyRight"], "")], "RT1 blocks of %d" % tlid)
        check([coord(cols(rec, 191, 200)), coord(cols(rec, 201, 209))] == c["from"], "RT1 from of %d" % tlid)
        check([coord(cols(rec, 210, 219)), coord(cols(rec, 220, 228))] == c["to"], "RT1 to of %d" % tlid)
    check([c["tlid"] for c in chains] == sorted(c["tlid"] for c in chains), "chains in TLID order")
    check(max(c["tlid"] for c in chains) < 10 ** 9, "TLIDs of at most nine digits")
    check_shape_records(files, chains)
    check_links(files, chains)
    if files.early:
        check_rt3(files, truth)


def check_rt3(files, truth):
    """RT3: RT1's chains in RT1's order, each side with the 1990 codes of
    its polygon (RTA's), blank outside the county."""
    rt3 = files.records("RT3")
    check([cols(r, 6, 15) for r in rt3] == [cols(r, 6, 15) for r in files.records("RT1")], "RT3 TLIDs are RT1's")
    fields = (("state", 16, 2), ("county", 20, 3), ("FMCD90", 26, 5), ("FPL90", 36, 5), ("CTBNA90", 46, 6),
              ("AIR90", 58, 4), ("BLK90", 70, 4))
    codes = {name: by_polygon(truth["layers"][name]) for name, _, _ in fields[2:]}
    boundary = False
    for rec, c in zip(rt3, truth["chains"]):
        sides = []
        for side, poly in enumerate((c["polyLeft"], c["polyRight"])):
            got = tuple(cols(rec, start + side * width, start + (side + 1) * width - 1).strip()
                        for _, start, width in fields)
            want = ((truth["state"], truth["county"]) if poly else ("", "")) + \
                tuple(codes[name].get(poly, "") for name, _, _ in fields[2:])
            check(got == want, "%d RT3 side %d of %d: %r != %r" % (files.vintage, side, c["tlid"], got, want))
            sides.append(got)
        boundary = boundary or (sides[0][2] and sides[1][2] and sides[0][2] != sides[1][2])
    check(boundary, "an RT3 chain between two 1990 county subdivisions")


def check_shape_records(files, chains):
    """RT2: grouped by TLID in ascending order, sequence 1, 2, ... per chain."""
    shapes = defaultdict(list)
    last_tlid, last_seq = 0, 0
    for rec in files.records("RT2"):
        tlid, seq = int(cols(rec, 6, 15)), int(cols(rec, 16, 18))
        check(tlid > last_tlid or (tlid == last_tlid and seq == last_seq + 1), "RT2 order at %d/%d" % (tlid, seq))
        check(tlid != last_tlid or seq == last_seq + 1, "RT2 sequence of %d" % tlid)
        if tlid != last_tlid:
            check(seq == 1, "RT2 of %d starts at sequence 1" % tlid)
        last_tlid, last_seq = tlid, seq
        ended = False
        for k in range(10):
            lon, lat = cols(rec, 19 + 19 * k, 28 + 19 * k), cols(rec, 29 + 19 * k, 37 + 19 * k)
            if int(lon) == 0:
                check(lon == "+000000000" and lat == "+00000000", "RT2 unused pair zero-filled")
                ended = True
            else:
                check(not ended, "RT2 points after an unused pair")
                shapes[tlid].append([coord(lon), coord(lat)])
    for c in chains:
        check(shapes.get(c["tlid"], []) == c["shapes"], "shape points of %d" % c["tlid"])


def check_links(files, chains):
    """RTI: one per chain, in TLID order, blank POLYID outside the county.
    From 2002 the file code comes first, the TLID and the polygons move and
    the zero-cell identifiers name the chain's end nodes: one per point."""
    rti = files.records("RTI")
    check(len(rti) == len(chains), "one RTI record per chain")
    tlid_at, left_at, right_at = ((11, 20), (46, 55), (61, 70)) if files.current else ((6, 15), (27, 36), (42, 51))
    nodes = {}
    for rec, c in zip(rti, chains):
        check(int(cols(rec, *tlid_at)) == c["tlid"], "RTI TLID")
        check(cols(rec, *((6, 10) if files.current else (16, 20))) == files.code, "RTI file code")
        for (first, last), key in ((left_at, "polyLeft"), (right_at, "polyRight")):
            field = cols(rec, first, last)
            check((field.strip() == "" and c[key] == 0) or (field.strip() != "" and int(field) == c[key]),
                  "RTI %s of %d" % (key, c["tlid"]))
        if files.current:
            for (first, last), end in (((21, 30), "from"), ((31, 40), "to")):
                nodes.setdefault(int(cols(rec, first, last)), set()).add(tuple(c[end]))
    if files.current:
        check(all(len(points) == 1 for points in nodes.values()), "one point per zero-cell")
        check(len({next(iter(p)) for p in nodes.values()}) == len(nodes), "one zero-cell per point")


def check_alternate_names(files, truth):
    o = 4 if files.current else 0
    names = []
    for k, rec in enumerate(files.records("RT5")):
        check(int(cols(rec, 7 + o, 14 + o)) == k + 1 and cols(rec, 2 + o, 6 + o) == files.code,
              "RT5 record %d numbered" % (k + 1))
        names.append(name_of(cols(rec, 15 + o, 16 + o).strip(), cols(rec, 17 + o, 46 + o).strip(),
                             cols(rec, 47 + o, 50 + o).strip(), cols(rec, 51 + o, 52 + o).strip()))
    slots = defaultdict(lambda: ["", "", ""])
    per_chain = defaultdict(int)
    zero_first = False
    for rec in files.records("RT4"):
        tlid = int(cols(rec, 6, 15))
        per_chain[tlid] += 1
        feats = [cols(rec, 19 + 8 * k, 26 + 8 * k) for k in range(5)]
        zero_first = zero_first or (feats[0].strip() == "0" and feats[1].strip() != "")
        for k in range(3):
            n = int(feats[k]) if feats[k].strip() else 0
            if n:
                slots[tlid][k] = names[n - 1]
    for c in truth["chains"]:
        check(slots[c["tlid"]] == c["alt"], "alternate names of %d" % c["tlid"])
    check(any(n >= 2 for n in per_chain.values()), "a chain with two RT4 records")
    check(zero_first, "an RT4 record with FEAT1 = 0")
    check("" in names, "a blank RT5 record")
    check(any(n.count(" ") >= 3 for n in names), "an RT5 name with prefix and suffix")


def check_areas(files, truth):
    """Every polygon's RTS, RTA and RTP records (those the vintage has), and
    every layer's key field of every polygon against the truth's keys."""
    rta = files.records("RTA")
    rts = files.records("RTS") if files.rts else rta
    rtp = files.records("RTP") if "RTP" in files.lengths else rts
    polys = truth["polygons"]
    check(len(rts) == len(polys) and len(rta) == len(polys) and len(rtp) == len(polys),
          "one RTS, RTA and RTP record per polygon")
    block_at, group_at = ((37, 40), 41) if files.current else ((78, 81), 96)
    by_record = {"RTS": rts, "RTA": rta, "RTP": rtp}
    expect = {}
    for name, entry in truth["layers"].items():
        check(entry["keys"], "layer %s has areas" % name)
        if entry["record"] in by_record:
            expect[name] = by_polygon(entry)
    for k, p in enumerate(polys):
        s, a, pip = rts[k], rta[k], rtp[k]
        pid = p["polyid"]
        check(int(cols(s, 16, 25)) == pid and int(cols(a, 16, 25)) == pid and int(cols(pip, 16, 25)) == pid,
              "RTS/RTA/RTP order at %d" % pid)
        check(cols(s, 6, 10) == files.code, "RTS county code")
        if files.early:
            check_early_polygon(files, p, s, a)
        if files.rts:
            check_census_polygon(files, p, s, a, pip, block_at, group_at)
        for name, keys in expect.items():
            entry = truth["layers"][name]
            rec = by_record[entry["record"]][k]
            key = cols(rec, entry["start"], entry["start"] + entry["width"] - 1).strip()
            check(key == keys.get(pid, ""), "%d layer %s of %d: %r" % (files.vintage, name, pid, key))
    if not files.early:
        check_area_content(truth)


def check_census_polygon(files, p, s, a, pip, block_at, group_at):
    """The water flag and the Census 2000 block (and group) of a polygon."""
    pid = p["polyid"]
    flag = cols(pip, 45, 45) if files.current else cols(s, 26, 26)
    water = flag not in (" ", "0")
    check(flag == p["water"], "water flag of %d" % pid)
    block = cols(s, *block_at)
    # Lakes are numbered x99x; the pond's block is numbered as land, so
    # that only its flag says it is water.
    check((block[1:3] == "99") == (flag == "1"), "Census 2000 block of %d: 99 for lakes" % pid)
    if not files.current:
        check((cols(a, 48, 49) == "99") == water, "RTA columns 48-49 of %d" % pid)
    if not files.early:
        check(cols(s, group_at, group_at) == block[0] and block[0].isdigit(), "block group of %d" % pid)
    suffix = cols(a, 41, 41) if files.current else cols(s, 82, 82)
    check(block == p["block"] and suffix.strip() == p["suffix"], "block of %d" % pid)


def check_early_polygon(files, p, s, a):
    """Before 1999 no congressional districts in RTA, before 2000 no 108th;
    nothing after the voting district of RTS; no water flag without RTS."""
    pid = p["polyid"]
    check(not cols(a, 51 if files.vintage < 1999 else 53, 54).strip(), "%d RTA congressional districts of %d"
          % (files.vintage, pid))
    if files.rts:
        check(not cols(s, 103, 120).strip(), "%d RTS columns 103-120 of %d blank" % (files.vintage, pid))
    else:
        check(p["water"] == "", "%d: no water flag for %d" % (files.vintage, pid))


def check_area_content(truth):
    layers, polys, chains = truth["layers"], truth["polygons"], truth["chains"]
    check(sum(1 for p in polys if p["water"] != "0") >= 2, "several water polygons")
    check(any(len(v) > 10 for v in layers["CTBNA00"]["keys"].values()), "tracts of many polygons")
    fpl = layers["FPL"]["keys"]
    check(any(components(ids, chains) >= 2 for ids in fpl.values()), "a place of several parts")
    check(any(components(ids, chains) == 1 and boundary_rings(ids, chains) >= 2 for ids in fpl.values()),
          "a place with an enclave")
    suffixed = [p for p in polys if p["suffix"]]
    check(any(p["suffix"] == "A" for p in suffixed) and any(p["suffix"] == "B" for p in suffixed), "split blocks")
    zcta = layers["ZCTA5"]["keys"]
    check(any(k.endswith("HH") for k in zcta) and any(k.endswith("XX") for k in zcta), "ZCTA5 with letters")
    check(len(layers["AIR"]["keys"]) >= 1 and all(len(k) == 4 for k in layers["AIR"]["keys"]), "AIR codes")


def check_current_codes(files, truth):
    """From 2002 a current code (RTA) equals its Census 2000 code (RTS) on
    most polygons and differs on some, and the truth keys the current one."""
    pairs = dict(CURRENT_PAIRS)
    pairs.update(CURRENT_2002 if files.vintage == 2002 else {})
    pairs.update(CURRENT_2006 if files.vintage == 2006 else {})
    rts, rta = files.records("RTS"), files.records("RTA")
    for name, (now, then) in pairs.items():
        differ = sum(1 for s, a in zip(rts, rta) if cols(a, *now).strip() != cols(s, *then).strip())
        check(0 < differ < len(rta) / 4, "%d %s: the current code differs from the Census 2000 one on %d of %d "
              "polygons" % (files.vintage, name, differ, len(rta)))
        entry = truth["layers"][name]
        check((entry["record"], entry["start"], entry["start"] + entry["width"] - 1) == ("RTA",) + now,
              "%d %s keyed by the current code" % (files.vintage, name))
    check(any(cols(a, 81, 85).strip() and not cols(s, 80, 84).strip() for s, a in zip(rts, rta)),
          "a polygon with a current place and no Census 2000 place")


def check_landmarks(files, truth):
    rt7 = files.records("RT7")
    check(len(rt7) == len(truth["landmarks"]), "RT7 count")
    for rec, m in zip(rt7, truth["landmarks"]):
        check(int(cols(rec, 11, 20)) == m["land"] and cols(rec, 22, 24) == m["cfcc"]
              and cols(rec, 25, 54).strip() == m["name"], "RT7 %d" % m["land"])
        if m["located"]:
            check(coord(cols(rec, 55, 64)) == m["lon"] and coord(cols(rec, 65, 73)) == m["lat"], "RT7 location")
        else:
            check(cols(rec, 55, 73).strip() == "", "area landmark %d without coordinates" % m["land"])
    names = [m["name"] for m in truth["landmarks"]]
    check(any(len(n) == 30 for n in names) and "" in names, "landmark names of 30 characters and blank")
    check(any(m["located"] and m["lon"] == 0 for m in truth["landmarks"]), "a landmark at coordinates 0")
    by_land = {m["land"]: m for m in truth["landmarks"]}
    links = defaultdict(list)
    for rec in files.records("RT8"):
        links[int(cols(rec, 26, 35))].append(int(cols(rec, 16, 25)))
    for a in truth["landmarkAreas"]:
        check(sorted(links[a["land"]]) == a["polygons"], "RT8 of landmark %d" % a["land"])
        check(a["land"] in by_land and by_land[a["land"]]["cfcc"] == a["cfcc"], "RT7 of area landmark %d" % a["land"])
    check(any(len(a["polygons"]) > 1 for a in truth["landmarkAreas"] if a["cfcc"].startswith("D")),
          "a landmark area of several polygons")
    check(any(a["cfcc"].startswith("H") for a in truth["landmarkAreas"]), "a landmark water area")
    if "RT9" not in files.lengths:
        check(truth["keyLocations"] == [] and truth["counts"]["rt9"] == 0, "no key geographic locations without RT9")
        return
    kgl = defaultdict(list)
    for rec in files.records("RT9"):
        kgl[int(cols(rec, 80, 87))].append(int(cols(rec, 16, 25)))
        check(cols(rec, 27, 27) == "D", "RT9 CFCC is a D class")
    check(kgl and {str(f): sorted(p) for f, p in kgl.items()} == truth["layers"]["KGL"]["keys"], "KGL layer")
    for k in truth["keyLocations"]:
        check(sorted(kgl[k["feat"]]) == k["polygons"], "RT9 of %s" % k["name"])


def check_entities(files, truth):
    if "RTC" not in files.lengths:
        check(truth["entities"] == [] and truth["counts"]["rtc"] == 0, "%d: no entities without RTC" % files.vintage)
        return
    rtc = files.records("RTC")
    name_at, gap = ((63, 122), (53, 62)) if files.current else (((47, 112), None) if files.early else ((53, 112),
                                                                                                       (52, 52)))
    type_at = 23 if files.early else 25
    check(len(rtc) == len(truth["entities"]), "RTC count")
    for rec, e in zip(rtc, truth["entities"]):
        check(cols(rec, type_at, type_at) == e["type"] and cols(rec, *name_at).strip() == e["name"],
              "RTC %s" % e["name"])
        check(gap is None or cols(rec, *gap).strip() == "", "RTC columns %s blank before the name" % (gap,))
        first, last = e["columns"]
        check(cols(rec, first, last).strip() == e["code"], "RTC code of %s" % e["name"])
    types = {e["type"] for e in truth["entities"]}
    check(set("CMP345IAUV") <= types, "RTC entity types present")
    own = [e for e in truth["entities"] if e["type"] == "C" and e["code"] == files.code]
    check(len(own) == 1 and own[0]["name"] == truth["name"], "the county's own RTC record")
    check(any(e["type"] == "C" and e["code"] != files.code for e in truth["entities"]), "a neighbouring county")
    # Every key of a layer named from RTC has its name there.
    for layer, (etype, first, last) in NAMED.items():
        if files.early:
            first, last = early_columns(etype, first, last)
        named = {cols(r, first, last).strip() for r in rtc if r[type_at - 1] == etype}
        missing = sorted(set(truth["layers"][layer]["keys"]) - named)
        check(not missing, "%d %s areas without an RTC name: %s" % (files.vintage, layer, missing))


def check_same_county(files, truths):
    """One seed, one county: the vintages differ only in what their layouts,
    codes and datum change."""
    base, base_files = truths[2000], files[2000]
    every = set(base["layers"]) | set(base["absentLayers"])
    for v, t in truths.items():
        nad27 = v < 1995
        check((t["vintage"], t["versionCode"], t["datum"]) == (v, VERSION[v], "NAD27" if nad27 else "NAD83"),
              "vintage, version code and datum of %d" % v)
        same = ("code", "name", "cfcc", "landmarkAreas") + (() if nad27 else ("extent", "chains", "landmarks"))
        for key in same + (("polygons",) if v >= 1994 else ()):
            check(t[key] == base[key], "%d: the same %s as 2000" % (v, key))
        if v >= 2000:
            check(t["entities"][:len(base["entities"])] == base["entities"], "%d: the Census 2000 entities" % v)
        check(set(t["absentLayers"]) == ABSENT[v] and set(t["layers"]) | set(t["absentLayers"]) == every
              and not set(t["layers"]) & set(t["absentLayers"]), "%d: layers and absent layers" % v)
        check(v not in REASONS or t["absentLayers"] == REASONS[v], "%d: absent layers and reasons" % v)
        census = CENSUS_2000 + (("CMSAMSA", "PMSA") if v >= 2003 else ())
        for layer in census:
            if layer in t["layers"]:
                check(t["layers"][layer]["keys"] == base["layers"][layer]["keys"], "%d: the same %s areas" % (v, layer))
        for kind in ("RT4", "RT8") + (() if nad27 else ("RT1", "RT2", "RT7")):
            same = [r[:1] + r[5:] for r in files[v].records(kind)] == [r[:1] + r[5:] for r in base_files.records(kind)]
            check(same, "%d: %s as in 2000 but for the version code" % (v, kind))
        if v < 2000:
            check_same_early(files[v], base_files, t, base)
        if v >= 2002:
            cd = {p: k for k, ids in t["layers"]["CDCU"]["keys"].items() for p in ids}
            cd2000 = {p: k for k, ids in base["layers"]["CDCU"]["keys"].items() for p in ids}
            check(cd != cd2000, "%d: current congressional districts other than the Census 2000 ones" % v)


def check_same_early(f, base_files, t, base):
    """Before 2000: every layer keyed as in 2000, the entities of 2000 in
    the early columns, the chains of 2000 on NAD27 too; RTA and RTI as in
    2000 but for the version (and the congressional districts), RTS up to
    column 84."""
    v = f.vintage
    for layer, entry in t["layers"].items():
        check(entry["keys"] == base["layers"][layer]["keys"], "%d: the same %s areas as 2000" % (v, layer))
    if f.rts:
        want = [dict(e, columns=list(early_columns(e["type"], *e["columns"]))) for e in base["entities"]]
        check(t["entities"] == want, "%d: the entities of 2000 in the early columns" % v)
    check([(p["polyid"], p["block"], p["suffix"]) for p in t["polygons"]] ==
          [(p["polyid"], p["block"], p["suffix"]) for p in base["polygons"]], "%d: the polygons of 2000" % v)

    def placeless(items):
        return [{k: x for k, x in i.items() if k not in ("from", "to", "shapes", "lon", "lat")} for i in items]
    for key in ("chains", "landmarks"):
        check(placeless(t[key]) == placeless(base[key]), "%d: the %s of 2000 but for coordinates" % (v, key))
    cd = 50 if v < 1999 else 52
    kept = {"RTA": lambda r: r[:1] + r[5:cd] + r[54:], "RTI": lambda r: r[:1] + r[5:], "RTS": lambda r: r[:1] + r[5:84]}
    for kind, keep in kept.items():
        if kind in f.lengths:
            check([keep(r) for r in f.records(kind)] == [keep(r) for r in base_files.records(kind)],
                  "%d: %s as in 2000 but for the version code and the later columns" % (v, kind))


def components(ids, chains):
    """Connected groups of polygons (through chains between two of them)."""
    parent = {p: p for p in ids}

    def find(p):
        while parent[p] != p:
            parent[p] = parent[parent[p]]
            p = parent[p]
        return p
    for c in chains:
        if c["polyLeft"] in parent and c["polyRight"] in parent:
            parent[find(c["polyLeft"])] = find(c["polyRight"])
    return len({find(p) for p in ids})


def boundary_rings(ids, chains):
    """Connected runs of the chains that bound a group of polygons."""
    members = set(ids)
    edges = [(tuple(c["from"]), tuple(c["to"])) for c in chains
             if (c["polyLeft"] in members) != (c["polyRight"] in members)]
    parent = {}

    def find(p):
        parent.setdefault(p, p)
        while parent[p] != p:
            parent[p] = parent[parent[p]]
            p = parent[p]
        return p
    for a, b in edges:
        parent[find(a)] = find(b)
    return len({find(a) for a, _ in edges})


def check_content(truth):
    cfcc = truth["cfcc"]
    for prefix in ["A1", "A2", "A3", "A4", "A5", "A6", "A7", "B", "C", "E", "F8", "H", "X", "P"] + \
            ["D%d" % k for k in range(1, 10)]:
        check(any(k.startswith(prefix) for k in cfcc), "a chain of class %s" % prefix)
    check(sum(cfcc.values()) == len(truth["chains"]), "CFCC counts add up")
    chains = truth["chains"]
    check(any(len(c["shapes"]) > 10 for c in chains), "a chain over several RT2 records")
    check(any("-" in c["fraddl"] for c in chains), "non-numeric addresses")
    check(any(c["zipl"].startswith("0") for c in chains), "a ZIP code with a leading zero")
    check(any(c["name"] == "" for c in chains) and any(c["name"] for c in chains), "named and unnamed chains")
    named = defaultdict(int)
    for c in chains:
        named[c["name"]] += 1
    check(max(v for k, v in named.items() if k) > 10, "names shared by many chains")
    check(any(c["fmcdl"] != c["fmcdr"] and c["fmcdl"] and c["fmcdr"] for c in chains), "FMCD boundaries")
    ext = truth["extent"]
    xs = [p[0] for c in chains for p in [c["from"], c["to"]] + c["shapes"]]
    ys = [p[1] for c in chains for p in [c["from"], c["to"]] + c["shapes"]]
    check([ext["minLon"], ext["minLat"], ext["maxLon"], ext["maxLat"]] == [min(xs), min(ys), max(xs), max(ys)],
          "extent")
    check(-125000000 < min(xs) and max(xs) < -66000000 and 24000000 < min(ys) and max(ys) < 50000000,
          "in the contiguous United States")


def check_accented(binary, tmp):
    """--accented-names: the records hold the truth's names as Latin-1
    bytes, and some names of every kind are accented, some fill their
    fields, in the early, Census 2000 and current layouts."""
    for vintage in (1994, 2000, 2006):
        d = os.path.join(tmp, "accented%d" % vintage)
        subprocess.run([binary, "--state", "35", "--county", "013", "--chains", "1500", "--seed", "3",
                        "--vintage", str(vintage), "--accented-names", "--out", d, "--quiet"], check=True)
        with open(os.path.join(d, "TGR35013.truth.json")) as f:
            truth = json.load(f)
        f = Files(d, "35013", vintage)
        check_record_set(f)
        check_chain_records(f, truth)
        check_alternate_names(f, truth)
        check_landmarks(f, truth)
        check_entities(f, truth)
        accented = lambda names: [n for n in names if any(127 < ord(ch) < 256 for ch in n)]
        primary = [c["name"] for c in truth["chains"]]
        alternate = [a for c in truth["chains"] for a in c["alt"]]
        landmarks = [m["name"] for m in truth["landmarks"]]
        entities = [e["name"] for e in truth["entities"]]
        for kind, names, longest in (("primary", primary, 38), ("alternate", alternate, 41),
                                     ("landmark", landmarks, 30), ("entity", entities, 60)):
            check(accented(names) and max(len(n) for n in names) == longest,
                  "%d: accented %s names, the longest of %d characters" % (vintage, kind, longest))
        check(truth["name"] == "Do\u00f1a Ana County", "%d: the county's name" % vintage)


def main():
    binary = os.path.join(os.environ.get("ZALOR_BIN", "build"), "zalor-mkcounty")
    with tempfile.TemporaryDirectory() as tmp:
        check_accented(binary, tmp)
    for seed, chains, state, county in ((42, 2500, "08", "901"), (5, 1000, "17", "031")):
        code = state + county
        with tempfile.TemporaryDirectory() as tmp:
            truths, files = {}, {}
            for vintage in VINTAGES:
                d = os.path.join(tmp, str(vintage))
                subprocess.run([binary, "--state", state, "--county", county, "--chains", str(chains),
                                "--seed", str(seed), "--vintage", str(vintage), "--out", d, "--quiet"], check=True)
                with open(os.path.join(d, "TGR%s.truth.json" % code)) as f:
                    truth = json.load(f)
                check(truth["code"] == code and truth["chainsListed"], "truth header")
                f = files[vintage] = Files(d, code, vintage)
                check_record_set(f)
                check_chain_records(f, truth)
                check_alternate_names(f, truth)
                check_areas(f, truth)
                check_landmarks(f, truth)
                check_entities(f, truth)
                if f.current:
                    check_current_codes(f, truth)
                if "RTP" in f.lengths:
                    check_internal_points(f.records("RTP"), truth)
                truths[vintage] = truth
            check_same_county(files, truths)
            # The network is the same in every vintage: its checks once.
            truth = truths[2000]
            check(abs(len(truth["chains"]) - chains) < chains * 0.25 or chains < 1300, "about %d chains" % chains)
            check_planar(truth)
            check_shapes(truth)
            check_faces(truth)
            check_content(truth)
    if FAILURES:
        print("%d failures" % len(FAILURES))
        sys.exit(1)
    print("mkcounty truth test: all checks passed")


if __name__ == "__main__":
    main()
