#!/usr/bin/env bash
# Times Zalor on a large synthetic county and compares it with unzip and
# GDAL's ogr2ogr.
#
#   tools/benchmark.sh [CHAINS]
#
# Builds the Release executables into build/ when they are missing or the
# build there is not a Release one (ZALOR_BUILD_DIR chooses another build
# directory), generates a county of CHAINS chains (default 400000) with
# zalor-mkcounty into a temporary directory and prints the median wall time
# of RUNS runs (default 3) of each command, with hyperfine when it is
# installed, else with the shell's own microsecond clock:
#   (a) unzip -p TGR17031.ZIP > /dev/null  vs  zalor-bench-read on the archive
#   (b) zalor-cli converting every line group and the all-chains file to
#       shapefiles, from the archive and from the loose files, vs
#       ogr2ogr -f "ESRI Shapefile" OUT TGR17031.RT1 CompleteChain
#   (c) zalor-cli writing every layer of samples/SAMPLE.CFG as shapefiles
#       and as one GeoPackage
# CURVED_STREETS=N gives the county's streets N percent of curved ones
# (zalor-mkcounty --curved-streets).
set -euo pipefail

SRC="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${ZALOR_BUILD_DIR:-$SRC/build}"
CHAINS="${1:-400000}"
RUNS="${RUNS:-3}"
JOBS="${JOBS:-2}"

# --- executables --------------------------------------------------------------
cache="$BUILD/CMakeCache.txt"
if [ ! -f "$cache" ] || ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$cache" \
   || grep -q '^ZALOR_SANITIZE:BOOL=ON$' "$cache"; then
  echo "Configuring a Release build in $BUILD" >&2
  cmake -S "$SRC" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZALOR_SANITIZE=OFF >/dev/null
fi
cmake --build "$BUILD" -j"$JOBS" --target zalor-cli zalor-mkcounty zalor-bench-read >/dev/null

WORK="$(mktemp -d "${TMPDIR:-/tmp}/zalor-bench.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT

# --- timing -------------------------------------------------------------------
have_hyperfine=0
command -v hyperfine >/dev/null 2>&1 && have_hyperfine=1

