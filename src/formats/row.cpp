#include "formats/row.h"

#include <charconv>

namespace zalor {

std::size_t FormatInteger(int64_t v, char* buffer)
{
    const auto r = std::to_chars(buffer, buffer + 24, v);
    return static_cast<std::size_t>(r.ptr - buffer);
}

Row& Row::Int(int64_t v)
{
    Value& value = values_.emplace_back();
    value.kind = Value::Kind::Integer;
    value.integer = v;
    return *this;
}

Row& Row::Real(double v)
{
    Value& value = values_.emplace_back();
    value.kind = Value::Kind::Real;
    value.real = v;
    return *this;
}

Row& Row::Text(std::string_view bytes)
{
    Value& value = values_.emplace_back();
    value.kind = Value::Kind::Text;
    value.text.offset = static_cast<uint32_t>(text_.size());
    value.text.length = static_cast<uint32_t>(bytes.size());
    const std::size_t at = text_.size();
    text_.append(bytes);
    for (std::size_t i = at; i < text_.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text_[i]);
        if (c < 32 || c == 127) text_[i] = ' ';
    }
    return *this;
}

Row& Row::Null()
{
    values_.emplace_back();
    return *this;
}

} // namespace zalor
