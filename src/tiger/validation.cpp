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

// A coordinate pair at the given columns: longitude of 10, latitude of 9
// characters. Empty when fine, else why not.
const char* Coordinates(std::string_view r, std::size_t lon, bool blankAllowed)
{
    const std::string_view x = Columns(r, lon, lon + 9), y = Columns(r, lon + 10, lon + 18);
    if (!blankAllowed && (TrimField(x).empty() || TrimField(y).empty())) return "coordinate missing";
    if (!SignedOrBlank(x) || !SignedOrBlank(y)) return "coordinate is not a number";
    const int32_t vx = FieldToInt(x), vy = FieldToInt(y);
    if (vx < -kMaxLongitude || vx > kMaxLongitude || vy < -kMaxLatitude || vy > kMaxLatitude)
        return "coordinate beyond 180 degrees of longitude or 90 of latitude";
    return nullptr;
}

// The common part: the record-type character and a record that is not blank.
const char* Head(std::string_view r, char type)
{
    if (Blank(r)) return "blank record";
    if (r[0] != type) return "wrong record type";
    return nullptr;
}

const char* Chain(std::string_view r)
{
    if (const char* why = Head(r, '1')) return why;
    if (!Digits(Columns(r, 6, 15))) return "identifier is not a number";
    if (const char* why = Coordinates(r, 191, false)) return why;
    return Coordinates(r, 210, false);
}

const char* Shapes(std::string_view r)
{
    if (const char* why = Head(r, '2')) return why;
    if (!Digits(Columns(r, 6, 15))) return "identifier is not a number";
    for (std::size_t k = 0; k < 10; ++k) {
        const std::size_t lon = 19 + 19 * k;
        if (const char* why = Coordinates(r, lon, true)) return why;
        if (FieldToInt(Columns(r, lon, lon + 9)) == 0) break; // the unused pairs
    }
    return nullptr;
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
    return Coordinates(r, 55, true);
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
