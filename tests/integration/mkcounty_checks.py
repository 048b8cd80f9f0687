"""Checks shared by the tests of zalor-mkcounty's counties: record fields
by column, and the geometry of a county's truth (planar network, no
redundant shape points, polygons on the left of their chains, internal
points inside their polygons).
"""
import math
from collections import defaultdict

FAILURES = []


def check(cond, what):
    if not cond:
        FAILURES.append(what)
        if len(FAILURES) <= 30:
            print("FAIL:", what)


def cols(rec, first, last):
    return rec[first - 1:last]


def coord(text):
    check(text[0] in "+-" and text[1:].isdigit(), "coordinate field %r" % text)
    return int(text)


def by_polygon(entry):
    """The key field's value of each polygon (a block's or block group's
    key holds its tract first: the field alone is what follows it)."""
    cut = entry.get("prefixWidth", 0)
    return {p: key[cut:].strip() for key, ids in entry["keys"].items() for p in ids}


def check_internal_points(rtp, truth):
    """RTP's point of each polygon lies inside it (even-odd over the chains
    that have the polygon on one side only)."""
    rings = defaultdict(list)
    for c in truth["chains"]:
        if c["polyLeft"] != c["polyRight"]:
            for seg in segments(c):
                rings[c["polyLeft"]].append(seg)
                rings[c["polyRight"]].append(seg)
    for rec in rtp:
        pid, x, y = int(cols(rec, 16, 25)), coord(cols(rec, 26, 35)), coord(cols(rec, 36, 44))
        inside = False
        for a, b in rings[pid]:
            if (a[1] > y) != (b[1] > y) and x < a[0] + (y - a[1]) * (b[0] - a[0]) / (b[1] - a[1]):
                inside = not inside
        check(inside, "internal point of polygon %d inside it" % pid)


def segments(c):
    pts = [tuple(c["from"])] + [tuple(p) for p in c["shapes"]] + [tuple(c["to"])]
    return list(zip(pts, pts[1:]))


def orient(a, b, c):
    v = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])
    return (v > 0) - (v < 0)


def on_segment(p, a, b):
    return (orient(a, b, p) == 0 and min(a[0], b[0]) <= p[0] <= max(a[0], b[0])
            and min(a[1], b[1]) <= p[1] <= max(a[1], b[1]))


def intersect(s, t):
    (a, b), (c, d) = s, t
    o1, o2, o3, o4 = orient(a, b, c), orient(a, b, d), orient(c, d, a), orient(c, d, b)
    if o1 != o2 and o3 != o4 and 0 not in (o1, o2, o3, o4):
        return True
    return on_segment(c, a, b) or on_segment(d, a, b) or on_segment(a, c, d) or on_segment(b, c, d)


def check_planar(truth):
    """Chains meet only at their end nodes."""
    chains = truth["chains"]
    segs = []
    for ci, c in enumerate(chains):
        for k, s in enumerate(segments(c)):
            segs.append((ci, k, s))
    cell = 1500
    grid = defaultdict(list)
    for n, (ci, k, (a, b)) in enumerate(segs):
        for gx in range(min(a[0], b[0]) // cell, max(a[0], b[0]) // cell + 1):
            for gy in range(min(a[1], b[1]) // cell, max(a[1], b[1]) // cell + 1):
                grid[(gx, gy)].append(n)
    nodes = set()
    for c in chains:
        nodes.add(tuple(c["from"]))
        nodes.add(tuple(c["to"]))
    bad = 0
    tested = set()
    for members in grid.values():
        for x in range(len(members)):
            for y in range(x + 1, len(members)):
                m, n = members[x], members[y]
                if (m, n) in tested:
                    continue
                tested.add((m, n))
                (ci, ki, s), (cj, kj, t) = segs[m], segs[n]
                if ci == cj and abs(ki - kj) <= 1:
                    continue  # consecutive segments of one chain share a point
                if not intersect(s, t):
                    continue
                shared = set(s) & set(t)
                # Segments may touch only at a node both chains end at.
                if shared and all(p in nodes for p in shared) and len(shared) == 1:
                    p = shared.pop()
                    if not (on_segment(p, *s) and on_segment(p, *t)):
                        continue
                    if any(on_segment(q, *t) and q != p for q in s) or any(on_segment(q, *s) and q != p for q in t):
                        bad += 1
                    continue
                bad += 1
    check(bad == 0, "chains cross or touch away from their end nodes (%d cases)" % bad)


def check_shapes(truth):
    """No shape point is redundant: no repeats, no three in a row on one line."""
    for c in truth["chains"]:
        s = c["shapes"]
        for k in range(1, len(s) - 1):
            a, b, d = s[k - 1], s[k], s[k + 1]
            cross = (b[0] - a[0]) * (d[1] - a[1]) - (b[1] - a[1]) * (d[0] - a[0])
            length = math.hypot(d[0] - a[0], d[1] - a[1])
            check(length > 0 and abs(cross) / length >= 1, "shape point %d of %d is redundant" % (k, c["tlid"]))


def check_faces(truth):
    """Each polygon lies on the left of its chains as RTI says: walking its
    boundary with it on the left encloses a positive area."""
    area = defaultdict(int)
    for c in truth["chains"]:
        twice = sum(a[0] * b[1] - b[0] * a[1] for a, b in segments(c))
        area[c["polyLeft"]] += twice
        area[c["polyRight"]] -= twice
    polys = [p["polyid"] for p in truth["polygons"]]
    check(polys == list(range(1, len(polys) + 1)), "POLYIDs 1..n")
    for p in polys:
        check(area[p] > 0, "polygon %d lies on the left of its boundary" % p)
    check(area[0] < 0, "the outside encloses the county")
    check(set(area) == set(polys) | {0}, "every polygon bounded by chains")
    check(any(c["polyLeft"] == c["polyRight"] and c["polyLeft"] for c in truth["chains"]),
          "a dangling chain inside a polygon")
    check(any(c["from"] == c["to"] for c in truth["chains"]), "a polygon bounded by one closed chain")
