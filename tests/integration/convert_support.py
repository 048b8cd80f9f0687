"""Shared by the end-to-end conversion tests: runs zalor-mkcounty and
zalor-cli, reads every output format back independently (MIF and shapefiles
with GDAL, KXF through zalor-kxfdump --geojson) and provides the TIGER field
conversions and class selections the expectations are built from.

The tests import this module; it is not a test of its own.
"""
import json
import os
import re
import subprocess
import sys

try:
    from osgeo import gdal, ogr, osr
except ImportError:
    # The distribution's interpreter carries the GDAL bindings.
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    print("GDAL Python bindings (python3-gdal) are missing", file=sys.stderr)
    sys.exit(1)

gdal.UseExceptions()
ogr.UseExceptions()
osr.UseExceptions()
gdal.PushErrorHandler("CPLQuietErrorHandler")


# --- checks ----------------------------------------------------------------

class Checks:
    """Counts checks and prints the first failures with what differed."""

    def __init__(self, title, limit=40):
        self.title = title
        self.limit = limit
        self.failures = 0
        self.passed = 0

    def ok(self, cond, what):
        if cond:
            self.passed += 1
            return True
        self.failures += 1
        if self.failures <= self.limit:
            print("FAIL:", what() if callable(what) else what, flush=True)
        return False

    def equal(self, got, want, what):
        return self.ok(got == want, lambda: "%s: got %r, want %r" % (what() if callable(what) else what, got, want))

    def finish(self):
        if self.failures:
            print("%s: %d of %d checks failed" % (self.title, self.failures, self.failures + self.passed))
            sys.exit(1)
        print("%s: all %d checks passed" % (self.title, self.passed))


# --- running the programs ----------------------------------------------------

def binary(name):
    return os.path.join(os.environ.get("ZALOR_BIN", "build"), name)


def make_county(directory, chains=3000, seed=11, state="08", county="901", archive=False, lf=False, vintage=None,
                accented=False):
    """Writes a synthetic county into directory (in the layouts of the
    release of the year vintage; with accented names when accented) and
    returns its truth."""
    args = [binary("zalor-mkcounty"), "--state", state, "--county", county, "--chains", str(chains),
            "--seed", str(seed), "--out", directory, "--quiet"]
    if vintage:
        args += ["--vintage", str(vintage)]
    if archive:
        args.append("--zip")
    if lf:
        args.append("--lf")
    if accented:
        args.append("--accented-names")
    subprocess.run(args, check=True)
    with open(os.path.join(directory, "TGR%s%s.truth.json" % (state, county))) as f:
        return json.load(f)


class Conversion:
    """One run of zalor-cli: exit status, printed output list, log lines."""

    def __init__(self, out, returncode, stdout, stderr, outputs, log):
        self.out = out          # the output directory
        self.returncode = returncode
        self.stdout = stdout
        self.stderr = stderr
        self.outputs = outputs  # main files as the output list gives them, in list order
        self.log = log          # log file lines (when --log was given)

    def file(self, name):
        """The listed output whose file name is name (None when not listed)."""
        for path in self.outputs:
            if os.path.basename(path) == name:
                return path
        return None


OUTPUT_LINE = re.compile(r"^  (.*)  \(([-\d,]+) bytes\)$")


def convert(inputs, out, fmt, boxes, log=None):
    """Converts the inputs into out (no directory levels) in format fmt
    ("mif", "shp", "kxf") with the settings of boxes ({key: value})."""
    args = [binary("zalor-cli"), "-f", fmt, "-o", out, "--set", "RbD0=1"]
    for key, value in boxes.items():
        args += ["--set", "%s=%s" % (key, value)]
    if log:
        args += ["--log", log]
    args += list(inputs)
    p = subprocess.run(args, capture_output=True)
    stdout = p.stdout.decode("latin-1")
    outputs = []
    for line in stdout.splitlines():
        m = OUTPUT_LINE.match(line)
        if m:
            outputs.append(m.group(1))
    outputs.reverse()  # the CLI prints the newest entry first
    lines = []
    if log and os.path.exists(log):
        with open(log, "rb") as f:
            lines = f.read().decode("latin-1").splitlines()
    return Conversion(out, p.returncode, stdout, p.stderr.decode("latin-1"), outputs, lines)


