#include "tiger/fields.h"

#include <charconv>
#include <cstddef>

namespace zalor {

std::string_view TrimField(std::string_view text)
{
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return text.substr(b, e - b);
}

namespace {

// Base-38 code of a text: A..Z and '[' count 10..36, other characters
// their code minus '0'; 32-bit wrap-around; bit 31 set.
int32_t CodeOf(const char* s, std::size_t n)
{
    uint32_t acc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        int c = static_cast<unsigned char>(s[i]);
        int v = ((c >= 'A' && c <= 'Z') || c == '[') ? c - 55 : c - 48;
        acc = acc * 38u + static_cast<uint32_t>(v);
    }
    return static_cast<int32_t>(acc | 0x80000000u);
}

bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == ':' || c == '-' || c == '+'; }

} // namespace

int32_t FieldToInt(std::string_view text)
{
    std::string_view t = TrimField(text);
    if (t.empty()) return 0;
    // Most fields are plain numbers that fit: convert them directly.
    {
        std::size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
        if (i < t.size() && t.size() - i <= 9) {
            int32_t v = 0;
            std::size_t j = i;
            for (; j < t.size(); ++j) {
                unsigned d = static_cast<unsigned>(static_cast<unsigned char>(t[j])) - '0';
                if (d > 9) break;
                v = v * 10 + static_cast<int32_t>(d);
            }
            if (j == t.size()) return t[0] == '-' ? -v : v;
        }
    }
    // Fields are short; a fixed buffer keeps this free of allocations.
    char buf[256];
    if (t.size() > sizeof buf) t = t.substr(0, sizeof buf);
    for (std::size_t i = 0; i < t.size(); ++i) buf[i] = t[i];
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (i > 0 && buf[i] == '-') buf[i] = '[';
        if (!IsNumberChar(buf[i])) return CodeOf(buf, t.size());
    }
    const char* first = buf;
    const char* last = buf + t.size();
    if (*first == '+') {
        ++first;
        if (first == last || *first == '-') return 0;
    }
    int32_t value = 0;
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last) return 0;
    return value;
}

int32_t ReduceCoordinateField(std::string_view field, int digits)
{
    if (digits >= 6) {
        int32_t v;
        return PlainSignedField(field, v) ? v : FieldToInt(field);
    }
    if (digits < 1) digits = 1;
    // The last 6 - digits characters of the raw field become '0': the value
    // is cut toward zero to `digits` decimals of a degree.
    char buf[64];
    if (field.size() > sizeof buf) return FieldToInt(field); // no coordinate field is this long
    const std::size_t n = field.size();
    for (std::size_t i = 0; i < n; ++i) buf[i] = field[i];
    const std::size_t cut = static_cast<std::size_t>(6 - digits);
    for (std::size_t i = n > cut ? n - cut : 0; i < n; ++i) buf[i] = '0';
    return FieldToInt(std::string_view(buf, n));
}

} // namespace zalor
