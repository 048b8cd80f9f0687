"""Signals on the command line, whatever phase the run is in: the first
SIGTERM stops the run (exit 1, nothing incomplete listed or left under a
final name), a second one ends the program at once (exit 130). A run killed
that way, or with SIGKILL, may leave temporaries; the next run into the
same directory removes them and puts whole layers in place.
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import convert_support as cs  # noqa: E402  (re-executes under /usr/bin/python3 when needed)

from osgeo import ogr  # noqa: E402

CHECKS = cs.Checks("signals test")
BASE = "TGR08901"


def start(county, out, fmt):
    args = [cs.binary("zalor-cli"), "--lines", "all", "--areas", "all", "--points", "-f", fmt, "--set", "RbD0=1",
            "-o", out, os.path.join(county, BASE + ".ZIP")]
    return subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, errors="replace")


def temporaries(directory):
    return [f for f in os.listdir(directory) if f.startswith(".zalor-")] if os.path.isdir(directory) else []


def whole(directory, fmt):
    """The layers of the directory that GDAL cannot read whole."""
    broken = []
    for name in os.listdir(directory) if os.path.isdir(directory) else []:
        if name.endswith(".SHP") and fmt == "shp" or name.endswith(".gpkg"):
            ds = ogr.Open(os.path.join(directory, name))
            if ds is None:
                broken.append(name)
    return broken


def main():
    with tempfile.TemporaryDirectory() as tmp:
        county = os.path.join(tmp, "county")
        cs.make_county(county, chains=12000, seed=5, archive=True)
        # How long a whole run takes, for the moments the signals are sent at.
        began = time.monotonic()
        full = start(county, os.path.join(tmp, "timing"), "shp")
        full.communicate(timeout=600)
        span = time.monotonic() - began
        CHECKS.equal(full.returncode, 0, "the whole run")
        left = 0
        for fmt in ("shp", "gpkg"):
            for share in (0.05, 0.3, 0.6, 0.9):
                label = "%s, signals at %d%% of a run" % (fmt, share * 100)
                out = os.path.join(tmp, "%s-%d" % (fmt, share * 100))
                # One signal: the run stops.
                p = start(county, out, fmt)
                time.sleep(span * share)
                p.send_signal(signal.SIGTERM)
                _, err = p.communicate(timeout=120)
                CHECKS.ok(p.returncode in (0, 1), lambda: "%s: one signal stops the run (%d)" % (label, p.returncode))
                CHECKS.equal(temporaries(out), [], label + ": a stopped run leaves no temporary")
                CHECKS.equal(whole(out, fmt), [], label + ": what is there is whole")
                # Two signals: the program ends at once.
                p = start(county, out + "-killed", fmt)
                time.sleep(span * share)
                p.send_signal(signal.SIGTERM)
                time.sleep(0.02)
                p.send_signal(signal.SIGTERM)
                sent = time.monotonic()
                p.communicate(timeout=120)
                # (The stop the first one asks for may have ended the run already.)
                CHECKS.ok(p.returncode in (0, 1, 130), lambda: "%s: two signals end it (%d)" % (label, p.returncode))
                CHECKS.ok(time.monotonic() - sent < 10, "%s: at once" % label)
                # A run killed outright leaves its temporaries; the next
                # run removes them.
                p = start(county, out + "-killed", fmt)
                time.sleep(span * share)
                p.kill()
                p.communicate(timeout=120)
                left += len(temporaries(out + "-killed"))
                time.sleep(1.1)
                again = start(county, out + "-killed", fmt)
                again.communicate(timeout=600)
                CHECKS.equal(again.returncode, 0, label + ": the next run")
                CHECKS.equal(temporaries(out + "-killed"), [], label + ": the killed run's temporaries are gone")
                CHECKS.equal(whole(out + "-killed", fmt), [], label + ": the next run's layers are whole")
        CHECKS.ok(left > 0, "some killed run left temporaries to remove")
    CHECKS.finish()


if __name__ == "__main__":
    main()
