#include "tiger/validation.h"

#include "tiger/fields.h"
#include "tiger/layouts.h"

namespace zalor {

namespace {

constexpr int32_t kMaxLongitude = 180000000;
constexpr int32_t kMaxLatitude = 90000000;

// The record without its line end; blank when nothing but blanks is left.
bool Blank(std::string_view r)
{
    for (char c : r)
        if (static_cast<unsigned char>(c) > ' ') return false;
    return true;
}

// A number of decimal digits, blanks around it.
bool Digits(std::string_view field)
{
    field = TrimField(field);
    if (field.empty()) return false;
    for (char c : field)
        if (c < '0' || c > '9') return false;
    return true;
}

// Blank, or a signed number.
bool SignedOrBlank(std::string_view field)
{
    field = TrimField(field);
    if (!field.empty() && (field.front() == '+' || field.front() == '-')) field.remove_prefix(1);
    for (char c : field)
        if (c < '0' || c > '9') return false;
    return true;
}

bool InRange(int32_t x, int32_t y)
{
    return x >= -kMaxLongitude && x <= kMaxLongitude && y >= -kMaxLatitude && y <= kMaxLatitude;
}

} // namespace

const char* ReadCoordinatePair(std::string_view r, std::size_t lon, bool blankAllowed, int32_t& x, int32_t& y)
{
    const std::string_view fx = Columns(r, lon, lon + 9), fy = Columns(r, lon + 10, lon + 18);
    if (PlainSignedField(fx, x) && PlainSignedField(fy, y)) // the usual case, fast
        return InRange(x, y) ? nullptr : "coordinate beyond 180 degrees of longitude or 90 of latitude";
    if (!blankAllowed && (TrimField(fx).empty() || TrimField(fy).empty())) return "coordinate missing";
    if (!SignedOrBlank(fx) || !SignedOrBlank(fy)) return "coordinate is not a number";
    x = FieldToInt(fx);
    y = FieldToInt(fy);
    return InRange(x, y) ? nullptr : "coordinate beyond 180 degrees of longitude or 90 of latitude";
}

namespace {

// The common part: the record-type character and a record that is not blank.
const char* Head(std::string_view r, char type)
{
    if (Blank(r)) return "blank record";
    if (r[0] != type) return "wrong record type";
    return nullptr;
}

// A record whose identifier field (a chain's, a polygon's, a landmark's)
// must be a number.
RecordValidator Identified(char type, FieldColumns id, const char* what)
{
    return [type, id, what](std::string_view r) -> const char* {
        if (const char* why = Head(r, type)) return why;
        return Digits(Columns(r, id.first, id.last)) ? nullptr : what;
    };
}

} // namespace

RecordValidator RecordValidatorFor(std::string_view extension, const RecordLayouts& layouts)
{
    const char type = RecordTypeOf(extension);
    if (layouts.Length(type) == 0) return nullptr;
    switch (type) {
    case '1':
    case '2':
    case '4':
    case 'I': return Identified(type, layouts.Field(type, "TLID"), "identifier is not a number");
    case '8':
    case '9':
    case 'A':
    case 'P':
    case 'S': return Identified(type, layouts.Field(type, "POLYID"), "polygon number is not a number");
    case '7': {
        const FieldColumns land = layouts.Field('7', "LAND"), lon = layouts.Field('7', "LALONG");
        return [land, lon](std::string_view r) -> const char* {
            if (const char* why = Head(r, '7')) return why;
            if (!Digits(Columns(r, land.first, land.last))) return "landmark number is not a number";
            int32_t x, y;
            return ReadCoordinatePair(r, lon.first, true, x, y);
        };
    }
    case '5':
    case 'C': return [type](std::string_view r) { return Head(r, type); };
    default: return nullptr;
    }
}

} // namespace zalor
