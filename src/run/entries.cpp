#include "run/entries.h"

#include "run/log.h"

#include <sys/stat.h>

namespace zalor {

InputEntry InputEntryFor(const std::string& path)
{
    // A path holding a NUL names no file (the system would read it cut short).
    struct stat st;
    const bool found = path.find('\0') == std::string::npos && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    return {path, found ? static_cast<int64_t>(st.st_size) : -1};
}

std::string EntryText(const FileEntry& entry) { return entry.path + "|" + FormatThousands(entry.size); }

bool InputOrder(const InputEntry& a, const InputEntry& b) { return EntryText(a) < EntryText(b); }

} // namespace zalor