def companions(main):
    """The files written with an output-list entry."""
    stem, ext = os.path.splitext(main)
    ext = ext.upper()
    if ext == ".MIF":
        return [main, stem + ".MID"]
    if ext == ".SHP":
        return [main, stem + ".SHX", stem + ".DBF", stem + ".PRJ", stem + ".CPG"]
    if ext == ".KXF":
        return [main, stem + ".MTD"]
    return [main]


# --- reading outputs back ------------------------------------------------------

class Feature:
    __slots__ = ("fields", "parts", "meta")

    def __init__(self, fields, parts, meta=None):
        self.fields = fields  # column name -> value (texts "" rather than None)
        self.parts = parts    # lines, rings or points: lists of (x, y)
        self.meta = meta or {}


def _parts(geom):
    if geom is None:
        return []
    n = geom.GetGeometryCount()
    if n == 0:
        return [[(p[0], p[1]) for p in (geom.GetPoints() or [])]]
    parts = []
    for i in range(n):
        parts += _parts(geom.GetGeometryRef(i))
    return parts


def micro(v):
    return int(round(v * 1e6))


def to_micro(parts):
    return [[(micro(x), micro(y)) for x, y in part] for part in parts]


class Layer:
    def __init__(self, columns, features, srs=None, header=None):
        self.columns = columns
        self.features = features
        self.srs = srs          # GDAL spatial reference (MIF and SHP)
        self.header = header    # KXF header: {"records", "box"}


def read_layer(path, degrees=True):
    """Reads a MIF, SHP or KXF file. Coordinates are micro-degrees when
    degrees is true, else as stored (projected metres)."""
    if path.upper().endswith(".KXF"):
        return _read_kxf(path)
    ds = ogr.Open(path)
    if ds is None:
        raise RuntimeError("GDAL cannot open %s" % path)
    layer = ds.GetLayer(0)
    defn = layer.GetLayerDefn()
    columns = [defn.GetFieldDefn(k).GetName() for k in range(defn.GetFieldCount())]
    string = {defn.GetFieldDefn(k).GetName() for k in range(defn.GetFieldCount())
              if defn.GetFieldDefn(k).GetType() == ogr.OFTString}
    features = []
    for f in layer:
        fields = {}
        for name in columns:
            v = f.GetField(name)
            fields[name] = "" if v is None and name in string else v
        parts = _parts(f.GetGeometryRef())
        features.append(Feature(fields, to_micro(parts) if degrees else parts))
    srs = layer.GetSpatialRef()
    srs = srs.Clone() if srs is not None else None
    return Layer(columns, features, srs)


# How PROJ is asked for its ways to NAD83: as projinfo does by default, and
# as GIS programs do, with every operation of the area whether its grids are
# at hand or not.
PROJ_SEARCHES = [[], ["--spatial-test", "intersects", "--grid-check", "none"],
                 ["--spatial-test", "intersects", "--grid-check", "known_available"]]


def first_operations_to_nad83(srs):
    """PROJ's first candidate operation from the coordinate system (as GDAL
    read it) to NAD83, for each of PROJ_SEARCHES: (search, description, PROJ
    string), the description None (and the output as the string) when
    projinfo finds none."""
    wkt = srs.ExportToWkt(["FORMAT=WKT2_2019"])
    out = []
    for search in PROJ_SEARCHES:
        run = subprocess.run(["projinfo", "-s", wkt, "-t", "EPSG:4269", "-o", "PROJ", "--single-line"] + search,
                             capture_output=True, text=True)
        lines = [line for line in run.stdout.split("\n") if line.strip()]
        if "Operation No. 1:" not in lines:
            out.append((search, None, run.stdout + run.stderr))
            continue
        rest = lines[lines.index("Operation No. 1:") + 1:]
        proj = next((line for line in rest if line.startswith("+proj=")), "")
        out.append((search, rest[0], proj))
    return out


def check_no_grid_to_nad83(checks, srs, what):
    """PROJ's first way from the system to NAD83 needs no grid, however it
    is asked (a GIS program complains of one whose grid is missing)."""
    for search, description, proj in first_operations_to_nad83(srs):
        label = "%s, projinfo %s" % (what, " ".join(search) or "by default")
        if checks.ok(description is not None, "%s: no operation: %s" % (label, proj)):
            checks.ok("+grids=" not in proj and "grid" not in description,
                      "%s: the first operation needs a grid: %s %s" % (label, description, proj))


