"""Addresses that are no plain numbers ("31-01", "12A") and blank ones: the
GeoPackage holds the record's text (null when blank); MIF and shapefiles
keep the number the address has always been written as (its base-38 code,
which the manual's decoder turns back into the text); plain numbers are
the same number everywhere.
"""
import os
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import convert_support as cs  # noqa: E402  (re-executes under /usr/bin/python3 when needed)
import convert_lines_test as lines  # noqa: E402

from osgeo import ogr  # noqa: E402

CHECKS = cs.Checks("address text test")
BASE = "TGR08901"
# (FRADDL, FRADDR, TOADDL, TOADDR) columns of RT1.
COLUMNS = ((59, 69), (81, 91), (70, 80), (92, 102))
NAMES = ("FRADDL", "FRADDR", "TOADDL", "TOADDR")
ogr.UseExceptions()


def manual_decode(number):
    """The decoder the manual gives."""
    v = number & 0x7FFFFFFF
    text = ""
    while v:
        v, d = divmod(v, 38)
        text = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-"[d] + text
    return text


def set_field(record, columns, text):
    first, last = columns
    width = last - first + 1
    return record[:first - 1] + text.rjust(width).encode() + record[last:]


def rewrite(county, out, changes):
    """Copies the archive with RT1 records of the given TLIDs changed:
    changes = {tlid: (FRADDL, FRADDR, TOADDL, TOADDR)}."""
    with zipfile.ZipFile(county) as src, zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as dst:
        for info in src.infolist():
            data = src.read(info.filename)
            if info.filename.upper().endswith(".RT1"):
                recs = []
                for rec in data.split(b"\r\n"):
                    if rec and int(rec[5:15]) in changes:
                        for columns, text in zip(COLUMNS, changes[int(rec[5:15])]):
                            rec = set_field(rec, columns, text)
                    recs.append(rec)
                data = b"\r\n".join(recs)
            dst.writestr(info.filename, data)


def features(path, table=None):
    ds = ogr.Open(path)
    layer = ds.GetLayerByName(table) if table else ds.GetLayer(0)
    return {f.GetField("TLID"): {n: f.GetField(n) for n in NAMES} for f in layer}


def main():
    with tempfile.TemporaryDirectory() as tmp:
        truth = cs.make_county(os.path.join(tmp, "gen"), chains=300, seed=3, archive=True)
        tlids = [c["tlid"] for c in truth["chains"] if c["cfcc"].startswith("A")][:3]
        changes = {tlids[0]: ("31-01", "31-02", "31-99", "31-98"), tlids[1]: ("12A", "", "120", "0"),
                   tlids[2]: ("", "", "", "")}
        county = os.path.join(tmp, BASE + ".ZIP")
        rewrite(os.path.join(tmp, "gen", BASE + ".ZIP"), county, changes)
        boxes = lines.all_boxes()
        got = {}
        for fmt, name, table in (("gpkg", BASE + ".gpkg", "ALL"), ("shp", BASE + "ALL.SHP", None),
                                 ("mif", BASE + "ALL.MIF", None)):
            run = cs.convert([county], os.path.join(tmp, fmt), fmt, boxes)
            CHECKS.equal(run.returncode, 0, lambda: "%s: exit status (%s)" % (fmt, run.stderr))
            got[fmt] = features(os.path.join(tmp, fmt, name), table)
        for tlid, texts in changes.items():
            for name, text in zip(NAMES, texts):
                want = text or None
                CHECKS.equal(got["gpkg"].get(tlid, {}).get(name), want, "GeoPackage %s of %d" % (name, tlid))
                for fmt in ("shp", "mif"):
                    value = got[fmt].get(tlid, {}).get(name)
                    number = int(value) if value not in (None, "") else 0
                    if text.isdigit() or not text:
                        CHECKS.equal(number, int(text or 0), "%s %s of %d: the number" % (fmt, name, tlid))
                    else:
                        CHECKS.ok(number < 0 and manual_decode(number) == text,
                                  lambda: "%s %s of %d: %r decodes to %r, not %r" % (
                                      fmt, name, tlid, value, manual_decode(number), text))
        # Every other chain (the generator writes a few hyphenated ones): the
        # GeoPackage's text is the number of the other formats, or its decoding.
        def agrees(text, number):
            return text is None or (str(number) if text.isdigit() else manual_decode(number)) == text
        bad = [(t, n, g[n], got["shp"][t][n]) for t, g in got["gpkg"].items() if t not in changes for n in NAMES
               if not agrees(g[n], int(got["shp"][t][n]))]
        CHECKS.ok(not bad, lambda: "plain addresses: the same number in every format: %s" % bad[:4])
    CHECKS.finish()


if __name__ == "__main__":
    main()
