#include "run/inputs.h"

#include <algorithm>

namespace zalor {

bool AddInput(RunSettings& settings, const std::string& path)
{
    InputEntry entry = InputEntryFor(path);
    auto& list = settings.inputs;
    auto it = std::lower_bound(list.begin(), list.end(), entry, InputOrder);
    if (it != list.end() && *it == entry) return false;
    list.insert(it, std::move(entry));
    return true;
}

} // namespace zalor
