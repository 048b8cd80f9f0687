"""The files of the releases on another datum than NAD83 hold PROJ's
conversion of the NAD83 county: NAD27 before 1995, and the local datums of
Hawaii, Puerto Rico and the Virgin Islands (before 1995), Guam, the
Northern Marianas and American Samoa (before 2000). Every chain end, shape
point, internal point and landmark point agrees with cs2cs within a
micro-degree; chains that shared an end point still share it, and the
network stays planar, its polygons on the left of their chains and its
internal points inside them. From 1995 (2000 for Hawaii and the Pacific)
the county is the NAD83 one.
"""
import json
import os
import subprocess
import sys
import tempfile

from mkcounty_checks import (FAILURES, check, check_faces, check_internal_points, check_planar, check_shapes,
                             coord, cols)

SEED, CHAINS = 23, 1200
# State, vintage, the datum of its files and that datum's EPSG code.
CONVERTED = (("08", 1994, "NAD27", 4267), ("02", 1990, "NAD27", 4267), ("15", 1999, "Old Hawaiian", 4135),
             ("78", 1994, "Puerto Rico", 4139), ("72", 1992, "Puerto Rico", 4139), ("66", 1997, "Guam 1963", 4675),
             ("69", 1990, "Guam 1963", 4675), ("60", 1998, "American Samoa 1962", 4169))
ON_NAD83 = (("72", 1995), ("17", 1995), ("15", 2000), ("60", 2002))


def generate(tmp, state, vintage):
    out = os.path.join(tmp, "%s-%d" % (state, vintage))
    subprocess.run([os.path.join(os.environ.get("ZALOR_BIN", "build"), "zalor-mkcounty"), "--state", state,
                    "--county", "005", "--chains", str(CHAINS), "--seed", str(SEED), "--curved-streets", "40",
                    "--vintage", str(vintage), "--out", out, "--quiet"], check=True)
    with open(os.path.join(out, "TGR%s005.truth.json" % state)) as f:
        truth = json.load(f)
    rtp = os.path.join(out, "TGR%s005.RTP" % state)
    if not os.path.exists(rtp):
        return truth, []
    with open(rtp, encoding="latin-1") as f:
        return truth, f.read().splitlines()


def internal_points(rtp):
    return {int(cols(r, 16, 25)): (coord(cols(r, 26, 35)), coord(cols(r, 36, 44))) for r in rtp}


def pairs(truth, rtp, ref, ref_rtp):
    """(NAD83 point, written point) of the chain ends, and of every other
    point the two counties have in common: shape points (where the chain
    kept all of them), internal points and landmark points."""
    ends, out, dropped = [], [], 0
    for c, r in zip(truth["chains"], ref["chains"]):
        ends += [(tuple(r["from"]), tuple(c["from"])), (tuple(r["to"]), tuple(c["to"]))]
        if len(c["shapes"]) == len(r["shapes"]):
            out += [(tuple(p), tuple(q)) for p, q in zip(r["shapes"], c["shapes"])]
        else:
            dropped += len(r["shapes"]) - len(c["shapes"])
    total = sum(len(r["shapes"]) for r in ref["chains"])
    check(0 <= dropped <= total // 1000, "shape points dropped after conversion: %d of %d" % (dropped, total))
    inside, ref_inside = internal_points(rtp), internal_points(ref_rtp)
    out += [(ref_inside[p], inside[p]) for p in sorted(ref_inside)]
    out += [((r["lon"], r["lat"]), (m["lon"], m["lat"])) for m, r in zip(truth["landmarks"], ref["landmarks"])
            if r["located"] and (r["lon"], r["lat"]) != (0, 0)]
    return ends, out


def cs2cs(points, epsg):
    """The points converted from NAD83 by PROJ's command, in micro-degrees."""
    text = "".join("%.6f %.6f\n" % (y / 1e6, x / 1e6) for x, y in points)
    r = subprocess.run(["cs2cs", "-f", "%.9f", "EPSG:4269", "EPSG:%d" % epsg], input=text, capture_output=True,
                       text=True, check=True)
    out = []
    for line in r.stdout.splitlines():
        lat, lon = line.split()[:2]
        out.append((round(float(lon) * 1e6), round(float(lat) * 1e6)))
    return out


def check_converted(tmp, ref, ref_rtp, state, vintage, datum, epsg):
    truth, rtp = generate(tmp, state, vintage)
    label = "%s %d" % (state, vintage)
    check(truth["datum"] == datum, "%s: datum %s, not %s" % (label, truth["datum"], datum))
    ends, others = pairs(truth, rtp, ref, ref_rtp)
    common = ends + others
    want = cs2cs([p for p, _ in common], epsg)
    off = [(p, q, w) for (p, q), w in zip(common, want) if abs(q[0] - w[0]) > 1 or abs(q[1] - w[1]) > 1]
    check(len(want) == len(common) and not off, "%s: %d of %d points are not PROJ's: %s"
          % (label, len(off), len(common), off[:3]))
    if epsg in (4267, 4135):
        check(max(abs(q[0] - p[0]) + abs(q[1] - p[1]) for p, q in common) > 100, "%s: points moved" % label)
    # Chains that met at a point still meet there, and only they.
    ends = {}
    nodes = {}
    for p, q in ends:
        nodes.setdefault(p, set()).add(q)
    check(all(len(v) == 1 for v in nodes.values()), "%s: a shared end point became several" % label)
    check(len({next(iter(v)) for v in nodes.values()}) == len(nodes), "%s: two end points became one" % label)
    check_planar(truth)
    check_shapes(truth)
    check_faces(truth)
    check_internal_points(rtp, truth)


def main():
    with tempfile.TemporaryDirectory() as tmp:
        ref, ref_rtp = generate(tmp, "08", 2002)
        check(ref["datum"] == "NAD83", "the 2002 county is on NAD83")
        for state, vintage, datum, epsg in CONVERTED:
            check_converted(tmp, ref, ref_rtp, state, vintage, datum, epsg)
        for state, vintage in ON_NAD83:
            truth, rtp = generate(tmp, state, vintage)
            check(truth["datum"] == "NAD83" and truth["chains"] == ref["chains"] and
                  (vintage == 2000 or internal_points(rtp) == internal_points(ref_rtp)),
                  "%s %d: the NAD83 county" % (state, vintage))
    if FAILURES:
        print("%d failures" % len(FAILURES))
        sys.exit(1)
    print("mkcounty datum test: all checks passed")


if __name__ == "__main__":
    main()
