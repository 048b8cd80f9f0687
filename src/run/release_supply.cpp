#include "run/release_supply.h"

#include "tiger/area_sources.h"
#include "tiger/release.h"

namespace zalor {

std::string ReleaseTextOfVintage(std::string_view vintage)
{
    Release release;
    return ReleaseOfVintage(vintage, release) ? release.Text() : std::string();
}

std::string VintageChoiceText() { return std::string(VintageChoices()); }

std::string AreaSupplyText(const AreaLayerDef& layer, std::string_view vintage)
{
    Release release;
    if (!ReleaseOfVintage(vintage, release)) return {};
    const AreaKeySource source = AreaKeySourceOf(layer.defaultName, release.group);
    if (!source.Present()) return source.absent.empty() ? "none" : "none: " + std::string(source.absent);
    std::string text = "RT" + std::string(1, source.records->type) + " " + std::string(source.field) + " " +
                       std::to_string(source.key.first) + "-" + std::to_string(source.key.last);
    if (source.census2000Only) return text + ", Census 2000 codes (no current ones)";
    if (NewLayouts(release.group) && source.records->type == 'A') return text + ", current codes";
    if (NewLayouts(release.group) && source.records->type == 'S') return text + ", Census 2000 codes";
    return text;
}

} // namespace zalor
