#!/usr/bin/env bash
# Times the viewer on the all-chains file of a large synthetic county.
#
#   tools/benchmark_viewer.sh [CHAINS]
#
# Builds the Release executables into build/ when needed (ZALOR_BUILD_DIR
# chooses another build directory), generates a county of CHAINS chains
# (default 400000) with zalor-mkcounty in a temporary directory, converts it
# with every line group to shapefiles and to MIF/MID, and runs
# zalor-bench-view (RUNS runs, default 9) on the ALL shapefile and on the ALL
# MIF file: reading against reading the bytes from the page cache, full and
# zoomed redraws, a query and a mouse move.
set -euo pipefail

SRC="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${ZALOR_BUILD_DIR:-$SRC/build}"
CHAINS="${1:-400000}"
RUNS="${RUNS:-9}"

cache="$BUILD/CMakeCache.txt"
if [ ! -f "$cache" ] || ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$cache" \
   || grep -q '^ZALOR_SANITIZE:BOOL=ON$' "$cache"; then
  echo "Configuring a Release build in $BUILD" >&2
  cmake -S "$SRC" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZALOR_SANITIZE=OFF >/dev/null
fi
cmake --build "$BUILD" -j"${JOBS:-2}" --target zalor-cli zalor-mkcounty zalor-bench-view >/dev/null

WORK="$(mktemp -d "${TMPDIR:-/tmp}/zalor-bench-view.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT

"$BUILD/zalor-mkcounty" --state 17 --county 031 --chains "$CHAINS" --seed 7 --quiet --out "$WORK/county"
sets=""
for k in A1 A2 A3 A4 A5 A6 A7 A8 B1 B2 B3 B4 B5 B6 C0 C1 C2 C3 \
         Z0 Z1 Z2 Z3 Z4 Z5 Z6 Z7 Z8 Z9 E0 E1 E2 F0 F1 F2 F3 F4 F5 F6 F7 F8 \
         H0 H1 H2 H3 H4 H5 H6 H7 H8 X0 Y0; do
  sets+=" --set Cb$k=1"
done
for format in shp mif; do
  # shellcheck disable=SC2086
  "$BUILD/zalor-cli" --quiet --format "$format" $sets --output "$WORK/$format" "$WORK/county/TGR17031.RT1"
done
shp="$(find "$WORK/shp" -name TGR17031ALL.SHP | head -1)"
mif="$(find "$WORK/mif" -name TGR17031ALL.MIF | head -1)"

echo "== $(basename "$shp") with its DBF"
"$BUILD/zalor-bench-view" --runs "$RUNS" "$shp"
echo
echo "== $(basename "$mif") with its MID"
"$BUILD/zalor-bench-view" --runs "$RUNS" "$mif"
