// What the text fields of the settings may hold beyond what a setting
// stores, and how a message names a field: by the caption the user sees,
// never by its configuration key.
#pragma once

#include "run/settings.h"

#include <string>
#include <string_view>

namespace zalor {

// The caption a message names a setting's field by: a suffix by the layer
// whose files it names ("Roads File Suffix", "Water Blocks File Suffix"),
// any other setting by its own caption ("Lambert Parameters", "Precision
// Digits"), without a trailing colon.
std::string FieldCaption(const SettingDef& def);

// Why `value` cannot be used for the setting, as a phrase to show beside
// its field ("may not be empty"); empty when it can. A file suffix may not
// be empty, hold a directory separator or "..". The Lambert parameters are
// three numbers: a radius above 0, a central longitude from -180 to 180
// and a central latitude from -90 to 90. Any other text setting takes any
// value (numbers are brought into their range as they are set).
std::string ValueProblem(const SettingDef& def, std::string_view value);

// The message of a value that cannot be used: the field's caption, the
// value and the problem ("Roads File Suffix \"../x\": may not hold ...").
std::string ValueProblemMessage(const SettingDef& def, std::string_view value, const std::string& problem);

} // namespace zalor
