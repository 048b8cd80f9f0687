"""zalor-mkcounty's command line: a seed always gives the same bytes, --lf
changes only the line ends, --zip adds an archive of the record files,
--vintage picks the release (RTP instead of RT9 from 2002; 2004 and 2005
share their layouts and differ only in codes of the release; before 2000 RT3
and RTP, and no RTS, RTC or RT9 in 1990 and 1992; releases of one layout
and datum differ only in their codes), --help names every release with its
version code, and bad arguments are refused.
"""
import json
import os
import subprocess
import sys
import tempfile
import zipfile

FAILURES = []
TYPES = ["RT1", "RT2", "RT4", "RT5", "RT7", "RT8", "RT9", "RTA", "RTC", "RTI", "RTS"]
TYPES_2002 = ["RT1", "RT2", "RT4", "RT5", "RT7", "RT8", "RTA", "RTC", "RTI", "RTP", "RTS"]
TYPES_1994 = TYPES + ["RT3", "RTP"]
TYPES_1990 = [t for t in TYPES_1994 if t not in ("RT9", "RTC", "RTS")]
CODES = {"1990": "0003", "1992": "0005", "1994": "0021", "1995": "0024", "1997": "1097", "1998": "1298",
         "1999": "0700", "2000": "0301", "2002": "1002", "2003": "1203", "2004": "0404", "2005": "0505",
         "2006": "0806"}


def check(cond, what):
    if not cond:
        FAILURES.append(what)
        print("FAIL:", what)


def run(binary, out, *extra, seed=11, chains=1500, state="36", county="081"):
    args = [binary, "--state", state, "--county", county, "--chains", str(chains), "--seed", str(seed),
            "--out", out, "--quiet"] + list(extra)
    return subprocess.run(args, capture_output=True)


def contents(directory):
    result = {}
    for name in sorted(os.listdir(directory)):
        with open(os.path.join(directory, name), "rb") as f:
            result[name] = f.read()
    return result


def masked(data, columns):
    """Record file bytes with the given 1-based column ranges blanked."""
    lines = data.split(b"\r\n")
    for first, last in columns:
        lines = [line[:first - 1] + b" " * len(line[first - 1:last]) + line[last:] for line in lines]
    return b"\r\n".join(lines)


def differ_in_codes(a, b, label, columns, layer=None):
    """Two releases' files: the same but for the version code and the given
    columns; the truths the same but for the vintage and version code (and
    whether they have `layer`)."""
    for n in a:
        if n.endswith(".json"):
            ta, tb = json.loads(a[n]), json.loads(b[n])
            for t in (ta, tb):
                del t["vintage"], t["versionCode"]
                t["layers"].pop(layer, None)
                t["absentLayers"].pop(layer, None)
            check(ta == tb, "%s: truths differ only in the vintage" % label)
        elif n in b and not n.endswith("ZIP"):
            cut = [(2, 5)] + columns.get(n[-3:], [])
            check(masked(a[n], cut) == masked(b[n], cut) and (a[n] != b[n] or n.endswith("RT5")),
                  "%s %s differ only in codes" % (label, n))
    check(set(a) == set(b), "%s: the same files" % label)


def check_early_vintages(binary, tmp):
    """The releases of the 1990s: their record files, and which of them
    differ only in codes (the year of RTC, the congressional districts of
    1999)."""
    base = "TGR36081."
    written = {}
    for vintage in ("1990", "1992", "1994", "1995", "1997", "1998", "1999"):
        out = os.path.join(tmp, "v" + vintage)
        check(run(binary, out, "--vintage", vintage, "--zip").returncode == 0, "--vintage %s run" % vintage)
        written[vintage] = contents(out)
        types = TYPES_1990 if vintage < "1994" else TYPES_1994
        names = {base + t for t in types}
        check(set(written[vintage]) == names | {base + "ZIP", base + "truth.json"},
              "%s files: %s" % (vintage, sorted(written[vintage])))
        with zipfile.ZipFile(os.path.join(out, base + "ZIP")) as z:
            check(sorted(z.namelist()) == sorted(names), "%s archive members" % vintage)
    differ_in_codes(written["1990"], written["1992"], "1990 and 1992", {})
    for vintage in ("1997", "1998", "1999"):
        columns = {"RTC": [(11, 12)], "RTA": [(51, 52)] if vintage == "1999" else []}
        differ_in_codes(written["1995"], written[vintage], "1995 and " + vintage, columns, "CD106")
    rt1 = [masked(written[v][base + "RT1"], [(2, 5)]) for v in ("1994", "1995")]
    check(rt1[0] != rt1[1] and len(rt1[0]) == len(rt1[1]), "1994 is on another datum than 1995")


