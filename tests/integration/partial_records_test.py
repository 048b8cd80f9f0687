"""A county whose polygon records (RTS) break off in the middle fails, and
the area layers keyed by those records are neither written nor listed:
a layer from part of the records would look complete. The layers of
complete records (lines, RTA's 1990 areas) are written.
"""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import convert_support as cs  # noqa: E402  (re-executes under /usr/bin/python3 when needed)

CHECKS = cs.Checks("partial records test")
BASE = "TGR08901"


def main():
    with tempfile.TemporaryDirectory() as tmp:
        gen = os.path.join(tmp, "gen")
        cs.make_county(gen, chains=400, seed=6)
        county = os.path.join(tmp, "county")
        shutil.copytree(gen, county)
        rts = os.path.join(county, BASE + ".RTS")
        with open(rts, "rb") as f:
            records = f.read().split(b"\r\n")
        records[len(records) // 2] = records[len(records) // 2][:-7]
        with open(rts, "wb") as f:
            f.write(b"\r\n".join(records))
        out = os.path.join(tmp, "out")
        run = cs.convert([os.path.join(county, BASE + ".RT1")], out, "shp",
                         {"CbA1": 1, "CbAr12": 1, "CbAr13": 1, "CbAs2": 1, "CbAs5": 1})
        CHECKS.equal(run.returncode, 1, "the county fails")
        CHECKS.ok("records of other lengths" in run.stderr, lambda: "the error says why: %s" % run.stderr)
        for layer in ("CTBNA00", "BLK00"):
            CHECKS.ok(run.file(BASE + layer + ".SHP") is None and
                      not os.path.exists(os.path.join(out, BASE + layer + ".SHP")),
                      "%s (from RTS) is neither written nor listed" % layer)
        for layer in ("A", "FAIR90", "CTBNA90"):
            CHECKS.ok(run.file(BASE + layer + ".SHP") is not None, "%s (complete records) is written" % layer)
    CHECKS.finish()


if __name__ == "__main__":
    main()
