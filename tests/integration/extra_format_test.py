"""A fifth output format added the way any format is: the CSV format of
tests/formats/csv/ (its folder) and one line in the list of formats
(src/formats/registry.cpp, copied with that line into the build tree for
zalor-cli-csv). Nothing else of the program knows it, yet the command line
offers it, lists its files and converts the sample county with every layer:
read back with GDAL, each CSV layer has the features, geometries and
numbers of the shapefile layer of the same run.
"""
import difflib
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from convert_support import Checks, binary, read_layer  # noqa: E402

SOURCE = os.environ.get("ZALOR_SRC", os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
SAMPLE = os.path.join(SOURCE, "samples", "TGR08901.ZIP")
CONFIG = os.path.join(SOURCE, "samples", "SAMPLE.CFG")
BIN = os.environ.get("ZALOR_BIN", "build")


def run(cli, fmt, out, extra=()):
    args = [cli, "-c", CONFIG, "-f", fmt, "-o", out, "--set", "RbD0=1"] + list(extra) + [SAMPLE]
    return subprocess.run(args, capture_output=True, text=True, errors="replace", timeout=600)


def added_lines():
    """The lines the build's copy of the list adds to the list."""
    with open(os.path.join(SOURCE, "src", "formats", "registry.cpp")) as f:
        original = f.read().splitlines()
    with open(os.path.join(BIN, "tests", "csv", "registry.cpp")) as f:
        copy = f.read().splitlines()
    diff = list(difflib.unified_diff(original, copy, lineterm="", n=0))
    removed = [d for d in diff if d.startswith("-") and not d.startswith("---")]
    return [d[1:].strip() for d in diff if d.startswith("+") and not d.startswith("+++")], removed


def compare_layers(checks, shp_dir, csv_dir):
    names = sorted(n[:-4] for n in os.listdir(shp_dir) if n.upper().endswith(".SHP"))
    checks.ok(len(names) > 40, "the shapefile run wrote %d layers" % len(names))
    for name in names:
        csv_path = os.path.join(csv_dir, name + ".csv")
        if not checks.ok(os.path.exists(csv_path), "no CSV layer " + name):
            continue
        shp = read_layer(os.path.join(shp_dir, name + ".SHP"))
        csv = read_layer(csv_path)
        checks.equal(len(csv.features), len(shp.features), name + ": features")
        for k, (a, b) in enumerate(zip(shp.features, csv.features)):
            # GDAL gives a shapefile polygon's rings outers first, holes after them.
            checks.equal(sorted(b.parts), sorted(a.parts), lambda: "%s feature %d: geometry" % (name, k))
            for column in ("NUM", "TLID", "LAND", "FNODE", "TNODE", "NODE", "CFCC"):
                if column in a.fields:
                    checks.equal(b.fields.get(column), str(a.fields[column]), lambda: "%s feature %d: %s" % (name, k, column))


def main():
    checks = Checks("extra format")
    cli_csv = binary("zalor-cli-csv")
    added, removed = added_lines()
    checks.equal(removed, [], "lines the copy of the list removes")
    checks.equal(sorted(added), sorted(['#include "csv/csv_format.h"', "&kCsvFormat,"]), "lines the copy adds")

    listing = subprocess.run([cli_csv, "--list-layers", "-f", "csv"], capture_output=True, text=True)
    checks.ok("TGRsscccA.csv, with nodes TGRsscccAN.csv" in listing.stdout, "--list-layers -f csv:\n" + listing.stdout)
    usage = subprocess.run([binary("zalor-cli"), "-f", "csv", SAMPLE], capture_output=True, text=True)
    checks.equal(usage.returncode, 2, "the program without the format refuses -f csv")

    with tempfile.TemporaryDirectory() as tmp:
        shp_dir, csv_dir = os.path.join(tmp, "shp"), os.path.join(tmp, "csv")
        for cli, fmt, out in ((binary("zalor-cli"), "shp", shp_dir), (cli_csv, "csv", csv_dir)):
            r = run(cli, fmt, out)
            checks.ok(r.returncode == 0, lambda: "%s run: %d\n%s%s" % (fmt, r.returncode, r.stdout, r.stderr))
        compare_layers(checks, shp_dir, csv_dir)
    checks.finish()


if __name__ == "__main__":
    main()
