// Readers of the files the viewer opens: MIF with its MID attribute rows,
// and shapefiles with their DBF tables. Each appends the objects of one
// file to a DrawingModel and answers "" when the file was read whole, or
// the fault that stopped it (the objects before the fault stay).
#pragma once

#include "view/drawing.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zalor::view {

// Told the bytes of the file read so far; returning false stops the reading.
using FileProgress = std::function<bool(int64_t done)>;

class MifReader {
public:
    static std::string Read(const std::string& path, DrawingModel& model, const FileProgress& progress = {});
};

class ShpReader {
public:
    static std::string Read(const std::string& path, DrawingModel& model, const FileProgress& progress = {});
};

// A decimal number ("-113.345188", "4.5e-05") in units of 10^-decimals,
// rounded to the nearest; false when the text is not a number or the value
// does not fit 32 bits.
bool ParseScaled(std::string_view text, int decimals, int32_t& out);

// A UTF-8 text in Latin-1, the viewer's texts: each character beyond
// Latin-1 becomes "?"; a byte that starts no UTF-8 character stays as it is.
std::string Utf8ToLatin1(std::string_view text);

// The companion file of `path`: the same name with the extension `ext`
// (given in upper case), found in upper or lower case; "" when neither exists.
std::string CompanionFile(const std::string& path, std::string_view ext);

} // namespace zalor::view
