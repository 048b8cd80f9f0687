#!/usr/bin/env bash
# Takes the README's pictures of the desktop program: the real main window
# after a run of the sample county (output list filled), the feature dialog
# and the options dialog, under Xvfb.
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
cmake --build "$BUILD" -j"${JOBS:-2}" --target zalor-window-shot >/dev/null

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/out"
# The sample configuration, browsing the samples and writing under $WORK/out.
sed -e "s#^Input=.*#Input=$SRC/samples/#" -e "s#^Output=.*#Output=$WORK/out/#" \
    -e "s#^File2=samples/#File2=$SRC/samples/#" "$SRC/samples/SAMPLE.CFG" > "$WORK/SAMPLE.CFG"

cd "$WORK"
xvfb-run -a -s "-screen 0 1280x1024x24" "$BUILD/zalor-window-shot" "$WORK/SAMPLE.CFG" "$WORK/shots"
mkdir -p "$OUT"
cp "$WORK/shots/window.png" "$OUT/window.png"
cp "$WORK/shots/features.png" "$OUT/features.png"
cp "$WORK/shots/options.png" "$OUT/options.png"
echo "Wrote $OUT/window.png $OUT/features.png $OUT/options.png"
