"""Declared widths hold the values: the bundled sample county and a
generated one with names that fill their record fields, converted with
every layer (centroids too) into MIF, shapefiles, KXF and a GeoPackage.
Every text column of every MIF header, MTD and DBF is at least as wide
as the longest value of its layer, counted in bytes: the file's own values
(MID, MTD), and the GeoPackage's, which holds every value whole (for the
DBF, which cannot hold more than its width, those are the only witness).
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from convert_support import Checks, binary, encode_zcta_key, make_county, ogr  # noqa: E402

SOURCE = os.environ.get("ZALOR_SRC", os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
SAMPLE = os.path.join(SOURCE, "samples", "TGR08901.ZIP")
CHECKS = Checks("column widths test")
CHAR = re.compile(r"^char \((\d+)\)$", re.IGNORECASE)


def convert(archive, out, fmt):
    args = [binary("zalor-cli"), "-q", "-f", fmt, "-o", out, "--set", "RbD0=1", "--lines", "all", "--areas", "all",
            "--points", "--fields", "all", "--centroids", archive]
    p = subprocess.run(args, capture_output=True, text=True, errors="replace")
    CHECKS.equal(p.returncode, 0, "%s conversion of %s exits 0 (%s)" % (fmt, archive, p.stderr.strip()[:300]))


def size(value):
    """A value's length in the files' bytes (None and reals count 0)."""
    if isinstance(value, str):
        return len(value.encode("latin-1"))
    if isinstance(value, int):
        return len(str(value))
    return 0


def mid_values(line):
    """The values of a MID or MTD row: "," outside double quotes separates
    them; a quoted text loses its quotes and its doubled quotes are single."""
    values, start, quoted = [], 0, False
    for i, ch in enumerate(line + ","):
        if ch == '"':
            quoted = not quoted
        elif ch == "," and not quoted:
            v = line[start:i]
            if v.startswith('"') and v.endswith('"') and len(v) >= 2:
                v = v[1:-1].replace('""', '"')
            values.append(v)
            start = i + 1
    return values


def read_text(path):
    with open(path, "rb") as f:
        return f.read().decode("latin-1").split("\r\n")


def text_columns(lines, first, count):
    """(name, width or None) of the column lines."""
    columns = []
    for line in lines[first:first + count]:
        name, _, kind = line.partition(" ")
        m = CHAR.match(kind.strip())
        columns.append((name, int(m.group(1)) if m else None))
    return columns


def read_mif(path):
    """The columns of a MIF header and the rows of its MID."""
    lines = read_text(path)
    at = next(i for i, line in enumerate(lines) if line.upper().startswith("COLUMNS "))
    columns = text_columns(lines, at + 1, int(lines[at].split()[1]))
    rows = [mid_values(line) for line in read_text(path[:-4] + ".MID") if line]
    return columns, rows


def read_mtd(path):
    lines = read_text(path)
    columns = text_columns(lines, 1, int(lines[0].split()[1]))
    data = lines.index("DATA")
    return columns, [mid_values(line) for line in lines[data + 1:] if line]


def read_dbf(path):
    """(name, type, length) of a DBF's fields, read from its header."""
    with open(path, "rb") as f:
        head = f.read(32)
        header_length = struct.unpack("<H", head[8:10])[0]
        fields = []
        for _ in range((header_length - 33) // 32):
            d = f.read(32)
            fields.append((d[:11].split(b"\0")[0].decode("latin-1"), chr(d[11]), d[16]))
    return fields


def read_table(ds, name):
    """A GeoPackage table's values by column (None when there is none)."""
    layer = ds.GetLayerByName(name)
    if layer is None:
        return None
    defn = layer.GetLayerDefn()
    columns = [defn.GetFieldDefn(k).GetName() for k in range(defn.GetFieldCount())]
    values = {c: [] for c in columns}
    for f in layer:
        for c in columns:
            values[c].append(f.GetField(c))
    return values


def check_declared(what, columns, rows, table):
    """Each text column's width holds the longest of the file's values and
    of the GeoPackage's values of the same column."""
    for k, (name, width) in enumerate(columns):
        if width is None:
            continue
        own = max((size(r[k]) for r in rows if k < len(r)), default=0)
        CHECKS.ok(own <= width, lambda: "%s %s char (%d): a value of %d bytes" % (what, name, width, own))
        if table is not None and name in table:
            whole = max((size(v) for v in table[name]), default=0)
            CHECKS.ok(whole <= width, lambda: "%s %s char (%d): the GeoPackage's value of %d bytes"
                      % (what, name, width, whole))


def dbf_witness(layer, name, table):
    """The GeoPackage's values of a DBF field, as the DBF writes them."""
    if name == "SUF":
        key = table.get("FEAT" if layer == "KGL" else layer, [])
        return [encode_zcta_key(v) if layer == "ZCTA5" and isinstance(v, str) else v for v in key]
    if name in ("LON", "LAT"):
        return [round(v * 1e6) for v in table.get(name, []) if v is not None]
    return table.get(name)


def check_dbf(what, layer, fields, table):
    checked = 0
    for name, kind, length in fields:
        witness = dbf_witness(layer, name, table)
        if not CHECKS.ok(witness is not None, "%s %s: the GeoPackage has its values" % (what, name)):
            continue
        longest = max((size(v) for v in witness), default=0)
        CHECKS.ok(longest <= length, lambda: "%s %s %s(%d): a value of %d bytes" % (what, name, kind, length, longest))
        checked += 1
    return checked


def check_county(work, archive, base):
    outs = {fmt: os.path.join(work, base, fmt) for fmt in ("mif", "shp", "kxf", "gpkg")}
    for fmt, out in outs.items():
        convert(archive, out, fmt)
    ds = ogr.Open(os.path.join(outs["gpkg"], base + ".gpkg"))
    counts = {}
    for fmt, ext in (("mif", ".MIF"), ("kxf", ".MTD"), ("shp", ".DBF")):
        names = sorted(n for n in os.listdir(outs[fmt]) if n.upper().endswith(ext))
        counts[fmt] = len(names)
        for n in names:
            path, layer = os.path.join(outs[fmt], n), n[len(base):-len(ext)]
            table = read_table(ds, layer)
            what = "%s %s" % (base, n)
            if fmt == "shp":
                CHECKS.ok(table is not None, "%s: a GeoPackage table of the layer" % what)
                if table is not None:
                    CHECKS.ok(check_dbf(what, layer, read_dbf(path), table) > 0, "%s: fields checked" % what)
                continue
            columns, rows = read_mif(path) if fmt == "mif" else read_mtd(path)
            check_declared(what, columns, rows, table)
    CHECKS.ok(counts["mif"] > 60 and counts["shp"] > 40 and counts["kxf"] > 40, "%s: layers %r" % (base, counts))


def main():
    with tempfile.TemporaryDirectory() as work:
        county = os.path.join(work, "generated")
        make_county(county, chains=2000, seed=3, state="35", county="013", archive=True, accented=True)
        check_county(work, SAMPLE, "TGR08901")
        check_county(work, os.path.join(county, "TGR35013.ZIP"), "TGR35013")
    CHECKS.finish()


if __name__ == "__main__":
    main()
