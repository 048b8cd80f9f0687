// Where each area layer takes the keys of its areas from, in the records
// of each release: the record type and the field. Layers are named by
// their own names (CNTY, BLK00, W, KGL, ...).
#pragma once

#include "tiger/area_records.h"
#include "tiger/layouts.h"

#include <string_view>

namespace zalor {

struct AreaKeySource {
    // The records the keys are in; null when the release has no such areas.
    const AreaRecordType* records = nullptr;
    FieldColumns key;        // the key field's columns in that release
    std::string_view field;  // its name in the record layout ("PLACECU")
    // A field whose text precedes the key field's in the whole key (the
    // tract of a block or block group); empty when the field is the key.
    FieldColumns prefix;
    std::string_view prefixField;
    // The release holds current codes as well, but these are the codes
    // of Census 2000 (the release has no current ones for the layer).
    bool census2000Only = false;
    std::string_view absent; // why the release has none ("no 1990 areas")
    // The part of the records whose layout no real file of the release has
    // confirmed ("RTA after column 50"); empty when known.
    std::string_view uncertain;

    bool Present() const { return records != nullptr; }
};

// The source of the layer `theme` in releases of `group`. A layer that
// the table does not know has no source.
AreaKeySource AreaKeySourceOf(std::string_view theme, LayoutGroup group);

// Where the county's water polygons are marked, for the layers that leave
// water out: the water flag of the water-block layer (RTS before 2002, RTP
// after), any value but "0" and blank; in files without the flag (1990,
// 1992) the 1990 block number, whose "99" in the middle marks water.
struct WaterSource {
    const AreaRecordType* records = nullptr; // null: nothing marks water
    FieldColumns field;
    bool blockNumbers = false;

    bool IsWater(std::string_view text) const;
};
WaterSource WaterSourceOf(LayoutGroup group);

// What the records of the layer `theme` describe, in the releases that have it.
AreaContent AreaContentOf(std::string_view theme);

} // namespace zalor
