#!/usr/bin/env bash
# Times Zalor on large synthetic counties and prints each figure against
# its target.
#
#   tools/benchmark.sh [CHAINS]
#
# Builds the Release executables into build/ when needed (ZALOR_BUILD_DIR
# chooses another directory), generates an urban county of CHAINS chains
# (default 400000; a share of curved streets makes its RT2 about as large as
# its RT1) with zalor-mkcounty into a temporary directory and prints the
# median wall time of RUNS runs (default 3) of each command:
#   (1) every line group and the all-chains file to shapefiles, from the
#       archive, against ogr2ogr -f "ESRI Shapefile" OUT TGR17031.RT1
#       CompleteChain (target: at least 12 times faster);
#   (2) every layer of samples/SAMPLE.CFG to shapefiles, to MIF and to one
#       GeoPackage, against the floor: unzip -p of the archive plus writing
#       as many bytes as the run wrote with dd, measured right after (target:
#       at most 1.5 times), and the GeoPackage against the shapefiles
#       (target: at most 1.5 times);
#   (3) the peak memory of (2) against the size of RT1 + RT2 (target: at most);
#   (4) time per chain of (1) and (2) at 50,000, 200,000, 400,000 and 800,000
#       chains (target: within 20 % of each other; SIZES chooses the sizes);
#   (5) eight counties of 50,000 chains, every layer, --jobs 1 against
#       --jobs of the number of processors (target: at least 1.8 times);
#   (6) the county of (2) written in the layouts of TIGER/Line 2006 (Second
#       Edition), every layer to shapefiles, against the same county as
#       Census 2000 files (target: within 10 %).
set -euo pipefail

SRC="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${ZALOR_BUILD_DIR:-$SRC/build}"
CHAINS="${1:-400000}"
RUNS="${RUNS:-3}"
SIZES="${SIZES:-50000 200000 400000 800000}"
CURVED=60
CORES="$(nproc 2>/dev/null || echo 2)"

# --- executables --------------------------------------------------------------
cache="$BUILD/CMakeCache.txt"
if [ ! -f "$cache" ] || ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$cache" \
   || grep -q '^ZALOR_SANITIZE:BOOL=ON$' "$cache"; then
  echo "Configuring a Release build in $BUILD" >&2
  cmake -S "$SRC" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZALOR_SANITIZE=OFF >/dev/null
fi
cmake --build "$BUILD" -j"$CORES" --target zalor-cli zalor-mkcounty >/dev/null
CLI="$BUILD/zalor-cli"

# In memory where the system has it: the figures are the programs' work,
# not the disk's (writing back gigabytes of earlier runs would slow the later ones).
scratch=/tmp
[ -w /dev/shm ] && scratch=/dev/shm
WORK="$(mktemp -d "${TMPDIR:-$scratch}/zalor-bench.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT

# --- timing -------------------------------------------------------------------
# run CMD: runs the shell command once in a fresh $WORK/out and sets
# WALL (seconds) and PEAK (KiB of the largest process).
run() {
  rm -rf "$WORK/out"
  mkdir -p "$WORK/out"
  if ! /usr/bin/time -f "%e %M" -o "$WORK/time" bash -c "$1" >"$WORK/run.log" 2>&1; then
    echo "benchmark: this command failed: $1" >&2
    cat "$WORK/run.log" >&2
    exit 1
  fi
  read -r WALL PEAK <"$WORK/time"
}

# median CMD: the median wall time of RUNS runs (after one to warm up);
# the largest peak memory seen goes to $WORK/peak.
median() {
  local times=() i peak=0
  run "$1"
  for ((i = 0; i < RUNS; i++)); do
    run "$1"
    times+=("$WALL")
    [ "$PEAK" -gt "$peak" ] && peak=$PEAK
  done
  echo "$peak" >"$WORK/peak"
  printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { printf "%.3f\n", v[int((NR + 1) / 2)] }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }
row() { printf '%-64s %10s  %s\n' "$1" "$2" "$3"; }

county() { # DIR CHAINS [STATE COUNTY [VINTAGE]]
  "$BUILD/zalor-mkcounty" --state "${3:-17}" --county "${4:-031}" --chains "$2" --seed 7 --zip \
    --curved-streets "$CURVED" --vintage "${5:-2000}" --quiet --out "$1"
}

lines=""
for k in A1 A2 A3 A4 A5 A6 A7 A8 B1 B2 B3 B4 B5 B6 C0 C1 C2 C3 \
         Z0 Z1 Z2 Z3 Z4 Z5 Z6 Z7 Z8 Z9 E0 E1 E2 F0 F1 F2 F3 F4 F5 F6 F7 F8 \
         H0 H1 H2 H3 H4 H5 H6 H7 H8 X0 Y0; do
  lines+=" --set Cb$k=1"
done
cli_lines() { echo "'$CLI' --quiet -j 1 --format shp$lines --output '$WORK/out' '$1'"; }
cli_all() { echo "'$CLI' --quiet -j 1 -c '$SRC/samples/SAMPLE.CFG' --set RbD0=1 --format $2 --output '$WORK/out' '$1'"; }

# --- the county ---------------------------------------------------------------
c="$WORK/county"
county "$c" "$CHAINS"
zip="$c/TGR17031.ZIP"
rt1="$c/TGR17031.RT1"
raw12=$(( $(stat -c %s "$rt1") + $(stat -c %s "$c/TGR17031.RT2") ))
cat "$zip" "$c"/TGR17031.RT? >/dev/null # the page cache, warm for every command
printf 'County TGR17031: %s chains asked, RT1 %s bytes, RT2 %s bytes, archive %s bytes\n' "$CHAINS" \
  "$(stat -c %s "$rt1")" "$(stat -c %s "$c/TGR17031.RT2")" "$(stat -c %s "$zip")"
