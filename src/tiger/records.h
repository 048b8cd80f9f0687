// Helpers shared by the TIGER record readers.
#pragma once

#include "tiger/fields.h"

#include <cstddef>
#include <string_view>

namespace zalor {

class Session;
class TZipFile;

// A feature name built from its record fields without allocating. The
// name starts as the feature name; a direction prefix goes before it, a
// type and a direction suffix after it, each joined by one blank when not
// empty (all parts trimmed). So prefix "W" with an empty name gives "W ".
class FeatureName {
public:
    FeatureName(std::string_view prefix, std::string_view name, std::string_view type,
                std::string_view suffix = std::string_view())
    {
        prefix = TrimField(prefix);
        type = TrimField(type);
        suffix = TrimField(suffix);
        if (!prefix.empty()) {
            Put(prefix);
            Put(" ");
        }
        Put(TrimField(name));
        if (!type.empty()) {
            Put(" ");
            Put(type);
        }
        if (!suffix.empty()) {
            Put(" ");
            Put(suffix);
        }
    }
    std::string_view Text() const { return std::string_view(buf_, size_); }

private:
    void Put(std::string_view s)
    {
        for (char c : s)
            if (size_ < sizeof buf_) buf_[size_++] = c;
    }
    char buf_[192];
    std::size_t size_ = 0;
};

// Progress as a share of an estimate; 0 for the start.
void ShowShare(Session& session, int64_t done, int64_t total);

// Reports a read failure of a record file (a damaged member, an input
// error, an incomplete last record) as an error of the county, with
// `message`, or "Error Reading " + the file's name when it is empty.
// Returns true when there was one.
bool ReportReadFailure(Session& session, const TZipFile& file, std::string_view message = {});

} // namespace zalor
