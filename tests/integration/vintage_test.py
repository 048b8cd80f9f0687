"""The same synthetic county written in the record layouts of each release
(Census 2000, 2002, 2003, 2004, 2005, 2006 Second Edition), converted with
every line group and area layer: the log names the release; line files
(with the alternate names of RT5), area layers (keys from the current or
the Census 2000 codes, water from RTP, names from RTC) and landmark points
agree with the generator's truth in MIF and shapefiles, the GeoPackage
agrees with the shapefiles table by table, and exactly the layers the
release cannot supply are missing, named in one warning.

Then the counties a release detection must refuse or warn about: an RTI of
one release beside an RT5 of another, a record file of no known length and
a version code that names no release.
"""
import os
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import convert_support as cs  # noqa: E402  (re-executes under /usr/bin/python3 when needed)
import convert_areas_test as areas  # noqa: E402
import convert_lines_test as lines  # noqa: E402
import gpkg_test  # noqa: E402

CHECKS = cs.Checks("vintage test")
areas.CHECKS = lines.CHECKS = CHECKS
BASE = "TGR08901"
RELEASES = {2000: "TIGER/Line Census 2000 (version 0301)", 2002: "TIGER/Line 2002 (version 1002)",
            2003: "TIGER/Line 2003 (version 1203)", 2004: "TIGER/Line 2004 First Edition (version 0404)",
            2005: "TIGER/Line 2005 First Edition (version 0505)",
            2006: "TIGER/Line 2006 Second Edition (version 0806)"}
EXTENSION = {"mif": ".MIF", "shp": ".SHP"}
# The datums of the files, by the truth's name: EPSG code.
DATUM_EPSG = {"NAD83": 4269, "NAD27": 4267}
# Layers no box selects: never named as absent.
NOT_OFFERED = {"STSENATE", "STHOUSE", "VTD00"}


def every_box():
    boxes = areas.every_box()
    boxes.update(lines.all_boxes())
    return boxes


def check_release_lines(run, label, truth):
    """The release in the log and on the county line; one warning that
    names each absent layer with the release's reason for it."""
    release = RELEASES[truth["vintage"]]
    CHECKS.ok("Release: " + release in run.log, lambda: "%s: log names %s" % (label, release))
    name = release[:release.index(" (version")]
    CHECKS.ok(any(line.endswith("(%s)" % name) for line in run.stdout.splitlines()),
              lambda: "%s: the county line names %s: %r" % (label, name, run.stdout[:200]))
    absent = truth["absentLayers"]
    warnings = [line for line in run.log if "those layers are not written" in line]
    if not CHECKS.equal(len(warnings), 1 if absent else 0, "%s: warnings of absent layers" % label):
        return
    for layer, reason in absent.items():
        if layer in NOT_OFFERED:
            continue
        CHECKS.ok(layer in listed_after(warnings[0], reason),
                  lambda: "%s: the warning lists %s after \"%s\": %s" % (label, layer, reason, warnings[0]))


def listed_after(warning, reason):
    """The layers a warning lists in parentheses after a reason."""
    at = warning.find(reason + " (")
    if at < 0:
        return []
    start = at + len(reason) + 2
    return warning[start:warning.find(")", start)].split(", ")


def check_absent(run, fmt, truth):
    for layer in truth["absentLayers"]:
        CHECKS.ok(run.file(BASE + layer + EXTENSION[fmt]) is None and
                  not os.path.exists(os.path.join(run.out, BASE + layer + EXTENSION[fmt])),
                  lambda: "%d %s: absent layer %s is not written" % (truth["vintage"], fmt, layer))


def check_vintage(tmp, vintage):
    gen = os.path.join(tmp, "gen%d" % vintage)
    truth = cs.make_county(gen, chains=1500, seed=5, archive=True, vintage=vintage)
    CHECKS.equal(truth["vintage"], vintage, "truth of vintage %d" % vintage)
    county = os.path.join(gen, BASE + ".ZIP")
    geo = areas.Geometry(truth)
    boxes = every_box()
    layers = areas.expected_layers(truth, boxes, False)
    names = {layer.name for layer in layers}
    CHECKS.ok(names.isdisjoint(truth["absentLayers"]), "%d: no absent layer expected" % vintage)
    for fmt in ("mif", "shp"):
        label = "%d_%s" % (vintage, fmt)
        run = lines.convert(county, tmp, label, fmt, boxes)
        check_release_lines(run, label, truth)
        for group in lines.GROUPS:
            lines.check_line_file(run, fmt, group, truth, boxes)
        for layer in layers:
            areas.check_layer(run, fmt, layer, geo)
        areas.check_landmark_points(run, fmt, truth, boxes)
        check_absent(run, fmt, truth)
    run = lines.convert(county, tmp, "%d_gpkg" % vintage, "gpkg", boxes)
    gpkg = run.file(BASE + ".gpkg")
    if CHECKS.ok(gpkg is not None, "%d: the GeoPackage is in the output list" % vintage):
        gpkg_test.compare_county(CHECKS, os.path.join(tmp, "%d_shp" % vintage), gpkg, BASE,
                                 epsg=DATUM_EPSG[truth.get("datum", "NAD83")])


