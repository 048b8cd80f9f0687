#!/usr/bin/env bash
# A run reproduced from a saved configuration writes byte-identical files,
# and the sample configuration converts the sample county as it says.
set -euo pipefail
CLI="$ZALOR_BIN/zalor-cli"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
sample="$ZALOR_SRC/samples/TGR08901.ZIP"

opts=(--set CbA1=1 --set CbA4=1 --set CbH1=1 --set CbQ10=1 --set CbY0=1 --set CbAr12=1 --set CbAr13=1
      --set CbCn3=1 --set CbP4=1 --set CbD8=1 --set "Asuf=ROADS" --set TOL=50 --set DIG=5 --set RbO2=1
      --set RbD1=1 -f shp)
"$CLI" "${opts[@]}" -o "$tmp/direct" -q "$sample" || fail "direct run exits $?"
"$CLI" "${opts[@]}" -o "$tmp/again" --save-config "$tmp/run.cfg" || fail "save exits $?"
[ ! -e "$tmp/again" ] || fail "saving converted something"
"$CLI" --config "$tmp/run.cfg" -q "$sample" || fail "configured run exits $?"
diff -r "$tmp/direct" "$tmp/again" || fail "outputs differ"
[ -n "$(ls "$tmp/direct/08")" ] || fail "nothing written"

# The sample configuration lists the sample county beside it: found from
# the sources and from any other folder.
cd "$ZALOR_SRC"
"$CLI" --config samples/SAMPLE.CFG -o "$tmp/sample" > "$tmp/list" || fail "sample run exits $?"
n=$(find "$tmp/sample" -name '*.MIF' | wc -l)
listed=$(grep -c '\.MIF  (' "$tmp/list")
[ "$n" -gt 80 ] || fail "only $n MIF files"
[ "$n" -eq "$listed" ] || fail "$n MIF files on disk, $listed listed"
cd "$tmp"
"$CLI" --config "$ZALOR_SRC/samples/SAMPLE.CFG" -o "$tmp/elsewhere" -q || fail "run from elsewhere exits $?"
diff -r "$tmp/sample" "$tmp/elsewhere" || fail "the run from another folder differs"
echo ok
