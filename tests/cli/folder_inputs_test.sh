#!/usr/bin/env bash
# Folders and name patterns as inputs: every county archive, or the chain
# file of a county without one, in any case; a county there both ways is
# converted once, from its archive; anything else in the folder is passed
# over without being opened.
source "$(dirname "$0")/checks.sh"
golden="$ZALOR_SRC/tests/integration/golden"

# in/: the sample as an archive and as loose files, a lower-case archive,
# lower-case loose files, and things that are no county.
mkdir -p "$tmp/in" "$tmp/loose"
cp "$ZALOR_SRC/samples/TGR08901.ZIP" "$tmp/in/"
unzip -q "$ZALOR_SRC/samples/TGR08901.ZIP" -d "$tmp/in"
cp "$golden/TGR17031.ZIP" "$tmp/in/tgr17031.zip"
unzip -q "$golden/tgr06075-lf.zip" -d "$tmp/in"
mkdir "$tmp/in/TGR01001.ZIP"                 # a directory with a county's name
mkfifo "$tmp/in/TGR01003.ZIP"                # would block a reader for ever
printf 'x' >"$tmp/in/TGR01005.ZIP.txt"
printf 'x' >"$tmp/in/$(printf 'TGR01\n007.ZIP')"  # a line end in a name
echo notes >"$tmp/in/README"

timeout 120 "$CLI" --lines A -o "$tmp/out" --set RbD0=1 --log "$tmp/run.log" "$tmp/in" >"$tmp/o" 2>"$tmp/e"; rc=$?
begun=$(tr -d '\r' <"$tmp/run.log" | sed -n 's/^Begin ://p' | sed 's/|.*//' | xargs -n1 basename | tr '\n' ' ')
[ $rc -eq 0 ] && [ "$begun" = "TGR08901.ZIP tgr06075.rt1 tgr17031.zip " ]
check "a folder converts each county once, sorted, archives before loose files (begun: $begun, exit $rc)" $?
[ -f "$tmp/out/TGR08901A.MIF" ] && [ -f "$tmp/out/TGR06075A.MIF" ] && [ -f "$tmp/out/TGR17031A.MIF" ]
check "every county of the folder is written" $?
grep -q "note: .*TGR08901.RT1 passed over: county TGR08901 is converted from TGR08901.ZIP" "$tmp/e"
check "a county there both ways is noted" $?
grep -q "TGR01003.ZIP passed over: not a regular file" "$tmp/e" && grep -q "TGR01001.ZIP passed over: not a regular file" "$tmp/e" \
  && grep -q "TGR01?007.ZIP passed over: its name holds a control character" "$tmp/e"
check "directories, pipes and names with control characters are passed over with a note" $?
! grep -q "TGR01005\|README" "$tmp/e" "$tmp/run.log"
check "other files are not looked at" $?

# A pattern matches names in any case and chooses the same way.
cd "$tmp"
"$CLI" --lines A -o out2 --set RbD0=1 --log p.log 'in/tgr0*' >/dev/null 2>p.err; rc=$?
begun=$(tr -d '\r' <p.log | sed -n 's/^Begin ://p' | sed 's/|.*//' | tr '\n' ' ')
[ $rc -eq 0 ] && [ "$begun" = "in/TGR08901.ZIP in/tgr06075.rt1 " ]
check "a quoted pattern matches in any case (begun: $begun)" $?

# A folder or pattern with no county fails the run, after the others.
mkdir empty
"$CLI" --lines A -o out3 -q empty 'in/TGR99*' in/TGR08901.ZIP 2>e3; rc=$?
[ $rc -eq 1 ] && grep -q "no county (TGR\*.ZIP, TGR\*.RT1) in empty" e3 && grep -q "in TGR99\*\|in in/TGR99\*" e3 \
  && [ -f out3/08/*/TGR08901A.MIF ]
check "a folder or pattern without a county exits 1 and the other inputs are converted" $?

# A county in loose files only, in a folder of its own.
cp in/tgr06075.* loose/
"$CLI" --lines A -o out4 --set RbD0=1 -q loose; rc=$?
[ $rc -eq 0 ] && [ -f out4/TGR06075A.MIF ]
check "a folder of loose record files converts its county" $?

# A path the log could not hold is a usage error.
"$CLI" --lines A -o out5 "$(printf 'in/TGR\r.ZIP')" 2>/dev/null; [ $? -eq 2 ] && [ ! -e out5 ]
check "an input with a control character is a usage error" $?

finish "folder inputs"
