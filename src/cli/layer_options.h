// The feature selection by name: --lines, --areas, --points, --fields,
// --centroids and --exclude-water set the keys the feature dialog sets,
// and --list-layers shows what each name stands for. Every name and key
// comes from the settings table.
#pragma once

#include "run/settings.h"

#include <optional>
#include <string>

namespace zalor {

struct NamedSelection {
    std::optional<std::string> lines;  // line group names, comma-separated, or "all"
    std::optional<std::string> areas;  // area layer names, or "all"
    bool points = false;               // every landmark point class
    std::optional<std::string> fields; // output-field names, "all" or "default"
    bool centroids = false;
    bool excludeWater = false;
};

// Sets the keys that the selection names. Returns an empty text, or the
// usage error: the name that is unknown, with the valid ones.
std::string ApplyNamedSelection(RunSettings& s, const NamedSelection& selection);

// The table of every line group, area layer, point layer and output field:
// its name, what it holds, the keys it sets and the files it writes in the
// settings' output format and with their suffixes. With a vintage (a
// year ReleaseTextOfVintage knows), where each area layer's keys come from
// in that release, or why it has none.
std::string LayerListing(const RunSettings& s, const std::string& vintage = {});

} // namespace zalor