# median CMD: runs the shell command CMD once to check it (and to warm up),
# then RUNS times, clearing $WORK/out before each run, and prints the
# median wall time in seconds.
median() {
  local cmd="$1"
  rm -rf "$WORK/out"
  mkdir -p "$WORK/out"
  if ! bash -c "$cmd" >"$WORK/check.log" 2>&1; then
    echo "benchmark: this command failed: $cmd" >&2
    cat "$WORK/check.log" >&2
    exit 1
  fi
  if [ "$have_hyperfine" = 1 ]; then
    hyperfine --style none --runs "$RUNS" --prepare "rm -rf '$WORK/out'; mkdir -p '$WORK/out'" \
      --export-json "$WORK/h.json" "$cmd" >/dev/null 2>&1
    grep -o '"median": *[0-9.eE+-]*' "$WORK/h.json" | head -1 | sed 's/.*: *//' | awk '{ printf "%.3f\n", $1 }'
    return
  fi
  local times=() i t0 t1
  for ((i = 0; i < RUNS; i++)); do
    rm -rf "$WORK/out"
    mkdir -p "$WORK/out"
    t0=$EPOCHREALTIME
    bash -c "$cmd" >/dev/null 2>&1
    t1=$EPOCHREALTIME
    times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { printf "%.3f\n", v[int((NR + 1) / 2)] }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.1fx", a / b; else printf "-" }'; }

# --- the county ---------------------------------------------------------------
county="$WORK/county"
t0=$EPOCHREALTIME
curved=()
[ -n "${CURVED_STREETS:-}" ] && curved=(--curved-streets "$CURVED_STREETS")
"$BUILD/zalor-mkcounty" --state 17 --county 031 --chains "$CHAINS" --seed 7 --zip "${curved[@]}" --quiet --out "$county"
gen=$(awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }')
zip="$county/TGR17031.ZIP"
rt1="$county/TGR17031.RT1"
records=$(cat "$county"/TGR17031.RT? | wc -c)
# Warm the page cache so that every tool starts from the same state.
cat "$zip" "$county"/TGR17031.RT? >/dev/null

sets=""
for k in A1 A2 A3 A4 A5 A6 A7 A8 B1 B2 B3 B4 B5 B6 C0 C1 C2 C3 \
         Z0 Z1 Z2 Z3 Z4 Z5 Z6 Z7 Z8 Z9 E0 E1 E2 F0 F1 F2 F3 F4 F5 F6 F7 F8 \
         H0 H1 H2 H3 H4 H5 H6 H7 H8 X0 Y0; do
  sets+=" --set Cb$k=1"
done
cli="'$BUILD/zalor-cli' --quiet --format shp$sets --output '$WORK/out'"

unzip_s=$(median "unzip -p '$zip' > /dev/null")
read_zip=$(median "'$BUILD/zalor-bench-read' '$zip'")
read_loose=$(median "'$BUILD/zalor-bench-read' '$rt1'")
cli_zip=$(median "$cli '$zip'")
cli_loose=$(median "$cli '$rt1'")
every="'$BUILD/zalor-cli' --quiet --config '$SRC/samples/SAMPLE.CFG' --set RbD0=1 --output '$WORK/out'"
every_shp=$(median "$every --format shp '$zip'")
every_gpkg=$(median "$every --format gpkg '$zip'")
if command -v ogr2ogr >/dev/null 2>&1; then
  ogr=$(median "ogr2ogr -f 'ESRI Shapefile' '$WORK/out/ogr' '$rt1' CompleteChain")
else
  ogr=""
fi

# --- the table ----------------------------------------------------------------
timer="shell clock"
[ "$have_hyperfine" = 1 ] && timer="hyperfine"
printf 'County TGR17031: %s chains asked%s, %s bytes of record files, %s bytes of archive\n' \
  "$CHAINS" "${CURVED_STREETS:+, $CURVED_STREETS% curved streets}" "$records" "$(wc -c <"$zip")"
printf 'Median wall time of %s runs (%s), %s processors\n\n' "$RUNS" "$timer" "$(nproc)"
printf '%-58s %9s  %s\n' "command" "seconds" "ratio"
printf '%-58s %9s  %s\n' "zalor-mkcounty --chains $CHAINS --zip (1 run)" "$gen" ""
printf '%-58s %9s  %s\n' "unzip -p TGR17031.ZIP > /dev/null" "$unzip_s" "1.0x"
printf '%-58s %9s  %s\n' "zalor-bench-read TGR17031.ZIP" "$read_zip" "$(ratio "$unzip_s" "$read_zip") faster than unzip"
printf '%-58s %9s  %s\n' "zalor-bench-read TGR17031.RT1 (loose files)" "$read_loose" "$(ratio "$unzip_s" "$read_loose") faster than unzip"
if [ -n "$ogr" ]; then
  printf '%-58s %9s  %s\n' "ogr2ogr -f \"ESRI Shapefile\" OUT TGR17031.RT1 CompleteChain" "$ogr" "1.0x"
  printf '%-58s %9s  %s\n' "zalor-cli -f shp, all line groups + all chains, archive" "$cli_zip" "$(ratio "$ogr" "$cli_zip") faster than ogr2ogr"
  printf '%-58s %9s  %s\n' "zalor-cli -f shp, all line groups + all chains, loose" "$cli_loose" "$(ratio "$ogr" "$cli_loose") faster than ogr2ogr"
else
  printf '%-58s %9s  %s\n' "ogr2ogr (not installed)" "-" ""
  printf '%-58s %9s  %s\n' "zalor-cli -f shp, all line groups + all chains, archive" "$cli_zip" ""
  printf '%-58s %9s  %s\n' "zalor-cli -f shp, all line groups + all chains, loose" "$cli_loose" ""
fi
printf '%-58s %9s  %s\n' "zalor-cli -c samples/SAMPLE.CFG -f shp (every layer)" "$every_shp" "1.0x"
printf '%-58s %9s  %s\n' "zalor-cli -c samples/SAMPLE.CFG -f gpkg (every layer)" "$every_gpkg" \
  "$(ratio "$every_gpkg" "$every_shp") the shapefiles' time"
