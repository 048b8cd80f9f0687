// The record layouts of the TIGER/Line releases, as data: for each layout
// group, the length of each record type and the columns of every field the
// readers use. No reader names a column of its own.
#pragma once

#include "tiger/release.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zalor {

// Columns first..last of a record (1-based, inclusive); empty when the
// layout has no such field.
struct FieldColumns {
    uint16_t first = 0;
    uint16_t last = 0;

    bool Empty() const { return first == 0; }
    std::size_t Width() const { return Empty() ? 0 : static_cast<std::size_t>(last - first + 1); }
};

class RecordLayouts {
public:
    constexpr explicit RecordLayouts(LayoutGroup group) : group_(group) {}
    LayoutGroup Group() const { return group_; }

    // Data characters of a record of `type` ('1', '5', 'A', ...; the line
    // end not counted); 0 when the releases of the group have no such records.
    int Length(char type) const;
    // The length with a CR LF line end, as record files are opened with.
    int RecordLength(char type) const { return Length(type) + 2; }
    // The columns of a field of records of `type`; empty when the layout
    // has none of that name.
    FieldColumns Field(char type, std::string_view name) const;

private:
    LayoutGroup group_;
};

// The layouts of a group.
const RecordLayouts& LayoutsOf(LayoutGroup group);

// The width of the widest field of that name in records of `type` over
// every release (0 when none has it): what an output column of its texts
// must hold to keep them whole whatever the county's release.
std::size_t WidestField(char type, std::string_view name);

// The record type of a record file's extension (".RT5" gives '5'); 0 for none.
char RecordTypeOf(std::string_view extension);

// Sets of layout groups, as bits, for the tables that hold a value for
// several groups at once.
constexpr uint8_t GroupBit(LayoutGroup g) { return static_cast<uint8_t>(1u << static_cast<unsigned>(g)); }
inline constexpr uint8_t kGroups1990s =
    GroupBit(LayoutGroup::Tiger1990) | GroupBit(LayoutGroup::Tiger1994) | GroupBit(LayoutGroup::Tiger1999);
inline constexpr uint8_t kGroupCensus2000 = GroupBit(LayoutGroup::Census2000);
inline constexpr uint8_t kOldGroups = kGroups1990s | kGroupCensus2000;
inline constexpr uint8_t kGroup2002 = GroupBit(LayoutGroup::Tiger2002);
inline constexpr uint8_t kGroups2003On =
    GroupBit(LayoutGroup::Tiger2003) | GroupBit(LayoutGroup::Tiger2004) | GroupBit(LayoutGroup::Tiger2006Second);
inline constexpr uint8_t kGroups2004On = GroupBit(LayoutGroup::Tiger2004) | GroupBit(LayoutGroup::Tiger2006Second);
inline constexpr uint8_t kGroup2006Second = GroupBit(LayoutGroup::Tiger2006Second);
inline constexpr uint8_t kNewGroups = kGroup2002 | kGroups2003On;
inline constexpr uint8_t kAllGroups = kOldGroups | kNewGroups;

} // namespace zalor
