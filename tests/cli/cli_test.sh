#!/usr/bin/env bash
# Command-line behaviour of zalor-cli: help, usage errors, refusals, exit codes.
set -u
CLI="$ZALOR_BIN/zalor-cli"
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fail=0
check() { # description, condition result
  if [ "$2" -ne 0 ]; then echo "FAIL: $1"; fail=1; else echo "ok: $1"; fi
}

out=$("$CLI" --help 2>&1); rc=$?
[ $rc -eq 0 ] && grep -q -- '--set' <<<"$out" && grep -q -- '--format' <<<"$out" && grep -q -- '--output' <<<"$out"
check "--help documents the options" $?

"$CLI" --version | grep -q '^zalor-cli '
check "--version" $?

"$CLI" --set NoSuchKey=1 x.zip >"$tmp/o" 2>&1; rc=$?
[ $rc -eq 2 ] && grep -q "NoSuchKey" "$tmp/o"
check "unknown key is a usage error naming it" $?

"$CLI" --format dwg x.zip >/dev/null 2>&1; [ $? -eq 2 ]
check "bad format is a usage error" $?

"$CLI" -o "$tmp/out" "$tmp/TGR01001.ZIP" >"$tmp/o" 2>&1; rc=$?
[ $rc -eq 1 ] && grep -q "Please Select Features for Output!" "$tmp/o"
check "nothing selected is refused with exit 1" $?

"$CLI" --set CbY0=1 -o "$tmp/out" "$tmp/TGR01001.ZIP" >"$tmp/o" 2>&1; rc=$?
! grep -q "Please Select Features for Output!" "$tmp/o"
check "the all-chains box alone is a selection" $?

sample="$ZALOR_SRC/samples/TGR08901.ZIP"
"$CLI" --lines A -o "$tmp/out"$'\n'"nl" "$sample" >"$tmp/o" 2>&1; rc=$?
[ $rc -eq 2 ] && grep -q "control character" "$tmp/o" && [ ! -e "$tmp/out nl" ] && [ ! -e "$tmp/out"$'\n'"nl" ]
check "an output root with a control character is refused, not changed" $?
"$CLI" --lines A -o "$tmp/ctl" --log "$tmp/log"$'\t'"x.log" "$sample" >"$tmp/o" 2>&1; rc=$?
[ $rc -eq 2 ] && grep -q -- "--log may not hold a control character" "$tmp/o" && [ ! -e "$tmp/log x.log" ]
check "a log path with a control character is refused, not changed" $?

"$CLI" --lines ALL -o "$tmp/all" "$sample" >"$tmp/o" 2>&1; rc=$?
[ $rc -eq 0 ] && [ -s "$(find "$tmp/all" -name TGR08901ALL.MIF)" ] && [ "$(find "$tmp/all" -name '*.MIF' | wc -l)" -eq 1 ]
check "--lines ALL alone writes the all-chains file and exits 0" $?

"$CLI" --set CbA1=1 -o "$tmp/out" --log "$tmp/run.log" "$tmp/TGR01001.ZIP" "$tmp/TGR01003.ZIP" >"$tmp/o" 2>&1; rc=$?
[ $rc -eq 1 ] && grep -q "Error Opening $tmp/TGR01001.ZIP" "$tmp/run.log" \
  && grep -q "Error Opening $tmp/TGR01003.ZIP" "$tmp/run.log" && grep -q "Error Opening" "$tmp/o"
check "missing inputs: logged, next input processed, exit 1" $?

grep -q $'\r$' "$tmp/run.log"
check "log file lines end in CR LF" $?

"$CLI" --set CbA1=1 -o "$tmp/out" "$tmp/TGR01001.ZIP" -q >"$tmp/o" 2>/dev/null
[ ! -s "$tmp/o" ]
check "--quiet prints nothing on standard output" $?

"$CLI" --set CbA1=1 -o "$tmp/deep/er/root" "$ZALOR_SRC/samples/TGR08901.ZIP" -q; rc=$?
[ $rc -eq 0 ] && [ -f "$tmp/deep/er/root/08/Ivanhoe County/TGR08901A.MIF" ]
check "an output root with missing levels is made" $?

exit $fail
