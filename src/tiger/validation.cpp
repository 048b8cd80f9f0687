#include "tiger/validation.h"

#include "tiger/fields.h"

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

// The coordinates of chains and shape points are checked by their readers,
// which read them anyway (ReadCoordinatePair).
const char* Chain(std::string_view r)
{
    if (const char* why = Head(r, '1')) return why;
    return Digits(Columns(r, 6, 15)) ? nullptr : "identifier is not a number";
}

const char* Shapes(std::string_view r)
{
    if (const char* why = Head(r, '2')) return why;
    return Digits(Columns(r, 6, 15)) ? nullptr : "identifier is not a number";
}

const char* ChainReference(std::string_view r, char type)
{
    if (const char* why = Head(r, type)) return why;
    return Digits(Columns(r, 6, 15)) ? nullptr : "identifier is not a number";
}

const char* Polygon(std::string_view r, char type)
{
    if (const char* why = Head(r, type)) return why;
    return Digits(Columns(r, 16, 25)) ? nullptr : "polygon number is not a number";
}

const char* Names(std::string_view r) { return Head(r, '5'); }
const char* Entities(std::string_view r) { return Head(r, 'C'); }
const char* AltNames(std::string_view r) { return ChainReference(r, '4'); }
const char* Links(std::string_view r) { return ChainReference(r, 'I'); }
const char* Landmark(std::string_view r)
{
    if (const char* why = Head(r, '7')) return why;
    if (!Digits(Columns(r, 11, 20))) return "landmark number is not a number";
    int32_t x, y;
    return ReadCoordinatePair(r, 55, true, x, y);
}
const char* LandmarkArea(std::string_view r) { return Polygon(r, '8'); }
const char* KeyLocation(std::string_view r) { return Polygon(r, '9'); }
const char* Areas1990(std::string_view r) { return Polygon(r, 'A'); }
const char* AreasCurrent(std::string_view r) { return Polygon(r, 'S'); }

} // namespace

RecordValidator RecordValidatorFor(std::string_view extension)
{
    if (extension.size() != 4 || extension[0] != '.') return nullptr;
    char type = extension[3];
    if (type >= 'a' && type <= 'z') type = static_cast<char>(type - 'a' + 'A');
    switch (type) {
    case '1': return Chain;
    case '2': return Shapes;
    case '4': return AltNames;
    case '5': return Names;
    case '7': return Landmark;
    case '8': return LandmarkArea;
    case '9': return KeyLocation;
    case 'A': return Areas1990;
    case 'C': return Entities;
    case 'I': return Links;
    case 'S': return AreasCurrent;
    default: return nullptr;
    }
}

} // namespace zalor
