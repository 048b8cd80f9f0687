#!/usr/bin/env bash
# Layers, fields and options by name: the same files as the keys they stand
# for, the listing of every layer the feature dialog offers, and usage
# errors that name the valid names.
source "$(dirname "$0")/checks.sh"
sample="$ZALOR_SRC/samples/TGR08901.ZIP"
# The value of KEY in a saved configuration (the landmark area boxes are in it twice).
value() { tr -d '\r' <"$1" | sed -n "s/^$2=//p" | tail -1; }

# Roads, the all-chains file and tracts by name write exactly what their keys write.
"$CLI" --lines A,ALL --areas CTBNA00 -f shp -o "$tmp/named" -q "$ZALOR_SRC/samples/"; rc=$?
keys=()
for n in 1 2 3 4 5 6 7 8; do keys+=(--set "CbA$n=1"); done
"$CLI" "${keys[@]}" --set CbY0=1 --set CbAr12=1 -f shp -o "$tmp/keys" -q "$sample"
diff -r "$tmp/named" "$tmp/keys" >/dev/null && [ $rc -eq 0 ] \
  && [ "$(find "$tmp/named" -name '*.SHP' | wc -l)" -eq 3 ]
check "--lines A,ALL --areas CTBNA00 writes the files of the equivalent --set run" $?

# Every layer box of the feature dialog is in the listing, and every area
# name listed selects its box.
"$CLI" --list-layers >"$tmp/list"; rc=$?
missing=""
for k in CbW1 CbW2 CbY0 CbX0 $(seq -f 'CbAr%g' 1 19) $(seq -f 'CbAr%g' 21 26) $(seq -f 'CbAs%g' 2 7) $(seq -f 'CbAt%g' 1 9); do
  grep -qE "(^|[ ,])$k([ ,-]|$)" "$tmp/list" || missing="$missing $k"
done
[ $rc -eq 0 ] && [ -z "$missing" ] && grep -q 'CbD0-CbD9' "$tmp/list" && grep -q 'CbP0-CbP9' "$tmp/list"
check "--list-layers names every layer box (missing:$missing)" $?
bad=""
for name in $(sed -n '/^Area layers/,/^$/p' "$tmp/list" | awk 'NR > 2 && !/not offered/ {print $1}'); do
  box=$(sed -n "/^Area layers/,/^\$/p" "$tmp/list" | awk -v n="$name" '$1 == n {print $0}' | grep -oE 'Cb[A-Za-z]+[0-9]+' | head -1)
  "$CLI" --areas "$name" --save-config "$tmp/a.cfg" 2>/dev/null && [ "$(value "$tmp/a.cfg" "$box")" = 1 ] || bad="$bad $name"
done
[ -z "$bad" ]
check "each listed area name sets its box (wrong:$bad)" $?
grep -q 'TGRsscccCTBNA00.SHP/.SHX/.DBF/.PRJ/.CPG' <("$CLI" --list-layers -f shp) \
  && grep -q 'TGRsscccCTBNA00_P.MIF/.MID' "$tmp/list" && grep -q 'TGRssccc.*ROADSN.MIF/.MID' <("$CLI" --list-layers --set Asuf=ROADS)
check "--list-layers gives the files of the chosen format and suffixes" $?
"$CLI" --list-layers -f gpkg >"$tmp/glist"
grep -q 'TGRssccc.gpkg:CTBNA00$' "$tmp/glist" && grep -q 'TGRssccc.gpkg:A, with nodes TGRssccc.gpkg:AN' "$tmp/glist" \
  && grep -q 'TGRssccc.gpkg:DP' "$tmp/glist" && ! grep -q '_P' "$tmp/glist"
check "--list-layers -f gpkg gives the tables of the county's GeoPackage" $?

# --vintage: each area layer's source in that release, the absent ones with the reason.
"$CLI" --list-layers --vintage 2006 >"$tmp/v2006"; rc=$?
row() { awk -v n="$2" '$1 == n' "$1"; }
[ $rc -eq 0 ] && grep -q 'Keys in TIGER/Line 2006 Second Edition (version 0806)' "$tmp/v2006" \
  && row "$tmp/v2006" FPL | grep -q 'RTA PLACECU 81-85, current codes' \
  && row "$tmp/v2006" BLK00 | grep -q 'RTS TRACT 31-36 + BLOCK 37-40, Census 2000 codes' \
  && row "$tmp/v2006" W | grep -q 'RTP WATER' \
  && row "$tmp/v2006" PMSA | grep -q 'Census 2000 codes (no current ones)' \
  && row "$tmp/v2006" KGL | grep -q 'none: no key geographic locations (RT9)' \
  && row "$tmp/v2006" SLDU | grep -q 'RTA SLDUCU'
check "--list-layers --vintage 2006: current and Census 2000 codes, the absent layers" $?
"$CLI" --list-layers --vintage 2000 >"$tmp/v2000"
row "$tmp/v2000" KGL | grep -q 'RT9 FEAT' && row "$tmp/v2000" CBSA | grep -q 'none: no CBSA codes' \
  && row "$tmp/v2000" AIR | grep -q 'RTS AIR .*-' && ! grep -q 'KEYS IN' "$tmp/list"
check "--list-layers --vintage 2000: RT9 key locations, no CBSA; no source column without --vintage" $?
"$CLI" --list-layers --vintage 2001 >"$tmp/o" 2>&1; [ $? -eq 2 ] && grep -q "2000, 2002, 2003, 2004, 2005, 2006" "$tmp/o"
check "an unknown vintage exits 2 naming the valid years" $?

