#!/usr/bin/env bash
# Runs every fuzz harness of tests/fuzz with libFuzzer.
#
#   tools/fuzz.sh [SECONDS] [HARNESS...]
#
# Builds the harnesses with clang, AddressSanitizer and UBSan into
# build-fuzz/ (installing clang and its fuzzer runtime when missing), then
# runs each harness for SECONDS (default 60) on a copy of its checked-in
# corpus, with one job per processor (JOBS chooses). New inputs stay in
# build-fuzz/corpus/<harness>; an input that crashes is written to
# build-fuzz/crashes/ and the script ends with status 1: add it to
# tests/fuzz/corpus/<harness>/ with the fix.
set -euo pipefail
SRC="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$SRC/build-fuzz"
SECONDS_EACH="${1:-60}"
shift || true
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"

if ! command -v clang++ >/dev/null 2>&1 || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq clang libclang-rt-14-dev >/dev/null
fi

harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  for f in "$SRC"/tests/fuzz/*_fuzz.cpp; do harnesses+=("$(basename "$f" .cpp)"); done
fi

CC=clang CXX=clang++ cmake -S "$SRC" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZALOR_FUZZ=ON \
  -DZALOR_GUI=OFF >/dev/null
cmake --build "$BUILD" -j"$JOBS" --target "${harnesses[@]}" >/dev/null

status=0
mkdir -p "$BUILD/crashes"
for h in "${harnesses[@]}"; do
  corpus="$BUILD/corpus/$h"
  mkdir -p "$corpus"
  cp -n "$SRC/tests/fuzz/corpus/$h/"* "$corpus/" 2>/dev/null || true
  echo "== $h: ${SECONDS_EACH}s, $JOBS jobs"
  if ! (cd "$BUILD" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "./$h" -max_total_time="$SECONDS_EACH" -jobs="$JOBS" -workers="$JOBS" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$BUILD/crashes/$h-" -print_final_stats=1 "$corpus" >"$BUILD/$h.log" 2>&1); then
    echo "   found a crash, see $BUILD/$h.log and $BUILD/crashes/"
    status=1
  fi
  # The executions of every job, from their logs.
  cat "$BUILD"/fuzz-*.log 2>/dev/null | grep -h 'stat::number_of_executed_units' |
    awk -v h="$h" '{ n += $2 } END { printf "   %s: %d executions\n", h, n }'
  rm -f "$BUILD"/fuzz-*.log
done
exit $status
