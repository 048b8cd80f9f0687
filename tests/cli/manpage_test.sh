#!/usr/bin/env bash
# The manual page in docs/ is the one help2man makes of the current --help,
# and cmake --install puts it beside the program.
source "$(dirname "$0")/checks.sh"
command -v help2man >/dev/null || { echo "FAIL: help2man is missing (./zalor.sh installs it)"; exit 1; }

# The date line differs from day to day.
help2man --no-info --include "$ZALOR_SRC/docs/zalor-cli.h2m" --output "$tmp/zalor-cli.1" "$CLI"
diff <(grep -v '^\.TH' "$ZALOR_SRC/docs/zalor-cli.1") <(grep -v '^\.TH' "$tmp/zalor-cli.1") >"$tmp/diff"
status=$? # taken before the message's $(...) sets $? again
check "docs/zalor-cli.1 is current (cmake --build build --target man makes it): $(head -5 "$tmp/diff")" $status

for section in NAME SYNOPSIS OPTIONS LAYERS "COORDINATE SYSTEMS" EXAMPLES "EXIT STATUS"; do
  grep -q "^\.SH \"\?$section\"\?$" "$ZALOR_SRC/docs/zalor-cli.1"
  check "the page has the section $section" $?
done
man -l "$ZALOR_SRC/docs/zalor-cli.1" 2>"$tmp/warn" | grep -q -- "--list-layers" && [ ! -s "$tmp/warn" ]
status=$?
check "man shows the page without warnings: $(head -3 "$tmp/warn")" $status

"$CLI" --help | grep -q '^Examples:' && "$CLI" --help | grep -q 'zalor-cli --lines A --areas CTBNA00 -f shp -o out counties/'
check "--help shows examples" $?

cmake --install "$ZALOR_BIN" --prefix "$tmp/p" >/dev/null
[ -x "$tmp/p/bin/zalor-cli" ] && cmp -s "$tmp/p/share/man/man1/zalor-cli.1" "$ZALOR_SRC/docs/zalor-cli.1"
check "cmake --install installs zalor-cli and its manual page" $?

# The GeoPackage writer is a module loaded from lib/zalor of the installation.
(cd "$ZALOR_SRC" && "$tmp/p/bin/zalor-cli" --config samples/SAMPLE.CFG --format gpkg --output "$tmp/g" >/dev/null 2>&1) &&
  [ -s "$tmp/g/08/08901/TGR08901.gpkg" ] && [ -f "$tmp/p/lib/zalor/zalor-gpkg.so" ]
check "the installed zalor-cli loads its GeoPackage writer" $?

finish "manual page"