def _read_kxf(path):
    p = subprocess.run([binary("zalor-kxfdump"), "--geojson", path], capture_output=True)
    if p.returncode != 0:
        raise RuntimeError("zalor-kxfdump %s: %s" % (path, p.stderr.decode("latin-1").strip()))
    doc = json.loads(p.stdout.decode("utf-8"))
    columns = None
    features = []
    for feat in doc["features"]:
        props = dict(feat["properties"])
        meta = {k: props.pop(k) for k in ("record", "class", "kind")}
        if columns is None:
            columns = list(props)
        geom = feat["geometry"]
        coords = geom["coordinates"]
        parts = [coords] if geom["type"] == "LineString" else coords
        features.append(Feature(props, to_micro(parts), meta))
    header = doc["kxf"]
    return Layer(columns or [], features, None, {"records": header["records"],
                                                 "box": [micro(v) for v in header["box"]]})


def mtd_columns(path):
    """The column names of an MTD file (also when it has no rows)."""
    with open(path, "rb") as f:
        lines = f.read().decode("latin-1").split("\r\n")
    n = int(lines[0].split()[1])
    return [line.split(" ")[0] for line in lines[1:1 + n]]


# --- TIGER conversions -------------------------------------------------------

def _trim(text):
    b, e = 0, len(text)
    while b < e and ord(text[b]) <= 32:
        b += 1
    while e > b and ord(text[e - 1]) <= 32:
        e -= 1
    return text[b:e]


def _signed(v):
    v &= 0xFFFFFFFF
    return v - (1 << 32) if v & 0x80000000 else v


def field_to_int(text):
    """The numeric value of a TIGER field: decimal, or for texts that are no
    number a base-38 code with bit 31 set ("-" after the first character
    counting as "[")."""
    t = _trim(text)
    if not t:
        return 0
    t = t[0] + t[1:].replace("-", "[")
    if all(c in "0123456789:-+" for c in t):
        s = t[1:] if t[0] == "+" else t
        if not s or ":" in s:
            return 0
        try:
            v = int(s)
        except ValueError:
            return 0
        return v if -2 ** 31 <= v < 2 ** 31 else 0
    acc = 0
    for c in t:
        o = ord(c)
        v = o - 55 if ("A" <= c <= "Z" or c == "[") else o - 48
        acc = (acc * 38 + v) & 0xFFFFFFFF
    return _signed(acc | 0x80000000)


def encode_area_key(text):
    t = _trim(text)
    if not t:
        return 0
    if "A" <= t[-1] <= "Z":
        return _signed(field_to_int(t[:-1]) + (ord(t[-1]) - 64) * 1000000)
    return field_to_int(t)


