// Group keys of the area layers, and the labels and entity types of layers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zalor {

// "1001A" gives 1,001,001 (a final letter A..Z adds 1..26 millions).
int32_t EncodeAreaKey(std::string_view field);
// Back to text. A key above 1,000,000 is written with its letter only
// when the layer's keys carry letters (`letters`) and the letter is A..Z;
// otherwise keys are plain numbers (polygon numbers, feature numbers).
std::string DecodeAreaKey(int32_t key, bool letters = true);
// True when a key field ends in a letter that EncodeAreaKey turns into millions.
bool HasKeyLetter(std::string_view field);

// ZIP code tabulation areas: base 37, blank 0, digits 1..10, letters 11..36.
int32_t EncodeZctaKey(std::string_view field);
std::string DecodeZctaKey(int32_t key);

// Label of a layer in progress messages ("FMCD" gives "Minor Civil Divisions").
std::string LayerLabel(std::string_view name);
// Entity type of the RTC names a layer looks up ('0' for none).
char EntityTypeOf(std::string_view name);

} // namespace zalor
