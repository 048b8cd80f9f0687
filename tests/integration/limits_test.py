"""Runs at the limits of the system and after killed runs: a file-size
limit (no SIGXFSZ death: "File too large", the county failed, no temporary
left, nothing half-written listed), temporaries of killed runs removed by
the next run, a layer whose files do not belong together (a kill between
renames) written again under Skip Existing, a layer name as long as the
file system allows, a read-only output root, a GeoPackage under a path
SQLite cannot open, and damaged record files that give no layers built on
them.
"""
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import convert_support as cs  # noqa: E402  (re-executes under /usr/bin/python3 when needed)

from osgeo import ogr  # noqa: E402

CHECKS = cs.Checks("limits test")
SAMPLE = os.path.join(os.environ.get("ZALOR_SRC", "."), "samples", "TGR08901.ZIP")


def run(args, fsize=None):
    def limit():
        if fsize is not None:
            resource.setrlimit(resource.RLIMIT_FSIZE, (fsize, fsize))
    return subprocess.run([cs.binary("zalor-cli")] + args, capture_output=True, text=True, errors="replace",
                          preexec_fn=limit)


def temporaries(directory):
    return [os.path.join(d, f) for d, _, files in os.walk(directory) for f in files if f.startswith(".zalor-")]


def listed(stdout):
    return [line.strip().rsplit("  (", 1)[0] for line in stdout.splitlines()
            if line.startswith("  ") and line.endswith("bytes)")]


def whole_shapefile(path):
    """The number of features when the .SHP, .SHX and .DBF agree, else None."""
    ds = ogr.Open(path)
    if ds is None:
        return None
    layer = ds.GetLayer(0)
    count = layer.GetFeatureCount()
    shx = (os.path.getsize(path[:-4] + ".SHX") - 100) // 8
    return count if count == shx else None


def check_file_size_limit(tmp):
    for fmt in ("shp", "gpkg"):
        out = os.path.join(tmp, "fsize-" + fmt)
        r = run(["--lines", "all", "--areas", "all", "-f", fmt, "--set", "RbD0=1", "-o", out, SAMPLE],
                fsize=300 * 1024)
        label = "file-size limit (%s)" % fmt
        CHECKS.equal(r.returncode, 1, lambda: "%s: exit status (%s)" % (label, r.stderr[-500:]))
        CHECKS.ok("File too large" in r.stderr or fmt == "gpkg",
                  lambda: "%s: the reason is given: %s" % (label, r.stderr[-800:]))
        CHECKS.ok(all(": " in line for line in r.stderr.splitlines() if "Error Writing" in line),
                  lambda: "%s: every write error has its reason: %s" % (label, r.stderr[-800:]))
        CHECKS.equal(temporaries(out), [], label + ": no temporary file left")
        for path in listed(r.stdout):
            CHECKS.ok(os.path.getsize(path) < 300 * 1024, "%s: %s is within the limit" % (label, path))
            if path.endswith(".SHP"):
                CHECKS.ok(whole_shapefile(path) is not None, "%s: %s is a whole set" % (label, path))


