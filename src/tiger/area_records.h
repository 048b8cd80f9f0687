// The attribute records that area layers are built from: polygon
// attributes (RTS, RTA), landmark polygons (RT8) and key geographic
// locations (RT9).
#pragma once

#include "base/progress.h"
#include "tiger/layouts.h"
#include "tiger/record_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

// What the records of an attribute record type describe.
enum class AreaContent {
    Polygons,     // the attributes of polygons (RTS, RTA)
    Landmarks,    // the polygons of landmarks (RT8)
    KeyLocations, // key geographic locations (RT9), read with ReadKeyLocations
};

// An attribute record type: its record type character and extension, and
// what its records describe. Its length and fields are those of the
// county's layouts (tiger/layouts.h).
struct AreaRecordType {
    char type = 0;             // the record type: 'S', 'A', 'P', '8' or '9'
    const char* extension = "";
    AreaContent content = AreaContent::Polygons;
};

inline constexpr AreaRecordType kRtsRecords{'S', ".RTS", AreaContent::Polygons};
inline constexpr AreaRecordType kRtaRecords{'A', ".RTA", AreaContent::Polygons};
inline constexpr AreaRecordType kRtpRecords{'P', ".RTP", AreaContent::Polygons};
inline constexpr AreaRecordType kRt8Records{'8', ".RT8", AreaContent::Landmarks};
inline constexpr AreaRecordType kRt9Records{'9', ".RT9", AreaContent::KeyLocations};

// The attribute record type of a record type character; null for none.
const AreaRecordType* AreaRecordTypeOf(char type);

// The widest key field an area layer reads.
inline constexpr std::size_t kAreaKeyWidthMax = 15;

// A key field of the records: `width` columns from `column`, after the
// `prefixWidth` columns from `prefixColumn` when the key is made of two
// fields (a block's tract and number).
struct AreaField {
    std::size_t column = 0;
    std::size_t width = 0;
    std::size_t prefixColumn = 0;
    std::size_t prefixWidth = 0;
    std::size_t Width() const { return prefixWidth + width; }
    friend bool operator==(const AreaField&, const AreaField&) = default;
};

// The records of one attribute record file as the area layers see them:
// each record's polygon and the key fields asked for, as they stand
// (blank-padded to their width; a two-field key as the prefix then the field).
struct AreaTable {
    std::vector<int32_t> polygons;
    std::vector<AreaField> fields;
    std::vector<std::string> keys; // per field: Width() bytes per record

    std::size_t Size() const { return polygons.size(); }
    std::string_view Key(std::size_t field, std::size_t record) const
    {
        const std::size_t w = fields[field].Width();
        return std::string_view(keys[field]).substr(record * w, w);
    }
};

// Reads every record of the file once, with all the fields (each at most
// kAreaKeyWidthMax wide) that the county's area layers of this record type
// key their areas by. A read error ends the records early (file.Error()).
AreaTable ReadAreaTable(TZipFile& file, const RecordLayouts& layouts, const AreaRecordType& type,
                        const std::vector<AreaField>& fields, ProgressObserver& observer);

// One key geographic location (RT9).
struct KeyLocationRecord {
    int32_t polygon = 0;
    std::string key;  // the feature identifier field
    std::string cfcc;
    std::string name; // trimmed
};

std::vector<KeyLocationRecord> ReadKeyLocations(TZipFile& file, const RecordLayouts& layouts,
                                                ProgressObserver& observer);

} // namespace zalor
