"""Golden outputs: three counties converted with a dozen option sets must
give exactly the bytes recorded in golden/manifest.txt: every output file,
the log file, and what zalor-cli printed (timings masked).

The counties are the bundled sample, an archive with curved chains
(golden/TGR17031.ZIP) and loose record files with LF line ends and
lower-case names (golden/tgr06075-lf.zip, unpacked for the run).

When a change is meant to alter outputs, record the manifest again with
ZALOR_GOLDEN_RECORD=1 and review the difference before committing it.
"""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
GOLDEN = os.path.join(HERE, "golden")
MANIFEST = os.path.join(GOLDEN, "manifest.txt")
SOURCE = os.environ.get("ZALOR_SRC", os.path.dirname(os.path.dirname(HERE)))
CLI = os.path.abspath(os.path.join(os.environ.get("ZALOR_BIN", "build"), "zalor-cli"))

INPUTS = ["in/TGR08901.ZIP", "in/TGR17031.ZIP", "in/b/tgr06075.rt1"]

# name -> (format, --set values, directory scheme)
RUNS = [
    ("mif", "mif", {}, "RbD0"),
    ("shp", "shp", {}, "RbD0"),
    ("kxf", "kxf", {}, "RbD0"),
    ("mif-dig4-tol20", "mif", {"DIG": "4", "TOL": "20"}, "RbD0"),
    ("shp-dig4-tol20", "shp", {"DIG": "4", "TOL": "20"}, "RbD0"),
    ("mif-lambert", "mif", {"RbP1": "1", "LAM": "6370997,-95,40"}, "RbD0"),
    ("shp-spatial", "shp", {"RbO2": "1"}, "RbD0"),
    ("mif-mcd", "mif", {"RbO3": "1"}, "RbD0"),
    ("kxf-cfcc", "kxf", {"RbO4": "1"}, "RbD0"),
    ("shp-exclude-water", "shp", {"CbAr20": "1", "CbAs8": "1", "CbAt10": "1", "CbD10": "1"}, "RbD0"),
    ("mif-no-centroids", "mif", {"CbCn%d" % i: "0" for i in range(1, 6)}, "RbD0"),
    ("mif-state", "mif", {}, "RbD1"),
    ("shp-state-county", "shp", {}, "RbD2"),
    ("kxf-county-name", "kxf", {}, "RbD3"),
    ("mif-zip", "mif", {"ZIP": "1"}, "RbD2"),
]

TIMING = re.compile(rb"\.\.\.\d+ ms")


def masked(data):
    return TIMING.sub(b"...# ms", data)


def digest(data):
    return hashlib.sha256(data).hexdigest()


def archive_digest(path):
    """Member names and contents of an archive, without its time stamps."""
    h = hashlib.sha256()
    with zipfile.ZipFile(path) as z:
        for info in z.infolist():
            h.update(info.filename.encode("latin-1") + b"\0")
            h.update(z.read(info))
            h.update(b"\0")
    return h.hexdigest()


def file_digests(root, label, into):
    for directory, _, names in os.walk(root):
        for name in names:
            path = os.path.join(directory, name)
            rel = os.path.relpath(path, root)
            if name.upper().endswith(".ZIP"):
                into["%s/%s" % (label, rel)] = "zip:" + archive_digest(path)
            else:
                with open(path, "rb") as f:
                    into["%s/%s" % (label, rel)] = digest(masked(f.read()))


def convert(work, name, fmt, sets, scheme, extra=()):
    args = [CLI, "-v", "-c", os.path.join(SOURCE, "samples", "SAMPLE.CFG"), "-f", fmt, "-o", "out/" + name,
            "--log", "log/%s.LOG" % name, "--set", scheme + "=1"]
    for key, value in sets.items():
        args += ["--set", "%s=%s" % (key, value)]
    args += list(extra) + INPUTS
    p = subprocess.run(args, cwd=work, capture_output=True)
    return p.returncode, p.stdout, p.stderr


def prepare(work):
    os.makedirs(os.path.join(work, "in", "b"))
    os.makedirs(os.path.join(work, "log"))
    shutil.copy(os.path.join(SOURCE, "samples", "TGR08901.ZIP"), os.path.join(work, "in"))
    shutil.copy(os.path.join(GOLDEN, "TGR17031.ZIP"), os.path.join(work, "in"))
    with zipfile.ZipFile(os.path.join(GOLDEN, "tgr06075-lf.zip")) as z:
        z.extractall(os.path.join(work, "in", "b"))


def record_run(got, work, name, result):
    code, out, err = result
    got["%s/exit" % name] = str(code)
    got["%s/stdout" % name] = digest(masked(out))
    got["%s/stderr" % name] = digest(masked(err))


def collect(work):
    got = {}
    for name, fmt, sets, scheme in RUNS:
        record_run(got, work, name, convert(work, name, fmt, sets, scheme))
    # Skip existing files: a second run into the shapefile run's directory
    # writes nothing and lists what is there.
    record_run(got, work, "shp-skip", convert(work, "shp", "shp", {"RbE2": "1"}, "RbD0"))
    file_digests(os.path.join(work, "out"), "out", got)
    file_digests(os.path.join(work, "log"), "log", got)
    return got


def read_manifest():
    want = {}
    with open(MANIFEST) as f:
        for line in f:
            line = line.rstrip("\n")
            if line and not line.startswith("#"):
                key, value = line.rsplit(" ", 1)
                want[key] = value
    return want


def main():
    with tempfile.TemporaryDirectory() as work:
        prepare(work)
        got = collect(work)
    if os.environ.get("ZALOR_GOLDEN_RECORD"):
        with open(MANIFEST, "w") as f:
            f.write("# Golden outputs of golden_test.py: path, then SHA-256 (timings masked).\n")
            for key in sorted(got):
                f.write("%s %s\n" % (key, got[key]))
        print("golden test: recorded %d entries" % len(got))
        return 0
    want = read_manifest()
    failures = 0
    for key in sorted(set(want) | set(got)):
        if want.get(key) != got.get(key):
            failures += 1
            if failures <= 40:
                print("DIFFERS: %s (recorded %s, now %s)" % (key, want.get(key, "absent"), got.get(key, "absent")))
    if failures:
        print("golden test: %d of %d entries differ" % (failures, len(set(want) | set(got))))
        return 1
    print("golden test: all %d entries match" % len(want))
    return 0


if __name__ == "__main__":
    sys.exit(main())
