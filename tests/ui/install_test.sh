#!/usr/bin/env bash
# cmake --install puts the programs, the manual, the icon and a valid
# desktop entry in place, and the installed window finds its manual.
set -euo pipefail
: "${ZALOR_BIN:?}"
PREFIX="$(mktemp -d)"
trap 'rm -rf "$PREFIX"' EXIT
cmake --install "$ZALOR_BIN" --prefix "$PREFIX" >/dev/null
for f in bin/zalor bin/zalor-cli share/doc/zalor/manual.html share/icons/hicolor/scalable/apps/zalor.svg \
         share/applications/zalor.desktop; do
  [ -e "$PREFIX/$f" ] || { echo "not installed: $f"; exit 1; }
done
desktop-file-validate "$PREFIX/share/applications/zalor.desktop"
grep -q '^Exec=zalor' "$PREFIX/share/applications/zalor.desktop"
grep -q '^Icon=zalor$' "$PREFIX/share/applications/zalor.desktop"
# The installed program converts the sample county from its window.
WORK="$(mktemp -d)"
trap 'rm -rf "$PREFIX" "$WORK"' EXIT
printf 'CbA1=1\r\nOutput=%s/\r\nFile2=%s\r\n' "$WORK" "$ZALOR_SRC/samples/TGR08901.ZIP" > "$WORK/RUN.CFG"
(cd "$WORK" && QT_QPA_PLATFORM=offscreen "$PREFIX/bin/zalor" --config RUN.CFG --go --quit)
[ -s "$WORK/08/Ivanhoe County/TGR08901A.MIF" ] || { echo "the installed program wrote no output"; ls -R "$WORK"; exit 1; }
echo "1 passed, 0 failed"
