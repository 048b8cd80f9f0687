"""One county read four ways gives the same conversion: its archive, its
loose record files, loose record files with LF-only line ends, and an
archive whose member names are in lower case. Every output file is
identical (a DBF's date of last update aside) and so are the log totals,
which also agree with the generator's truth.
"""
import os
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import convert_support as cs  # noqa: E402  (re-executes under /usr/bin/python3 when needed)

CHECKS = cs.Checks("read modes test")
BASE = "TGR08901"
TOTALS = ("Total Chains=", "Total Shapes=", "Total Polygons=", "Limits=", "Feature Names", "-- Complete")


def every_feature():
    boxes = {}
    for prefix, first, last in (("CbA", 1, 8), ("CbB", 1, 6), ("CbC", 0, 3), ("CbZ", 0, 9), ("CbE", 0, 2),
                                ("CbF", 0, 8), ("CbH", 0, 8), ("CbX", 0, 0), ("CbD", 0, 9), ("CbP", 0, 9),
                                ("CbCn", 1, 5), ("CbAs", 2, 7), ("CbAt", 1, 9), ("CbQ", 1, 49)):
        for n in range(first, last + 1):
            boxes["%s%0*d" % (prefix, 2 if prefix == "CbQ" else 1, n)] = 1
    boxes.update({"CbAr%d" % n: 1 for n in range(1, 22) if n != 20})
    boxes.update({"CbY0": 1, "CbW1": 1, "CbW2": 1})
    return boxes


def contents(directory):
    """File name -> bytes; a DBF's date of last update (bytes 1-3) is left out."""
    files = {}
    for name in sorted(os.listdir(directory)):
        with open(os.path.join(directory, name), "rb") as f:
            data = f.read()
        if name.upper().endswith(".DBF") and len(data) >= 4:
            data = data[:1] + b"\0\0\0" + data[4:]
        files[name] = data
    return files


def totals(log):
    return [line for line in log if line.startswith(TOTALS)]


def lower_case_archive(source, path):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name in sorted(os.listdir(source)):
            if name.startswith(BASE + ".RT"):
                z.write(os.path.join(source, name), name.lower())


def check_against_truth(lines, truth):
    e = truth["extent"]
    counts = truth["counts"]
    want = {
        "Total Chains=%d" % counts["chains"],
        "Total Shapes=%d" % counts["chainsWithShapes"],
        "Total Polygons=%d" % counts["chains"],  # one RTI record per chain
        "Limits=%d, %d : %d, %d" % (e["minLon"], e["minLat"], e["maxLon"], e["maxLat"]),
        "Feature Names = %d" % counts["rt5"],
        "-- Complete %d" % counts["rt4"],
    }
    CHECKS.equal(sorted(want - set(lines)), [], "log totals missing or different from the truth")


def main():
    with tempfile.TemporaryDirectory() as tmp:
        crlf = os.path.join(tmp, "crlf")
        lf = os.path.join(tmp, "lf")
        lower = os.path.join(tmp, "lower")
        truth = cs.make_county(crlf, chains=3000, seed=31, archive=True)
        truth_lf = cs.make_county(lf, chains=3000, seed=31, lf=True)
        CHECKS.equal(truth_lf["chains"] == truth["chains"], True, "the LF county is the same county")
        with open(os.path.join(lf, BASE + ".RT1"), "rb") as f:
            CHECKS.ok(b"\r" not in f.read(), "the LF record files have no CR")
        os.makedirs(lower)
        lower_case_archive(crlf, os.path.join(lower, BASE + ".ZIP"))
        inputs = {"archive": os.path.join(crlf, BASE + ".ZIP"), "loose": os.path.join(crlf, BASE + ".RT1"),
                  "loose LF": os.path.join(lf, BASE + ".RT1"), "lower-case archive": os.path.join(lower, BASE + ".ZIP")}
        boxes = every_feature()
        for fmt in ("mif", "shp", "kxf"):
            reference = None
            for mode, path in inputs.items():
                label = "%s %s" % (fmt, mode)
                out = os.path.join(tmp, "out", fmt, mode.replace(" ", "_"))
                os.makedirs(out)
                log = out + ".log"
                conv = cs.convert([path], out, fmt, boxes, log=log)
                CHECKS.equal(conv.returncode, 0, lambda: "%s: exit status (%s)" % (label, conv.stderr.strip()))
                problems = [line for line in conv.log if "Error" in line or "Unable" in line]
                CHECKS.equal(problems, [], "%s: log reports no problem" % label)
                result = (contents(out), totals(conv.log))
                CHECKS.ok(len(result[0]) > 80, lambda: "%s: %d files written" % (label, len(result[0])))
                if reference is None:
                    reference = (mode, result)
                    check_against_truth(result[1], truth)
                    continue
                ref_mode, (ref_files, ref_totals) = reference
                files, lines = result
                CHECKS.equal(sorted(files), sorted(ref_files), "%s: the same files as the %s" % (label, ref_mode))
                differ = sorted(name for name in files if name in ref_files and files[name] != ref_files[name])
                CHECKS.equal(differ, [], "%s: files that differ from the %s's" % (label, ref_mode))
                CHECKS.equal(lines, ref_totals, "%s: log totals as the %s's" % (label, ref_mode))
    CHECKS.finish()


if __name__ == "__main__":
    main()
