#!/usr/bin/env bash
# Takes the README's picture of the viewer: the real window on the sample
# county's MIF files (roads, hydrography, water areas, railroads), under
# Xvfb, in query mode with a named line queried and highlighted, beside
# the layer list.
#
#   tools/viewer_screenshot.sh [OUT.png]      (default docs/viewer.png)
#
# Builds the Release executables into build/ when needed (ZALOR_BUILD_DIR
# chooses another directory) and converts the sample county into out/ when
# ./zalor.sh demo has not been run. Needs xvfb (zalor.sh installs it).
set -euo pipefail

SRC="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${ZALOR_BUILD_DIR:-$SRC/build}"
OUT="${1:-$SRC/docs/viewer.png}"

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S "$SRC" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZALOR_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" -j"${JOBS:-2}" --target zalor-cli zalor-viewer-shot >/dev/null

MIF="$SRC/out/mif/08/08901"
if [ ! -f "$MIF/TGR08901A.MIF" ]; then
  "$BUILD/zalor-cli" --quiet --config "$SRC/samples/SAMPLE.CFG" --format mif --output "$SRC/out/mif" \
    "$SRC/samples/TGR08901.ZIP"
fi

xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$BUILD/zalor-viewer-shot" --size 1200x760 --zoom 1 "$OUT" \
  "$MIF/TGR08901A.MIF" "$MIF/TGR08901H.MIF" "$MIF/TGR08901W.MIF" "$MIF/TGR08901B.MIF"
echo "Wrote $OUT"