printf 'Median wall time of %s runs, %s processors\n\n' "$RUNS" "$CORES"
row "command" "seconds" "against the target"

# (1) lines
lines_s=$(median "$(cli_lines "$zip")")
if command -v ogr2ogr >/dev/null 2>&1; then
  ogr_s=$(median "ogr2ogr -f 'ESRI Shapefile' '$WORK/out/ogr' '$rt1' CompleteChain")
  row "ogr2ogr -f \"ESRI Shapefile\" OUT TGR17031.RT1 CompleteChain" "$ogr_s" ""
  row "zalor-cli -f shp, every line group and all chains, archive" "$lines_s" \
    "$(ratio "$ogr_s" "$lines_s")x faster than ogr2ogr (target 12x)"
else
  row "zalor-cli -f shp, every line group and all chains, archive" "$lines_s" "(ogr2ogr not installed)"
fi

# (2), (3) every layer, against the floor measured right after
for fmt in shp mif gpkg; do
  all_s=$(median "$(cli_all "$zip" "$fmt")")
  if [ "$fmt" = shp ]; then shp_s=$all_s; fi
  peak=$(cat "$WORK/peak")
  bytes=$(du -sb "$WORK/out" | cut -f1)
  unzip_s=$(median "unzip -p '$zip' > /dev/null")
  dd_s=$(median "dd if=/dev/zero of='$WORK/out/fill' bs=1M count=$(( (bytes + 1048575) / 1048576 )) status=none")
  floor=$(awk -v a="$unzip_s" -v b="$dd_s" 'BEGIN { printf "%.3f", a + b }')
  row "zalor-cli -f $fmt, every layer of SAMPLE.CFG ($bytes bytes)" "$all_s" \
    "$(ratio "$all_s" "$floor")x the floor (target at most 1.5x)"
  row "  floor: unzip -p $unzip_s s + dd of the same bytes $dd_s s" "$floor" ""
  row "  peak memory $(( peak / 1024 )) MiB, RT1 + RT2 $(( raw12 / 1048576 )) MiB" "" \
    "$(ratio "$(( peak * 1024 ))" "$raw12")x (target at most 1.0x)"
  if [ "$fmt" = gpkg ]; then row "  against the shapefiles" "" "$(ratio "$all_s" "$shp_s")x (target at most 1.5x)"; fi
done

# (4) time per chain
echo
# The page cache writes some sizes much slower than others on some
# machines: dd of the every-layer run's bytes is printed beside it.
row "chains" "lines s" "every layer (shp) s, microseconds per chain: lines / every layer; dd of its bytes"
for n in $SIZES; do
  d="$WORK/size$n"
  county "$d" "$n"
  total=$(( $(stat -c %s "$d/TGR17031.RT1") / 230 ))
  l=$(median "$(cli_lines "$d/TGR17031.ZIP")")
  a=$(median "$(cli_all "$d/TGR17031.ZIP" shp)")
  bytes=$(du -sb "$WORK/out" | cut -f1)
  dd_s=$(median "dd if=/dev/zero of='$WORK/out/fill' bs=1M count=$(( (bytes + 1048575) / 1048576 )) status=none")
  row "$total" "$l" "$a   $(awk -v l="$l" -v a="$a" -v n="$total" 'BEGIN { printf "%.2f / %.2f", l * 1e6 / n, a * 1e6 / n }'); dd $dd_s s"
  rm -rf "$d"
done

# (5) counties at once
echo
b="$WORK/batch"
for i in 1 2 3 4 5 6 7 8; do county "$b" 50000 17 "$(printf '%03d' $((100 + i)))"; done
rm -f "$b"/*.RT? "$b"/*.json
one=$(median "'$CLI' --quiet -j 1 -c '$SRC/samples/SAMPLE.CFG' --set RbD0=1 -f shp -o '$WORK/out' '$b'")
all=$(median "'$CLI' --quiet -j $CORES -c '$SRC/samples/SAMPLE.CFG' --set RbD0=1 -f shp -o '$WORK/out' '$b'")
# One county already keeps every processor busy with its layers: the
# processor time of --jobs 1 against its wall time says how much was left.
cpu=$( { TIMEFORMAT='%U %S %R'; time "$CLI" --quiet -j 1 -c "$SRC/samples/SAMPLE.CFG" --set RbD0=1 -f shp \
         -o "$WORK/out" "$b" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.2f processor s in %.2f s", $1 + $2, $3 }')
row "8 counties of 50,000 chains, every layer, --jobs 1" "$one" "($cpu)"
row "the same, --jobs $CORES" "$all" "$(ratio "$one" "$all")x faster (target 1.8x)"

# (6) the releases
echo
v="$WORK/vintage2006"
county "$v" "$CHAINS" 17 031 2006
rm -f "$v"/*.RT? "$v"/*.json
cat "$v/TGR17031.ZIP" >/dev/null
v2006=$(median "$(cli_all "$v/TGR17031.ZIP" shp)")
row "zalor-cli -f shp, every layer, the county as TIGER/Line 2006" "$v2006" \
  "$(ratio "$v2006" "$shp_s")x the Census 2000 files (target at most 1.10x)"
