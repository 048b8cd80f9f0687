#!/usr/bin/env bash
# The progress line on a terminal: county n of m with its name, the phase
# and percentage, the time taken and, from the second county on, the time
# left; --quiet shows none of it.
source "$(dirname "$0")/checks.sh"
inputs="$ZALOR_SRC/samples/TGR08901.ZIP $ZALOR_SRC/tests/integration/golden/TGR17031.ZIP"

# script(1) gives the run a terminal; every redraw starts with a carriage return.
script -q -e -c "$CLI --lines A,H --areas CTBNA00 -o $tmp/out $inputs" /dev/null >"$tmp/tty" 2>&1; rc=$?
tr '\r' '\n' <"$tmp/tty" | sed 's/\x1b\[K//g' >"$tmp/lines"
[ $rc -eq 0 ]
check "the run on a terminal exits 0" $?
grep -q '^\[1/2\] \[08901\] Ivanhoe County (TIGER/Line Census 2000)  reading [0-9]*%  0:0[0-9] elapsed' "$tmp/lines"
check "county 1 of 2 with its name, phase, percentage and elapsed time" $?
grep -q '^\[2/2\] \[17031\] .*  areas [0-9]*%  0:0[0-9] elapsed, 0:[0-9][0-9] left' "$tmp/lines"
check "county 2 of 2 shows the time left" $?
! grep -q '^\[1/2\].* left' "$tmp/lines"
check "no estimate before a county is done" $?
grep -q '^\[1/2\].*  lines [0-9]*%' "$tmp/lines" && grep -q 'Output Files \[ 6 \]' "$tmp/lines"
check "the phases follow the county, and the output list comes after" $?

script -q -e -c "$CLI -q --lines A -o $tmp/quiet $inputs" /dev/null >"$tmp/qtty" 2>&1
[ ! -s "$tmp/qtty" ]
check "--quiet on a terminal prints nothing" $?

# Not a terminal: the plain county lines with the release, no redraws.
"$CLI" --lines A -o "$tmp/plain" $inputs >"$tmp/plain.out" 2>"$tmp/plain.err"
! grep -q $'\r' "$tmp/plain.out" "$tmp/plain.err" && grep -qx '\[08901\] Ivanhoe County (TIGER/Line Census 2000)' "$tmp/plain.out"
check "plain lines when not a terminal" $?

finish "progress"
