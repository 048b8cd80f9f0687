// The attribute records that area layers are built from: polygon
// attributes (RTS, RTA), landmark polygons (RT8) and key geographic
// locations (RT9).
#pragma once

#include "tiger/archive.h"
#include "tiger/progress.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

// Record length (line end included) and the column of the two-digit water
// code (0: the records have none) of an attribute record type.
struct AreaRecordType {
    char type = 0;             // 'S', 'A', '8' or '9'
    const char* extension = "";
    int recordLength = 0;
    std::size_t waterColumn = 0;
};

inline constexpr AreaRecordType kRtsRecords{'S', ".RTS", 122, 79};
inline constexpr AreaRecordType kRtaRecords{'A', ".RTA", 100, 48};
inline constexpr AreaRecordType kRt8Records{'8', ".RT8", 38, 0};
inline constexpr AreaRecordType kRt9Records{'9', ".RT9", 90, 0};

// The widest key field an area layer reads.
inline constexpr std::size_t kAreaKeyWidthMax = 15;

// One record as an area layer sees it: its polygon and the field that
// identifies the layer's areas.
struct AreaRecord {
    int32_t polygon = 0;
    bool water = false; // the water code is 99
    uint8_t keyLength = 0;
    char keyText[kAreaKeyWidthMax] = {};
    // The key field as it stands (columns keyColumn..).
    std::string_view Key() const { return std::string_view(keyText, keyLength); }
};

// Reads the polygon (columns 16-25), the key field (`keyWidth` columns from
// `keyColumn`, at most kAreaKeyWidthMax) and the water flag of every
// record. A read error ends the records early (file.Error() tells).
std::vector<AreaRecord> ReadAreaRecords(TZipFile& file, const AreaRecordType& type, std::size_t keyColumn,
                                        std::size_t keyWidth, ProgressObserver& observer);

// One key geographic location (RT9).
struct KeyLocationRecord {
    int32_t polygon = 0;
    std::string key;  // the feature identifier field (columns 80-87)
    std::string cfcc; // columns 27-29
    std::string name; // columns 30-59, trimmed
};

std::vector<KeyLocationRecord> ReadKeyLocations(TZipFile& file, ProgressObserver& observer);

} // namespace zalor
