"""zalor-mkcounty's command line: a seed always gives the same bytes, --lf
changes only the line ends, --zip adds an archive of the eleven record files,
and bad arguments are refused.
"""
import os
import subprocess
import sys
import tempfile
import zipfile

FAILURES = []
TYPES = ["RT1", "RT2", "RT4", "RT5", "RT7", "RT8", "RT9", "RTA", "RTC", "RTI", "RTS"]


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

        # Bad arguments.
        for args in (dict(state="8"), dict(state="AB"), dict(county="31"), dict(county="03x"), dict(chains=0)):
            r = run(binary, os.path.join(tmp, "bad"), **args)
            check(r.returncode != 0 and r.stderr, "refused: %s" % args)
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
