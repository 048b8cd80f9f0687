// Field conversions shared by every TIGER record reader.
#pragma once

#include <cstdint>
#include <string_view>

namespace zalor {

// Converts a numeric field text. Blanks and control characters around it
// are ignored; an empty text gives 0. A plain decimal number (optional
// leading sign) gives its value, or 0 when it does not fit 32 bits or mixes
// in ':' or '+'. Any other text (such as the address 123-45 or a code with
// letters) gives a base-38 code with bit 31 set, so it is never 0.
int32_t FieldToInt(std::string_view text);

// The common form of a numeric field, fast: blanks, an optional sign, one
// to nine digits, blanks. False for anything else (FieldToInt then decides).
inline bool PlainSignedField(std::string_view f, int32_t& v)
{
    std::size_t i = 0;
    const std::size_t n = f.size();
    while (i < n && f[i] == ' ') ++i;
    bool negative = false;
    if (i < n && (f[i] == '+' || f[i] == '-')) negative = f[i++] == '-';
    const std::size_t first = i;
    uint32_t acc = 0;
    while (i < n && static_cast<unsigned>(f[i] - '0') <= 9) acc = acc * 10 + static_cast<uint32_t>(f[i++] - '0');
    if (i == first || i - first > 9) return false;
    while (i < n && f[i] == ' ') ++i;
    if (i != n) return false;
    v = negative ? -static_cast<int32_t>(acc) : static_cast<int32_t>(acc);
    return true;
}

// Applies the precision (1..6 digits) to a fixed-width coordinate field
// of a record (the last 6 - digits characters become '0') and converts it.
int32_t ReduceCoordinateField(std::string_view field, int digits);

// The text with blanks and control characters removed from both ends.
std::string_view TrimField(std::string_view text);

// Columns `first`..`last` (1-based, inclusive) of a record; the part that
// lies beyond the end of the record is left out.
inline std::string_view Columns(std::string_view record, std::size_t first, std::size_t last)
{
    if (first < 1 || first > record.size() || last < first) return {};
    std::size_t n = last - first + 1;
    return record.substr(first - 1, n);
}

} // namespace zalor
