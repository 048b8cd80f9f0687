#!/usr/bin/env bash
# Takes the README's pictures of the desktop program: the real main window
# after a batch of two counties, the sample county and a generated one whose
# archive was damaged in transfer (output list filled, the summary of the
# county that failed over the window), the feature dialog and the options
# dialog, under Xvfb.
#
#   tools/window_screenshot.sh [OUTDIR]      (default docs/)
#
# Builds the Release executables into build/ when needed (ZALOR_BUILD_DIR
# chooses another directory). The run writes into a temporary directory.
# Needs xvfb (zalor.sh installs it).
set -euo pipefail

SRC="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${ZALOR_BUILD_DIR:-$SRC/build}"
OUT="${1:-$SRC/docs}"

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S "$SRC" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZALOR_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" -j"${JOBS:-2}" --target zalor-window-shot zalor-mkcounty >/dev/null

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/out" "$WORK/downloads"
"$BUILD/zalor-mkcounty" --state 08 --county 903 --chains 2000 --seed 11 --zip --quiet --out "$WORK/made"
cp "$WORK/made/TGR08903.ZIP" "$WORK/downloads/TGR08903.ZIP"
# One byte of its chain file's compressed data changed.
printf '\377' | dd of="$WORK/downloads/TGR08903.ZIP" bs=1 seek=30000 conv=notrunc status=none
# The sample configuration, browsing the samples and writing under
# $WORK/out, with the damaged county after the sample county.
sed -e "s#^Input=.*#Input=$SRC/samples/\r#" -e "s#^Output=.*#Output=$WORK/out/\r#" \
    -e "s#^File2=TGR08901.ZIP\r\$#File2=$SRC/samples/TGR08901.ZIP\r\nFile2=$WORK/downloads/TGR08903.ZIP\r#" \
    "$SRC/samples/SAMPLE.CFG" > "$WORK/SAMPLE.CFG"
grep -q "^File2=$WORK/downloads/TGR08903.ZIP" "$WORK/SAMPLE.CFG"

cd "$WORK"
xvfb-run -a -s "-screen 0 1280x1024x24" "$BUILD/zalor-window-shot" "$WORK/SAMPLE.CFG" "$WORK/shots"
mkdir -p "$OUT"
cp "$WORK/shots/window.png" "$OUT/window.png"
cp "$WORK/shots/features.png" "$OUT/features.png"
cp "$WORK/shots/options.png" "$OUT/options.png"
echo "Wrote $OUT/window.png $OUT/features.png $OUT/options.png"