# --- counties that are not one release --------------------------------------------

def rewrite_archive(path, out, change):
    """Copies the archive with change(name, data) -> data applied to each member."""
    with zipfile.ZipFile(path) as src, zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as dst:
        for info in src.infolist():
            dst.writestr(info.filename, change(info.filename.upper(), src.read(info.filename)))


def member(path, suffix):
    with zipfile.ZipFile(path) as z:
        for info in z.infolist():
            if info.filename.upper().endswith(suffix):
                return z.read(info.filename)
    return None


def check_refused(tmp, name, county, expect):
    out = os.path.join(tmp, name)
    log = os.path.join(tmp, name + ".log")
    run = cs.convert([county], out, "shp", {"CbA1": 1, "CbAr13": 1}, log=log)
    text = "\n".join(run.log) + run.stderr
    CHECKS.equal(run.returncode, 1, "%s: exit status" % name)
    for part in expect:
        CHECKS.ok(part in text, lambda: "%s: the error names %r: %s" % (name, part, text[-600:]))
    CHECKS.ok(not any(p.upper().endswith("BLK00.SHP") for p in run.outputs),
              "%s: no area layer is written from misread records" % name)


def check_detection(tmp):
    g2000 = os.path.join(tmp, "gen2000", BASE + ".ZIP")
    g2006 = os.path.join(tmp, "gen2006", BASE + ".ZIP")
    rti2006 = member(g2006, ".RTI")

    mixed = os.path.join(tmp, "mixed", BASE + ".ZIP")
    os.makedirs(os.path.dirname(mixed))
    rewrite_archive(g2000, mixed, lambda n, d: rti2006 if n.endswith(".RTI") else d)
    check_refused(tmp, "mixed", mixed, ["TGR08901.RTI", "TGR08901.RT5", "127", "52"])

    odd = os.path.join(tmp, "odd", BASE + ".ZIP")
    os.makedirs(os.path.dirname(odd))

    def widen(name, data):
        if not name.endswith(".RT5"):
            return data
        return b"".join(line + b"XY\r\n" for line in data.split(b"\r\n") if line)
    rewrite_archive(g2000, odd, widen)
    width = len(member(odd, ".RT5").split(b"\r\n")[0])
    check_refused(tmp, "unknown length", odd, ["TGR08901.RT5", str(width), "0301"])

    # A code that names no release: read by its record lengths, with a warning.
    unknown = os.path.join(tmp, "unknown", BASE + ".ZIP")
    os.makedirs(os.path.dirname(unknown))

    def recode(name, data):
        if not name.endswith(".RT1"):
            return data
        return b"".join(line[:1] + b"7777" + line[5:] + b"\r\n" for line in data.split(b"\r\n") if line)
    rewrite_archive(g2006, unknown, recode)
    log = os.path.join(tmp, "unknown.log")
    run = cs.convert([unknown], os.path.join(tmp, "unknown_out"), "shp", {"CbA1": 1, "CbAr13": 1}, log=log)
    CHECKS.equal(run.returncode, 0, lambda: "unknown code: the county converts (%s)" % run.stderr.strip())
    CHECKS.ok(any("7777" in line for line in run.log), lambda: "unknown code: the log names it: %r" % run.log[:8])
    CHECKS.ok(run.file(BASE + "BLK00.SHP") is not None, "unknown code: the blocks are read by the record lengths")


def main():
    with tempfile.TemporaryDirectory() as tmp:
        for vintage in sorted(RELEASES):
            check_vintage(tmp, vintage)
        check_detection(tmp)
    CHECKS.finish()


if __name__ == "__main__":
    main()
