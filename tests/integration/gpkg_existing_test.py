"""What a run does to a county GeoPackage that is already there:
- a file that is no GeoPackage GDAL can open (a user's own SQLite table,
  a GeoPackage cut in half, plain text) is left as it is and the county
  refused with what the file is when existing files are skipped; when
  they are overwritten it is replaced, with a warning saying so;
- a FIFO, or a link to one, is refused at once (its open would block);
- two processes writing tables of the same county at once both end up in
  the file (the second waits for the first and adds its tables).
"""
import os
import sqlite3
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import convert_support as cs  # noqa: E402  (re-executes under /usr/bin/python3 when needed)

from osgeo import ogr  # noqa: E402

CHECKS = cs.Checks("gpkg existing test")
BASE = "TGR08901"
ogr.UseExceptions()


def args(out, county, extra):
    return [cs.binary("zalor-cli"), "-f", "gpkg", "-o", out, "--set", "RbD0=1", county] + extra


def run(out, county, extra, timeout=300):
    return subprocess.run(args(out, county, extra), capture_output=True, text=True, errors="replace",
                          timeout=timeout)


def tables(path):
    ds = ogr.Open(path)
    return sorted(ds.GetLayer(i).GetName() for i in range(ds.GetLayerCount()))


def check_foreign(tmp, county, name, make):
    out = os.path.join(tmp, name)
    os.makedirs(out)
    target = os.path.join(out, BASE + ".gpkg")
    make(target)
    with open(target, "rb") as f:
        before = f.read()
    r = run(out, county, ["--lines", "A", "--set", "RbE2=1"])  # Skip Existing Files
    CHECKS.equal(r.returncode, 1, "%s: the county is refused (exit status)" % name)
    CHECKS.ok("exists and is not a GeoPackage" in r.stderr, lambda: "%s: the error says what the file is: %s" %
              (name, r.stderr[-400:]))
    with open(target, "rb") as f:
        CHECKS.ok(f.read() == before, "%s: the file is left as it was" % name)
    r = run(out, county, ["--lines", "A"])  # Overwrite Existing Files
    CHECKS.equal(r.returncode, 0, lambda: "%s, overwriting: exit status (%s)" % (name, r.stderr[-300:]))
    CHECKS.ok("it is replaced" in r.stderr, lambda: "%s, overwriting: a warning says so: %s" % (name, r.stderr))
    CHECKS.equal(tables(target), ["A"], "%s, overwriting: the county's tables" % name)
    CHECKS.equal([f for f in os.listdir(out) if f != BASE + ".gpkg"], [], "%s: nothing else left" % name)


def user_table(path):
    db = sqlite3.connect(path)
    db.execute("create table mine (a integer)")
    db.execute("insert into mine values (1)")
    db.commit()
    db.close()


def check_fifo(tmp, county):
    for name, link in (("fifo", False), ("fifo-link", True)):
        out = os.path.join(tmp, name)
        os.makedirs(out)
        fifo = os.path.join(tmp, name + ".pipe") if link else os.path.join(out, BASE + ".gpkg")
        os.mkfifo(fifo)
        if link:
            os.symlink(fifo, os.path.join(out, BASE + ".gpkg"))
        try:
            r = run(out, county, ["--lines", "A"], timeout=120)
        except subprocess.TimeoutExpired:
            CHECKS.ok(False, "%s: the run ends" % name)
            continue
        CHECKS.equal(r.returncode, 1, "%s: the county is refused" % name)
        CHECKS.ok("not a regular file" in r.stderr, lambda: "%s: the error says why: %s" % (name, r.stderr[-300:]))


def check_two_writers(tmp, county):
    for attempt in range(3):
        out = os.path.join(tmp, "two-%d" % attempt)
        first = subprocess.Popen(args(out, county, ["--lines", "A"]), stdout=subprocess.DEVNULL,
                                 stderr=subprocess.PIPE)
        second = subprocess.Popen(args(out, county, ["--areas", "CTBNA00,BLK00"]), stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE)
        codes = (first.wait(timeout=300), second.wait(timeout=300))
        CHECKS.equal(codes, (0, 0), "two writers (%d): exit statuses" % attempt)
        CHECKS.equal(tables(os.path.join(out, BASE + ".gpkg")), ["A", "BLK00", "CTBNA00"],
                     "two writers (%d): both sets of tables" % attempt)
        CHECKS.equal(sorted(os.listdir(out)), [BASE + ".gpkg"], "two writers (%d): no lock or temporary left" % attempt)


def main():
    with tempfile.TemporaryDirectory() as tmp:
        cs.make_county(os.path.join(tmp, "gen"), chains=1500, seed=4, archive=True)
        county = os.path.join(tmp, "gen", BASE + ".ZIP")
        check_foreign(tmp, county, "sqlite", user_table)

        def cut(path):
            r = run(os.path.dirname(path), county, ["--lines", "all", "--areas", "CTBNA00,BLK00"])
            CHECKS.equal(r.returncode, 0, "a whole GeoPackage to cut")
            with open(path, "r+b") as f:
                f.truncate(os.path.getsize(path) // 2)
        check_foreign(tmp, county, "cut", cut)

        def text(path):
            with open(path, "w") as f:
                f.write("my notes\n")
        check_foreign(tmp, county, "text", text)
        check_fifo(tmp, county)
        check_two_writers(tmp, county)
    CHECKS.finish()


if __name__ == "__main__":
    main()
