// What makes a record a record of its type: the record-type character in
// column 1, identifiers that are numbers, coordinates that are numbers on
// the globe. Records that fail are passed over and counted by the record
// file (RecordTally).
#pragma once

#include "tiger/archive.h"

#include <string_view>

namespace zalor {

// The check of the records of a record file by its extension (".RT1",
// ".RTS", ...); null for an extension of no known record type.
RecordValidator RecordValidatorFor(std::string_view extension);

} // namespace zalor