def check_geopackage_copy_cut_short(tmp):
    """Adding tables to a GeoPackage larger than what may be written: the
    copy it is updated in fails part way, and is removed."""
    out = os.path.join(tmp, "gpkg-copy")
    first = run(["--lines", "all", "-f", "gpkg", "--set", "RbD0=1", "-o", out, SAMPLE])
    CHECKS.equal(first.returncode, 0, "a GeoPackage to add to")
    path = os.path.join(out, "TGR08901.gpkg")
    size = os.path.getsize(path)
    with open(path, "rb") as f:
        before = f.read()
    r = run(["--areas", "CTBNA00", "-f", "gpkg", "--set", "RbD0=1", "-o", out, SAMPLE], fsize=size // 2)
    CHECKS.equal(r.returncode, 1, lambda: "the copy cut short fails the county (%s)" % r.stderr)
    CHECKS.ok("File too large" in r.stderr, lambda: "and says why: %s" % r.stderr[-500:])
    CHECKS.equal(temporaries(out), [], "no part of the copy is left")
    with open(path, "rb") as f:
        CHECKS.ok(f.read() == before, "the GeoPackage is as it was")


def gone_pid():
    child = subprocess.Popen(["true"])
    child.wait()
    return child.pid


def check_stale_temporaries_and_broken_sets(tmp):
    out = os.path.join(tmp, "stale")
    args = ["--lines", "A,H", "-f", "shp", "--set", "RbD0=1", "-o", out, SAMPLE]
    first = run(args)
    CHECKS.equal(first.returncode, 0, lambda: "first run (%s)" % first.stderr)
    # A killed run's temporaries, and a temporary of a process that runs.
    stale = os.path.join(out, ".zalor-%d-7-TGR08901A.SHP" % gone_pid())
    alive = os.path.join(out, ".zalor-%d-7-TGR08901A.SHP" % os.getpid())
    for path in (stale, alive):
        with open(path, "wb") as f:
            f.write(b"x" * 1000)
        os.utime(path, (time.time() - 600, time.time() - 600))
    # A kill between the renames of the roads' files: the .DBF of the
    # hydrography beside the roads' .SHP and .SHX.
    roads = os.path.join(out, "TGR08901A")
    features = whole_shapefile(roads + ".SHP")
    shutil.copyfile(os.path.join(out, "TGR08901H.DBF"), roads + ".DBF")
    second = run(["--set", "RbE2=1"] + args)
    CHECKS.equal(second.returncode, 0, lambda: "Skip Existing run (%s)" % second.stderr)
    CHECKS.ok(not os.path.exists(stale), "the killed run's temporary is removed")
    CHECKS.ok(os.path.exists(alive), "the temporary of a running process is kept")
    CHECKS.ok(roads + ".SHP is not kept" in second.stderr,
              lambda: "the broken set is said to be written again: %s" % second.stderr)
    CHECKS.equal(whole_shapefile(roads + ".SHP"), features, "the roads are a whole set again")
    CHECKS.ok(os.path.join(out, "TGR08901H.SHP") in listed(second.stdout), "the whole hydrography set is kept")
    os.remove(alive)


def check_long_names(tmp):
    out = os.path.join(tmp, "long")
    suffix = "L" * (252 - len("TGR08901.SHP"))
    r = run(["--lines", "A", "-f", "shp", "--set", "RbD0=1", "--set", "Asuf=" + suffix, "-o", out, SAMPLE])
    CHECKS.equal(r.returncode, 0, lambda: "a 252-byte layer name (%s)" % r.stderr)
    CHECKS.ok(whole_shapefile(os.path.join(out, "TGR08901" + suffix + ".SHP")) is not None,
              "the 252-byte layer is written")
    deep = os.path.join(tmp, *(["d" * 200] * 3))
    os.makedirs(deep)
    r = run(["--lines", "A", "-f", "gpkg", "--set", "RbD0=1", "-o", deep, SAMPLE])
    CHECKS.equal(r.returncode, 1, "a GeoPackage under a 600-byte path fails")
    CHECKS.ok("its path is too long for a GeoPackage" in r.stderr, lambda: "and says why: %s" % r.stderr[-300:])


def mounted(directory, options):
    """A small file system of its own at `directory` (root only)."""
    os.makedirs(directory)
    if os.geteuid() != 0 or subprocess.run(["mount", "-t", "tmpfs", "-o", options, "tmpfs", directory],
                                           capture_output=True).returncode != 0:
        print("limits test: no mount here, the case of %s is skipped" % options)
        return False
    return True


def check_inode_shortage(tmp):
    """Files that cannot be created (no inode left) take the files of their
    set made before them away."""
    full = os.path.join(tmp, "inodes")
    if not mounted(full, "size=20m,nr_inodes=24"):
        return
    try:
        r = run(["--lines", "all", "-f", "shp", "--set", "RbD0=1", "-o", full, SAMPLE])
        CHECKS.equal(r.returncode, 1, "no inode left fails the county")
        CHECKS.ok("No space left on device" in r.stderr, lambda: "and says why: %s" % r.stderr[-500:])
        CHECKS.equal(temporaries(full), [], "no temporary is left when a file of a set cannot be created")
        for path in listed(r.stdout):
            CHECKS.ok(whole_shapefile(path) is not None, "%s is a whole set" % path)
    finally:
        subprocess.run(["umount", full])


def check_read_only_root(tmp):
    ro = os.path.join(tmp, "ro")
    if not mounted(ro, "ro,size=1m"):
        return
    try:
        r = run(["--lines", "A", "-f", "shp", "-o", os.path.join(ro, "out"), SAMPLE])
        CHECKS.equal(r.returncode, 1, "a read-only output root fails")
        CHECKS.ok("Read-only file system" in r.stderr and "No such file" not in r.stderr,
                  lambda: "and says why: %s" % r.stderr)
    finally:
        subprocess.run(["umount", ro])


def check_damaged_record_files(tmp):
    for member, gone in (("RT2", "TGR08901A.SHP"), ("RT7", "TGR08901WLND.SHP")):
        county = os.path.join(tmp, "damaged-" + member)
        out = os.path.join(county, "out")
        os.makedirs(county)
        subprocess.run(["unzip", "-q", SAMPLE, "-d", county], check=True)
        path = os.path.join(county, "TGR08901." + member)
        with open(path, "rb") as f:
            data = f.read()
        with open(path, "wb") as f:
            f.write(b"X" + data)  # records of another length
        r = run(["--lines", "all", "--areas", "all", "-f", "shp", "--set", "RbD0=1", "-o", out,
                 os.path.join(county, "TGR08901.RT1")])
        CHECKS.equal(r.returncode, 1, "damaged %s fails the county" % member)
        CHECKS.ok("TGR08901.%s: record 1 does not end" % member in r.stderr,
                  lambda: "damaged %s: the file and the reason are named: %s" % (member, r.stderr))
        CHECKS.ok(not os.path.exists(os.path.join(out, gone)), "damaged %s: no %s" % (member, gone))
        for written in listed(r.stdout):
            if written.endswith(".SHP"):
                CHECKS.ok(os.path.getsize(written) > 100, "damaged %s: %s is not empty" % (member, written))


def main():
    with tempfile.TemporaryDirectory() as tmp:
        check_file_size_limit(tmp)
        check_geopackage_copy_cut_short(tmp)
        check_stale_temporaries_and_broken_sets(tmp)
        check_long_names(tmp)
        check_read_only_root(tmp)
        check_inode_shortage(tmp)
        check_damaged_record_files(tmp)
    CHECKS.finish()


if __name__ == "__main__":
    main()
