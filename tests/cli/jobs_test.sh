#!/usr/bin/env bash
# Several counties at once: --jobs 3 writes exactly what --jobs 1 writes,
# with the same log and output list in input order, and a county that
# fails does not disturb the others.
set -u
CLI="$ZALOR_BIN/zalor-cli"
SRC="$ZALOR_SRC"
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fail=0
check() { if [ "$2" -ne 0 ]; then echo "FAIL: $1"; fail=1; else echo "ok: $1"; fi; }

mkdir -p "$tmp/in"
cp "$SRC/samples/TGR08901.ZIP" "$SRC/tests/integration/golden/TGR17031.ZIP" "$tmp/in/"
printf 'not an archive' > "$tmp/in/TGR99001.ZIP"
cd "$tmp"
for j in 1 3; do
  "$CLI" -v -j $j -c "$SRC/samples/SAMPLE.CFG" -f shp --set RbD2=1 -o "out$j" --log "log$j" \
    in/TGR08901.ZIP in/TGR99001.ZIP in/TGR17031.ZIP > "stdout$j" 2> "stderr$j"
  echo $? > "rc$j"
done
[ "$(cat rc1)" = 1 ] && [ "$(cat rc3)" = 1 ]
check "a failed county makes both runs exit 1" $?
diff -r out1 out3 >/dev/null
check "the same files" $?
sed 's/\.\.\.[0-9]* ms/... ms/; s/out[13]/out/' log1 > l1; sed 's/\.\.\.[0-9]* ms/... ms/; s/out[13]/out/' log3 > l3
cmp -s l1 l3
check "the same log, in input order" $?
sed 's/\.\.\.[0-9]* ms/... ms/; s/out[13]/out/' stdout1 > s1; sed 's/\.\.\.[0-9]* ms/... ms/; s/out[13]/out/' stdout3 > s3
cmp -s s1 s3
check "the same log lines and output list on the terminal" $?
grep -q 'Output Files \[ 102 \]' stdout3 && grep -q 'TGR17031CTBNA00.SHP' stdout3
check "the counties after the failed one are converted" $?
exit $fail
