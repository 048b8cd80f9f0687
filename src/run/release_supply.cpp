#include "run/release_supply.h"

#include "tiger/area_sources.h"
#include "tiger/release.h"

#include <utility>

namespace zalor {

std::string ReleaseTextOfVintage(std::string_view vintage)
{
    Release release;
    return ReleaseOfVintage(vintage, release) ? release.Text() : std::string();
}

std::string VintageChoiceText() { return std::string(VintageChoices()); }

std::string VintageDatumText(std::string_view vintage)
{
    Release release;
    if (!ReleaseOfVintage(vintage, release)) return {};
    // The states whose datum differs from the conterminous states'.
    static constexpr std::pair<int, std::string_view> kStates[] = {
        {15, "Hawaii"}, {72, "Puerto Rico"}, {78, "the Virgin Islands"}, {66, "Guam"},
        {69, "the Northern Mariana Islands"}, {60, "American Samoa"},
    };
    const Datum main = ReleaseDatum(release, 17);
    std::string text(DatumName(main)), others;
    for (const auto& [state, name] : kStates)
        if (const Datum d = ReleaseDatum(release, state); d != main)
            others += (others.empty() ? "" : "; ") + std::string(name) + ": " + std::string(DatumName(d));
    return others.empty() ? text : text + " (" + others + ")";
}

std::string AreaSupplyText(const AreaLayerDef& layer, std::string_view vintage)
{
    Release release;
    if (!ReleaseOfVintage(vintage, release)) return {};
    const AreaKeySource source = AreaKeySourceOf(layer.defaultName, release.group);
    if (!source.Present()) return source.absent.empty() ? "none" : "none: " + std::string(source.absent);
    std::string text = "RT" + std::string(1, source.records->type) + " ";
    if (!source.prefix.Empty())
        text += std::string(source.prefixField) + " " + std::to_string(source.prefix.first) + "-" +
                std::to_string(source.prefix.last) + " + ";
    text += std::string(source.field) + " " + std::to_string(source.key.first) + "-" + std::to_string(source.key.last);
    if (!source.uncertain.empty()) text += " (layout unconfirmed)";
    if (source.census2000Only) return text + ", Census 2000 codes (no current ones)";
    if (NewLayouts(release.group) && source.records->type == 'A') return text + ", current codes";
    if (NewLayouts(release.group) && source.records->type == 'S') return text + ", Census 2000 codes";
    return text;
}

} // namespace zalor
