// Field conversions of the record readers and the area key codes.
#include "features/area_keys.h"
#include "tiger/fields.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace zalor;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int32_t v = FieldToInt(text);
    const std::string_view trimmed = TrimField(text);
    if (trimmed.size() > text.size()) std::abort();
    // A plain number of up to nine digits is its value.
    if (!trimmed.empty() && trimmed.size() <= 9 && trimmed.find_first_not_of("0123456789") == std::string_view::npos &&
        v != std::stoi(std::string(trimmed)))
        std::abort();
    for (int digits = 1; digits <= 6; ++digits) ReduceCoordinateField(text, digits);
    (void)Columns(text, 3, 12);

    // Area keys: a key made of digits (and a final letter) comes back as its text.
    const int32_t key = EncodeAreaKey(text);
    const std::string back = DecodeAreaKey(key, HasKeyLetter(text));
    if (!trimmed.empty() && trimmed.size() <= 6 && trimmed.find_first_not_of("0123456789") == std::string_view::npos &&
        std::stoi(std::string(trimmed)) > 0 && back != std::to_string(std::stoi(std::string(trimmed))))
        std::abort();
    // ZCTA keys: texts of digits and capitals of up to five characters come back.
    const std::string zcta = DecodeZctaKey(EncodeZctaKey(text));
    if (!trimmed.empty() && trimmed.size() <= 5 &&
        trimmed.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string_view::npos &&
        zcta != trimmed)
        std::abort();
    (void)LayerLabel(text);
    (void)EntityTypeOf(text);
    return 0;
}
