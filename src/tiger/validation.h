// What makes a record a record of its type: the record-type character in
// column 1, identifiers that are numbers, coordinates that are numbers on
// the globe. Records that fail are passed over and counted by the record
// file (RecordTally).
#pragma once

#include "tiger/record_file.h"

#include <string_view>

namespace zalor {

// Reads a coordinate pair (longitude of 10, latitude of 9 characters from
// column `lon`) and returns why it is no coordinate pair, or null. Blank
// fields are 0 when `blankAllowed`.
const char* ReadCoordinatePair(std::string_view record, std::size_t lon, bool blankAllowed, int32_t& x, int32_t& y);

class RecordLayouts;
// The check of the records of a record file by its extension (".RT1",
// ".RTS", ...) in the layouts of the county's release; null for an
// extension of no record type of those layouts.
RecordValidator RecordValidatorFor(std::string_view extension, const RecordLayouts& layouts);

} // namespace zalor
