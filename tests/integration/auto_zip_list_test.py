"""Auto zip: the county's MIF files go into its archive, and the output
list names what is on disk afterwards: the archive, not the files that
went into it. Shapefiles are not zipped and stay listed.
"""
import os
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import convert_support as cs  # noqa: E402  (re-executes under /usr/bin/python3 when needed)

CHECKS = cs.Checks("auto zip list test")
SAMPLE = os.path.join(os.environ.get("ZALOR_SRC", "."), "samples", "TGR08901.ZIP")


def listed(stdout):
    return [line.strip().rsplit("  (", 1)[0] for line in stdout.splitlines()
            if line.startswith("  ") and line.endswith("bytes)")]


def main():
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "mif")
        r = subprocess.run([cs.binary("zalor-cli"), "-f", "mif", "-o", out, "--set", "RbD0=1", "--set", "ZIP=1",
                            "--lines", "A,H", SAMPLE], capture_output=True, text=True, errors="replace")
        CHECKS.equal(r.returncode, 0, lambda: "exit status (%s)" % r.stderr)
        entries = listed(r.stdout)
        archives = [e for e in entries if e.upper().endswith(".ZIP")]
        CHECKS.equal(len(archives), 1, lambda: "the archive is listed: %r" % entries)
        CHECKS.ok(not any(e.upper().endswith(".MIF") for e in entries),
                  lambda: "no zipped file is listed: %r" % entries)
        CHECKS.ok(all(os.path.exists(e) for e in entries), lambda: "every listed file is on disk: %r" % entries)
        if archives:
            with zipfile.ZipFile(archives[0]) as z:
                names = sorted(n.upper() for n in z.namelist())
            CHECKS.ok("TGR08901A.MIF" in names and "TGR08901H.MID" in names, "the archive holds the files: %r" % names)
        out = os.path.join(tmp, "shp")
        r = subprocess.run([cs.binary("zalor-cli"), "-f", "shp", "-o", out, "--set", "RbD0=1", "--set", "ZIP=1",
                            "--lines", "A", SAMPLE], capture_output=True, text=True, errors="replace")
        entries = listed(r.stdout)
        CHECKS.ok(r.returncode == 0 and [os.path.basename(e) for e in entries] == ["TGR08901A.SHP"],
                  lambda: "shapefiles are not zipped and stay listed: %r" % entries)
    CHECKS.finish()


if __name__ == "__main__":
    main()