def decode_area_key(key, letters):
    if key <= 1000000 or not letters or key // 1000000 > 26:
        return str(key)
    return "%d%s" % (key % 1000000, chr(64 + key // 1000000))


def has_key_letter(text):
    t = _trim(text)
    return bool(t) and "A" <= t[-1] <= "Z"


def encode_zcta_key(text):
    key, weight = 0, 1
    for c in reversed(_trim(text)):
        if c == " ":
            v = 0
        elif "0" <= c <= "9":
            v = ord(c) - 47
        elif "A" <= c <= "Z":
            v = ord(c) - 54
        else:
            v = ord(c) - 47
        key = (key + v * weight) & 0xFFFFFFFF
        weight = (weight * 37) & 0xFFFFFFFF
    return _signed(key)


def decode_zcta_key(key):
    out = ""
    while key:
        v = key % 37
        key //= 37
        out = (" " if v == 0 else chr(47 + v) if v <= 10 else chr(54 + v)) + out
    return out


# --- class selections of the feature boxes -----------------------------------

def _codes(letter, first, last):
    return {"%s%02d" % (letter, n) for n in range(first, last + 1)}


HYDRO_RANGES = [(0, 2), (10, 13), (20, 22), (30, 32), (40, 42), (50, 53), (60, 60), (70, 75), (80, 81)]


def cfcc_selection(mask, boxes):
    """The CFCC codes that the checked boxes select for a class mask; for the
    all-chains mask 255 the road and hydrography codes are always in."""
    on = lambda key: bool(int(boxes.get(key, 0)))
    forced = mask == 255
    sel = set()
    if mask & 1:
        for n in range(1, 8):
            if forced or on("CbA%d" % n):
                sel |= _codes("A", 10 * n, 10 * n + 9) | _codes("P", 10 * n, 10 * n + 9)
        if forced or on("CbA8"):
            sel |= _codes("F", 80, 89)
    if mask & 2:
        for n in range(1, 5):
            if on("CbB%d" % n):
                sel |= _codes("B", 10 * (n - 1) + 1, 10 * (n - 1) + 3)
        if on("CbB5"):
            sel |= {"B40"}
        if on("CbB6"):
            sel |= _codes("B", 50, 52)
    if mask & 4:
        sel |= {"C%d0" % n for n in range(4) if on("CbC%d" % n)}
    if mask & 8:
        for n in range(10):
            if on("CbZ%d" % n):
                sel |= _codes("D", 10 * n, 10 * n + 9)
    if mask & 16:
        for n in range(3):
            if on("CbE%d" % n):
                sel |= _codes("E", 10 * n, 10 * n + 9)
    if mask & 32:
        for n in range(8):
            if on("CbF%d" % n):
                sel |= _codes("F", 10 * n, 10 * n + 9)
        if on("CbF8"):
            sel |= {"F80"}
    for bit, force in ((64, forced), (256, False), (2048, False)):
        if mask & bit:
            for n, (a, b) in enumerate(HYDRO_RANGES):
                if force or on("CbH%d" % n):
                    sel |= _codes("H", a, b)
    if mask & 128 and on("CbX0"):
        sel |= _codes("X", 0, 9)
    for bit, prefix in ((512, "CbP"), (1024, "CbD")):
        if mask & bit:
            for n in range(10):
                if on("%s%d" % (prefix, n)):
                    sel |= _codes("D", 10 * n, 10 * n + 9)
    return sel


# --- geometry ------------------------------------------------------------------

def chain_points(c):
    return [tuple(c["from"])] + [tuple(p) for p in c["shapes"]] + [tuple(c["to"])]


def reduce_precision(v, digits):
    """A coordinate cut toward zero to digits decimals of a degree."""
    unit = 10 ** (6 - digits)
    return v // unit * unit if v >= 0 else -((-v) // unit * unit)


def check_simplified(checks, got, full, tolerance, what):
    """got is a chain written by the converter, full the chain's points
    (ends and shape points). The ends are kept as they are and the shape
    points written are a subsequence of the chain's that keeps the first and
    the last one. Walking the shape points, one is dropped exactly when it
    repeats the last kept point or its successor, or lies within the
    tolerance of the line through them (on it, for tolerance 0) without the
    path turning back at it."""
    if not checks.ok(len(got) >= 2 and got[0] == full[0] and got[-1] == full[-1],
                     lambda: "%s: ends %r..%r, want %r..%r" % (what, got[:1], got[-1:], full[0], full[-1])):
        return
    shapes = full[1:-1]
    kept = got[1:-1]
    k = 0
    for p in shapes:
        if k < len(kept) and kept[k] == p:
            k += 1
    if not checks.ok(k == len(kept), lambda: "%s: the %d shape points written are no subsequence of %r"
                     % (what, len(kept), shapes)):
        return
    if len(shapes) < 3:
        checks.ok(kept == shapes, lambda: "%s: %d shape points changed" % (what, len(shapes)))
        return
    if not checks.ok(kept[:1] == shapes[:1] and kept[-1:] == shapes[-1:],
                     lambda: "%s: first or last shape point dropped" % what):
        return
    want = [shapes[0]]
    reasons = []
    for j in range(1, len(shapes) - 1):
        a, b, c = want[-1], shapes[j], shapes[j + 1]
        abx, aby = b[0] - a[0], b[1] - a[1]
        bcx, bcy = c[0] - b[0], c[1] - b[1]
        acx, acy = c[0] - a[0], c[1] - a[1]
        cross = abx * acy - aby * acx
        ac2 = acx * acx + acy * acy
        if (abx == 0 and aby == 0) or (bcx == 0 and bcy == 0):
            reasons.append("a repeated point")
            continue
        if abx * bcx + aby * bcy < 0:
            want.append(b)
            continue
        if ac2 == 0 and abx * abx + aby * aby <= tolerance * tolerance or \
                ac2 != 0 and cross * cross <= tolerance * tolerance * ac2:
            reasons.append("within the tolerance")
            continue
        want.append(b)
    want.append(shapes[-1])
    if kept != want:
        n = next((i for i, (x, y) in enumerate(zip(kept, want)) if x != y), min(len(kept), len(want)))
        checks.ok(False, lambda: "%s: shape points written %r, want %r (first difference at %d of the kept)"
                  % (what, kept, want, n))
    else:
        checks.passed += 1
