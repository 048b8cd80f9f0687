// The columns of a layer and the typed attribute row of one feature. Every
// format writes the same row its own way: MID and MTD text, DBF fields,
// SQLite bindings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

enum class ColumnType {
    Integer, // whole numbers
    Char,    // free text of at most `width` bytes (a GeoPackage holds it whole)
    // An identifier code of at most `width` bytes (a CFCC, an area key with
    // its letter, a ZCTA code): text that holds no comma and no quote.
    Code,
    // Coordinates, given in micro-degrees: decimal degrees in MIF,
    // micro-degree integers in DBF, degrees in a GeoPackage.
    Degrees,
};

struct Column {
    std::string name;
    ColumnType type = ColumnType::Integer;
    int width = 0; // Char and Code only

    bool IsText() const { return type == ColumnType::Char || type == ColumnType::Code; }
};

// One value of a row.
struct Value {
    enum class Kind : uint8_t { Null, Integer, Real, Text };
    Kind kind = Kind::Null;
    union {
        int64_t integer = 0;
        double real;
        struct {
            uint32_t offset; // of the text in the row's buffer
            uint32_t length;
        } text;
    };
};

// The attribute values of one feature, in column order. Texts are bytes of
// the single-byte code page of the input; a control character in them (a
// line end, a NUL) is stored as a space, since it would break the row of a
// text format. Clearing keeps what the row has grown to: a row reused for
// every feature of a layer allocates nothing per value.
class Row {
public:
    Row& Int(int64_t v);
    Row& Real(double v);
    Row& Text(std::string_view bytes);
    Row& Null();
    void Clear()
    {
        values_.clear();
        text_.clear();
    }

    std::size_t Size() const { return values_.size(); }
    const Value& At(std::size_t i) const { return values_[i]; }
    Value::Kind KindAt(std::size_t i) const { return values_[i].kind; }
    int64_t IntAt(std::size_t i) const { return values_[i].integer; }
    double RealAt(std::size_t i) const { return values_[i].real; }
    std::string_view TextAt(std::size_t i) const
    {
        const Value& v = values_[i];
        return std::string_view(text_).substr(v.text.offset, v.text.length);
    }

private:
    std::vector<Value> values_;
    std::string text_;
};

// The decimal text of an integer value, written into `buffer` (at least 24
// bytes); returns its length.
std::size_t FormatInteger(int64_t v, char* buffer);

} // namespace zalor
