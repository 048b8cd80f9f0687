#include "run/inputs.h"

#include "run/log.h"

#include <algorithm>
#include <sys/stat.h>

namespace zalor {

std::string InputEntryFor(const std::string& path)
{
    // A path holding a NUL names no file (the system would read it cut short).
    struct stat st;
    const bool found = path.find('\0') == std::string::npos && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    int64_t size = found ? static_cast<int64_t>(st.st_size) : -1;
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
