"""The same county twice on one input list (two editions of it): converted
one after the other in input order, whatever --jobs says, with a warning
that the later replaces the earlier; the outputs are then those of the
later edition alone, never files of both side by side.
"""
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import convert_support as cs  # noqa: E402  (re-executes under /usr/bin/python3 when needed)

CHECKS = cs.Checks("same county test")
BASE = "TGR08901"


def run(out, inputs, jobs):
    args = [cs.binary("zalor-cli"), "-f", "shp", "-o", out, "--set", "RbD0=1", "--lines", "A,H",
            "--areas", "CTBNA00,BLK00", "--jobs", str(jobs)] + inputs
    return subprocess.run(args, capture_output=True, text=True, errors="replace")


def tree(directory):
    return sorted(os.listdir(directory)) if os.path.isdir(directory) else []


def main():
    with tempfile.TemporaryDirectory() as tmp:
        editions = []
        for name, seed in (("first", 3), ("second", 8)):
            cs.make_county(os.path.join(tmp, name), chains=400, seed=seed, archive=True)
            editions.append(os.path.join(tmp, name, BASE + ".ZIP"))
        alone = os.path.join(tmp, "alone")
        single = run(alone, [editions[1]], 1)
        CHECKS.equal(single.returncode, 0, "the second edition alone")
        alone_listed = [line for line in single.stdout.splitlines() if line.startswith("  ") and "bytes)" in line]
        for attempt in range(4):
            for jobs in (1, 2):
                out = os.path.join(tmp, "both-%d-%d" % (jobs, attempt))
                r = run(out, editions, jobs)
                label = "--jobs %d (run %d)" % (jobs, attempt + 1)
                CHECKS.equal(r.returncode, 0, lambda: "%s: exit status (%s)" % (label, r.stderr))
                CHECKS.ok("is the county of %s, converted before it" % editions[0] in r.stderr,
                          lambda: "%s: the warning names the earlier input: %s" % (label, r.stderr))
                CHECKS.equal(tree(out), tree(alone), "%s: the files of one edition" % label)
                listed = [line for line in r.stdout.splitlines() if line.startswith("  ") and "bytes)" in line]
                CHECKS.equal(len(listed), len(set(listed)), "%s: each file listed once" % label)
                CHECKS.ok("Output Files [ %d ]" % len(alone_listed) in r.stdout,
                          lambda: "%s: as many outputs listed as the edition alone: %s" % (label, r.stdout[-300:]))
                same = [f for f in tree(alone) if os.path.isfile(os.path.join(out, f)) and
                        filecmp.cmp(os.path.join(out, f), os.path.join(alone, f), shallow=False)]
                CHECKS.equal(same, tree(alone), "%s: the later edition's files" % label)
                shutil.rmtree(out, ignore_errors=True)
        # With auto zip: one archive, of the later edition, and no false error.
        for jobs in (1, 2):
            out = os.path.join(tmp, "zip-%d" % jobs)
            r = subprocess.run([cs.binary("zalor-cli"), "-f", "mif", "-o", out, "--set", "RbD0=1", "--set", "ZIP=1",
                                "--lines", "A", "--areas", "CTBNA00", "--jobs", str(jobs)] + editions,
                               capture_output=True, text=True, errors="replace")
            CHECKS.equal(r.returncode, 0, lambda: "auto zip, --jobs %d: exit status (%s)" % (jobs, r.stderr))
            CHECKS.ok("Error Zipping" not in r.stderr, lambda: "auto zip: no zipping error: %s" % r.stderr)
            CHECKS.equal(tree(out), ["ZGR08901.ZIP"], "auto zip, --jobs %d: one archive" % jobs)
    CHECKS.finish()


if __name__ == "__main__":
    main()
