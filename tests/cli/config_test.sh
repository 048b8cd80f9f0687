#!/usr/bin/env bash
# zalor-cli --config / --save-config: a saved configuration reloads to the
# same settings, byte for byte, and drives a later run.
set -euo pipefail

CLI="$ZALOR_BIN/zalor-cli"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

fail() { echo "FAIL: $*" >&2; exit 1; }
has() { grep -qxF -- "$2"$'\r' "$1" || fail "$1 lacks the line '$2'"; }

# Settings from the options only; nothing is converted without INPUT.
mkdir out
"$CLI" --set CbA1=1 --set CbAt10=1 --set "Asuf=MY ROADS = main" --set DIG=9 --set TOL=-5 \
    --set "LAM=6370997, -90, 40" -f shp -o out --save-config a.cfg || fail "save exits $?"
[ -f a.cfg ] || fail "a.cfg not written"
[ -z "$(ls out)" ] || fail "--save-config without INPUT converted something"
has a.cfg "[Main]"
has a.cfg "Input=$tmp/"
has a.cfg "Output=out/"
has a.cfg "Asuf=MY ROADS = main"
has a.cfg "CbA1=1"
has a.cfg "CbAt10=1"
has a.cfg "DIG=6"
has a.cfg "TOL=0"
has a.cfg "RbF1=1"
has a.cfg "LAM=6370997, -90, 40"
has a.cfg "LCFG=Default.cfg"
has a.cfg "[Files]"
has a.cfg "NAD83=0"
if grep -q "DisableLogs" a.cfg; then fail "DisableLogs saved"; fi
if grep -q $'[^\r]$' a.cfg; then fail "a line without CR LF"; fi

# Loading and saving again reproduces the file exactly.
"$CLI" --config a.cfg --save-config b.cfg || fail "reload exits $?"
cmp a.cfg b.cfg || fail "b.cfg differs from a.cfg"

# --set, -o and -f come after the configuration.
"$CLI" --config a.cfg --set Asuf=X --set CbA1=0 -o other -f mif --save-config c.cfg
has c.cfg "Asuf=X"
has c.cfg "CbA1=0"
has c.cfg "CbAt10=1"
has c.cfg "Output=other/"
has c.cfg "RbF0=1"

# --to-nad83 is the box "Convert to NAD83", kept by the configuration.
"$CLI" --config a.cfg --to-nad83 --save-config n.cfg
has n.cfg "NAD83=1"
"$CLI" --config n.cfg --save-config n2.cfg
has n2.cfg "NAD83=1"

# A configuration's output root is used when -o is not given.
printf 'Output=%s/elsewhere/\r\nCbB1=1\r\n' "$tmp" > only.cfg
"$CLI" --config only.cfg --save-config d.cfg
has d.cfg "Output=$tmp/elsewhere/"
has d.cfg "CbB1=1"
has d.cfg "RbF0=1"

# INPUT files become the saved input list; without INPUT the configuration's
# list is run. The archive here is broken, so the run fails on it.
mkdir data
printf 'not a zip' > data/TGR01001.ZIP
set +e
"$CLI" -q --config a.cfg --save-config e.cfg "$tmp/data/TGR01001.ZIP" 2>/dev/null
set -e
has e.cfg "File2=$tmp/data/TGR01001.ZIP"
set +e
"$CLI" -q --config e.cfg 2> run.err
rc=$?
set -e
[ "$rc" -eq 1 ] || fail "run of the configuration's list exits $rc"
grep -q "TGR01001.ZIP" run.err || fail "the configuration's input was not run: $(cat run.err)"
"$CLI" --config e.cfg --save-config f.cfg
cmp e.cfg f.cfg || fail "f.cfg differs from e.cfg"

# A configuration that is missing or cannot be written is an error.
set +e
"$CLI" --config missing.cfg --save-config g.cfg 2> missing.err
rc=$?
set -e
[ "$rc" -eq 2 ] || fail "missing --config exits $rc"
grep -q "missing.cfg" missing.err || fail "no message for the missing configuration"
[ ! -e g.cfg ] || fail "saved after a failed load"
set +e
"$CLI" --save-config no/such/dir/h.cfg 2> save.err
rc=$?
set -e
[ "$rc" -eq 1 ] || fail "unwritable --save-config exits $rc"
grep -q "Unable to Create" save.err || fail "no message for the unwritable configuration"

echo "config_test: ok"