# Usage errors name what is valid; nothing is converted.
"$CLI" --areas CTBNA00,TRACTS -o "$tmp/none" "$sample" >"$tmp/o" 2>&1; rc=$?
[ $rc -eq 2 ] && grep -q "TRACTS" "$tmp/o" && grep -q "CTBNA00, BLK00" "$tmp/o" && [ ! -e "$tmp/none" ]
check "an unknown area layer exits 2 naming the valid ones" $?
"$CLI" --lines A,q "$sample" >"$tmp/o" 2>&1; [ $? -eq 2 ] && grep -q "A, B, C, DL, E, F, H, X, ALL, all" "$tmp/o"
check "an unknown line group exits 2 naming the valid ones" $?
"$CLI" --lines A --fields id,street "$sample" >"$tmp/o" 2>&1; [ $? -eq 2 ] && grep -q "address, zip, fips, nodes" "$tmp/o"
check "an unknown field exits 2 naming the valid ones" $?
"$CLI" --areas VTD00 "$sample" >"$tmp/o" 2>&1; [ $? -eq 2 ] && grep -q "not offered" "$tmp/o"
check "a layer the dialog does not offer is refused" $?
"$CLI" --lines , "$sample" >"$tmp/o" 2>&1; [ $? -eq 2 ]
check "an empty name list is a usage error" $?

# Fields: exactly the columns asked for, in the named groups only.
"$CLI" --set CbB1=1 --lines A --fields id,names -o "$tmp/f" --set RbD0=1 -q "$sample"
cols=$(tr -d '\r' <"$tmp/f/TGR08901A.MIF" | sed -n '/^COLUMNS/,/^DATA/p' | awk 'NF == 2 || NF == 3 {print $1}' | tr '\n' ' ')
bcols=$(tr -d '\r' <"$tmp/f/TGR08901B.MIF" | sed -n '/^COLUMNS/,/^DATA/p' | awk 'NF >= 2 {print $1}' | tr '\n' ' ')
[ "$cols" = "COLUMNS NUM TLID NAME NAME1 NAME2 " ] && [ "$bcols" = "COLUMNS NUM TLID CFCC NAME NAME1 " ] \
  && [ ! -e "$tmp/f/TGR08901AN.MIF" ]
check "--fields id,names gives A its columns and leaves B's defaults (A: $cols; B: $bcols)" $?
"$CLI" --lines DL,H --fields nodes -o "$tmp/n" --set RbD0=1 -q "$sample"
[ -f "$tmp/n/TGR08901DLN.MIF" ] && [ -f "$tmp/n/TGR08901HN.MIF" ]
check "--fields nodes writes the node files, also of DL whose CFCC box adds them" $?
"$CLI" --lines all --fields all --save-config "$tmp/all.cfg"
off=""
for q in $(seq -w 1 49); do [ "$q" = 24 ] && continue; [ "$(value "$tmp/all.cfg" "CbQ$q")" = 1 ] || off="$off CbQ$q"; done
[ -z "$off" ] && [ "$(value "$tmp/all.cfg" CbY0)" = 1 ] && [ "$(value "$tmp/all.cfg" CbX0)" = 1 ]
check "--lines all --fields all checks every group and every field box that adds columns (off:$off)" $?
"$CLI" --lines A --fields none,default "$sample" >/dev/null 2>&1; [ $? -eq 2 ]
check "--fields default stands alone" $?
"$CLI" --set CbQ05=1 --set CbQ01=0 --lines A --fields default --save-config "$tmp/d.cfg"
[ "$(value "$tmp/d.cfg" CbQ05)" = 1 ] && [ "$(value "$tmp/d.cfg" CbQ01)" = 0 ] && [ "$(value "$tmp/d.cfg" CbQ02)" = 1 ]
check "--set comes after --fields default" $?

# Options of the named layers only; landmark layers bring their classes.
"$CLI" --areas CTBNA00,W --centroids --exclude-water --save-config "$tmp/o.cfg"
[ "$(value "$tmp/o.cfg" CbCn3)" = 1 ] && [ "$(value "$tmp/o.cfg" CbCn1)" = 1 ] && [ "$(value "$tmp/o.cfg" CbAr20)" = 1 ] \
  && [ "$(value "$tmp/o.cfg" CbCn4)" = 0 ] && [ "$(value "$tmp/o.cfg" CbAs8)" = 0 ]
check "--centroids and --exclude-water set the options of the named layers" $?
"$CLI" --areas WLND,KGL --points --save-config "$tmp/l.cfg"
[ "$(value "$tmp/l.cfg" CbW2)" = 1 ] && [ "$(value "$tmp/l.cfg" CbH4)" = 1 ] && [ "$(value "$tmp/l.cfg" CbD9)" = 1 ] \
  && [ "$(value "$tmp/l.cfg" CbP0)" = 1 ] && [ "$(value "$tmp/l.cfg" CbP9)" = 1 ]
check "landmark water, key locations and points set their class boxes" $?
"$CLI" --areas all --save-config "$tmp/every.cfg"
[ "$(value "$tmp/every.cfg" CbAr15)" = 1 ] && [ "$(value "$tmp/every.cfg" CbAr16)" = 0 ] && [ "$(value "$tmp/every.cfg" CbAt9)" = 1 ]
check "--areas all sets every offered layer and no disabled box" $?

finish "named layers"
