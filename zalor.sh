#!/usr/bin/env bash
# Zalor set-up commands:
#   ./zalor.sh demo   build (Release, with the viewer build/zalor) and convert the
#                     bundled sample county into ./out (MIF, shapefiles, GeoPackage)
#   ./zalor.sh test   build with AddressSanitizer/UBSan and run the whole test suite
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake pkg-config zlib1g-dev libminizip-dev libcli11-dev
          googletest libgtest-dev libgmock-dev libbenchmark-dev libisal-dev libgdal-dev libsqlite3-dev gdal-bin python3-gdal libproj-dev proj-bin proj-data zip unzip
          qt6-base-dev fonts-liberation2 xvfb xauth desktop-file-utils help2man man-db parallel)

install_deps() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

jobs() { nproc 2>/dev/null || echo 2; }

case "${1:-}" in
  demo)
    install_deps
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZALOR_TESTS=OFF >/dev/null
    cmake --build build -j"$(jobs)" >/dev/null
    rm -rf out && mkdir -p out
    # Every line group, area layer and landmark layer of the sample county,
    # as MapInfo MIF/MID, as shapefiles and as one GeoPackage.
    ./build/zalor-cli --config samples/SAMPLE.CFG --format mif --output out/mif --log out/ZALOR.LOG
    ./build/zalor-cli --config samples/SAMPLE.CFG --format shp --output out/shp --log out/ZALOR.LOG
    ./build/zalor-cli --config samples/SAMPLE.CFG --format gpkg --output out/gpkg --log out/ZALOR.LOG
    ;;
  test)
    install_deps
    cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DZALOR_SANITIZE=ON >/dev/null
    cmake --build build-test -j"$(jobs)" >/dev/null
    cd build-test
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --output-on-failure -j"$(jobs)"
    ;;
  *)
    echo "usage: $0 demo|test" >&2
    exit 2
    ;;
esac