def check_vintages(binary, tmp, default):
    base = "TGR36081."
    written = {}
    for vintage in ("2000", "2002", "2004", "2005", "2006"):
        out = os.path.join(tmp, "v" + vintage)
        check(run(binary, out, "--vintage", vintage, "--zip").returncode == 0, "--vintage %s run" % vintage)
        written[vintage] = contents(out)
    check(written["2000"] == default, "--vintage 2000 is the default")
    names = {base + t for t in TYPES_2002}
    for vintage in ("2002", "2004", "2005", "2006"):
        files = written[vintage]
        check(set(files) == names | {base + "ZIP", base + "truth.json"}, "%s files: %s" % (vintage, sorted(files)))
        with zipfile.ZipFile(os.path.join(tmp, "v" + vintage, base + "ZIP")) as z:
            check(sorted(z.namelist()) == sorted(names), "%s archive members" % vintage)
    # 2004 and 2005: the same layouts; the version code and the data year of
    # the entities made since 2000 tell them apart.
    a, b = written["2004"], written["2005"]
    for n in names:
        columns = [(2, 5), (11, 14)] if n.endswith("RTC") else [(2, 5)]
        check(masked(a[n], columns) == masked(b[n], columns), "2004 and 2005 %s differ only in codes" % n)
        check(a[n] != b[n], "2004 and 2005 %s have their own version codes" % n)
    ta, tb = json.loads(a[base + "truth.json"]), json.loads(b[base + "truth.json"])
    check((ta.pop("vintage"), ta.pop("versionCode"), tb.pop("vintage"), tb.pop("versionCode")) ==
          (2004, "0404", 2005, "0505") and ta == tb, "2004 and 2005 truths differ only in the vintage")
    lf = os.path.join(tmp, "v2006lf")
    check(run(binary, lf, "--vintage", "2006", "--lf").returncode == 0, "--vintage 2006 --lf run")
    lf_files = contents(lf)
    for n in names:
        check(lf_files[n] == written["2006"][n].replace(b"\r\n", b"\n"), "2006 %s with --lf" % n)


def main():
    binary = os.path.join(os.environ.get("ZALOR_BIN", "build"), "zalor-mkcounty")
    with tempfile.TemporaryDirectory() as tmp:
        a, b, c, lf = (os.path.join(tmp, n) for n in ("a", "b", "c", "lf"))
        check(run(binary, a, "--zip").returncode == 0, "first run")
        check(run(binary, b, "--zip").returncode == 0, "second run")
        check(run(binary, c, seed=12).returncode == 0, "other seed")
        check(run(binary, lf, "--lf").returncode == 0, "--lf run")
        first, second, other, lf_files = contents(a), contents(b), contents(c), contents(lf)

        base = "TGR36081."
        names = {base + t for t in TYPES}
        check(set(first) == names | {base + "ZIP", base + "truth.json"}, "files written: %s" % sorted(first))
        check(first == second, "the same seed gives the same bytes (archive and truth included)")
        check(set(other) == names | {base + "truth.json"}, "no archive without --zip")
        check(any(first[n] != other[n] for n in names), "another seed gives another county")

        # --lf: the same records, LF only.
        for n in names:
            check(b"\r" not in lf_files[n], "%s has no CR with --lf" % n)
            check(lf_files[n] == first[n].replace(b"\r\n", b"\n"), "%s differs only in line ends" % n)
            check(first[n].count(b"\n") == first[n].count(b"\r\n"), "%s ends every record in CR LF" % n)
        check(lf_files[base + "truth.json"] == first[base + "truth.json"], "--lf leaves the truth alone")

        # --zip: the eleven files as deflated members.
        with zipfile.ZipFile(os.path.join(a, base + "ZIP")) as z:
            check(z.testzip() is None, "archive CRCs")
            infos = z.infolist()
            check(sorted(i.filename for i in infos) == sorted(names), "archive members")
            for i in infos:
                check(i.compress_type == zipfile.ZIP_DEFLATED, "%s deflated" % i.filename)
                check(z.read(i) == first[i.filename], "%s in the archive equals the loose file" % i.filename)

        check_vintages(binary, tmp, first)
        check_early_vintages(binary, tmp)
        usage = subprocess.run([binary, "--help"], capture_output=True, text=True).stdout
        check(all(v in usage and code in usage for v, code in CODES.items()), "--help names every release and code")

        # Bad arguments.
        for args in (dict(state="8"), dict(state="AB"), dict(county="31"), dict(county="03x"), dict(chains=0)):
            r = run(binary, os.path.join(tmp, "bad"), **args)
            check(r.returncode != 0 and r.stderr, "refused: %s" % args)
        for vintage in ("2001", "1991", "1996", "2007", "06", "90"):
            r = run(binary, os.path.join(tmp, "bad"), "--vintage", vintage)
            check(r.returncode != 0 and r.stderr, "refused: --vintage %s" % vintage)
        check(not os.path.exists(os.path.join(tmp, "bad")), "nothing written for bad arguments")
        r = subprocess.run([binary, "--state", "36"], capture_output=True)
        check(r.returncode != 0, "missing arguments refused")

        # The smallest county still holds every part of the layout.
        small = os.path.join(tmp, "small")
        check(run(binary, small, chains=1).returncode == 0, "a county of one requested chain")
        check(len(contents(small)[base + "RT1"]) > 0, "the smallest county has chains")

    if FAILURES:
        print("%d failures" % len(FAILURES))
        sys.exit(1)
    print("mkcounty command line test: all checks passed")


if __name__ == "__main__":
    main()
