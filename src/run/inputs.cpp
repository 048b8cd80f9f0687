#include "run/inputs.h"

#include "run/log.h"

#include <algorithm>
#include <sys/stat.h>

namespace zalor {

std::string InputEntryFor(const std::string& path)
{
    struct stat st;
    int64_t size = (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ? static_cast<int64_t>(st.st_size) : -1;
    return path + "|" + FormatThousands(size);
}

bool AddInput(RunSettings& settings, const std::string& path)
{
    std::string entry = InputEntryFor(path);
    auto& list = settings.inputs;
    auto it = std::lower_bound(list.begin(), list.end(), entry);
    if (it != list.end() && *it == entry) return false;
    list.insert(it, entry);
    return true;
}

} // namespace zalor
