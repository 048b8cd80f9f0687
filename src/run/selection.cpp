#include "run/selection.h"

#include "run/setting_checks.h"
#include "tiger/area_sources.h"

#include <cstdio>

namespace zalor {

void BuildCfccSelection(const RunSettings& s, int mask, TClist& set)
{
    const bool all = mask == kMaskAllChains;
    char code[4] = {0, 0, 0, 0};
    for (const SelectionBoxDef& box : SelectionBoxTable()) {
        if ((box.masks & mask) == 0) continue;
        if (!(all && box.forcedByAllChains) && !s.Box(box.key)) continue;
        for (const CfccRange& r : box.codes) {
            code[0] = r.letter;
            for (int n = r.first; n <= r.last; ++n) {
                code[1] = static_cast<char>('0' + n / 10);
                code[2] = static_cast<char>('0' + n % 10);
                set.Insert(std::string_view(code, 3));
            }
        }
    }
}

namespace {

bool AnySelectionBox(const RunSettings& s, int mask)
{
    for (const SelectionBoxDef& box : SelectionBoxTable())
        if ((box.masks & mask) != 0 && s.Box(box.key)) return true;
    return false;
}

} // namespace

int LineGroupFlags(const RunSettings& s)
{
    int flags = 0;
    for (const LineGroupDef& g : LineGroupTable())
        if (g.mask != kMaskAllChains && LineGroupChosen(s, g)) flags |= g.mask;
    return flags;
}

bool LineGroupChosen(const RunSettings& s, const LineGroupDef& group)
{
    for (const std::string& box : group.boxes)
        if (s.Box(box)) return true;
    return false;
}

int LineColumnGroups(const RunSettings& s, int mask)
{
    int groups = 0;
    for (const LineGroupDef& g : LineGroupTable())
        if (g.mask == mask)
            for (const std::string& box : g.fieldBoxes)
                if (s.Box(box)) groups |= FindFieldBox(box)->columnGroups;
    return groups;
}

bool AnyPointLandmarkSelected(const RunSettings& s) { return AnySelectionBox(s, kMaskPointLandmarks); }

bool AnyLandmarkAreaSelected(const RunSettings& s) { return AnySelectionBox(s, kMaskLandmarkAreas); }

bool AnyAreaSelected(const RunSettings& s)
{
    for (const AreaLayerDef& layer : AreaLayerTable())
        if (layer.when == AreaLayerDef::When::Box && s.Box(layer.boxKey)) return true;
    return AnyPointLandmarkSelected(s);
}

bool AnythingSelected(const RunSettings& s)
{
    TClist all;
    BuildCfccSelection(s, kMaskEverything, all);
    if (!all.Empty() || AnyAreaSelected(s)) return true;
    // The all-chains file alone is a selection too.
    for (const LineGroupDef& g : LineGroupTable())
        if (g.mask == kMaskAllChains && LineGroupChosen(s, g)) return true;
    return false;
}

bool AreaLayerSelected(const RunSettings& s, const AreaLayerDef& layer)
{
    switch (layer.when) {
    case AreaLayerDef::When::Box: return s.Box(layer.boxKey);
    case AreaLayerDef::When::LandmarkAreas: return AnyLandmarkAreaSelected(s);
    case AreaLayerDef::When::Always: return true;
    }
    return false;
}

std::string AreaLayerName(const RunSettings& s, const AreaLayerDef& layer)
{
    return layer.nameKey.empty() ? layer.name : s.Text(layer.nameKey);
}

std::string UnsafeOutputNames(const RunSettings& s, const SettingDef** which)
{
    for (const SettingDef& def : SettingTable()) {
        if (!def.fileNamePart) continue;
        const std::string& v = s.Text(def.key);
        const std::string problem = ValueProblem(def, v);
        if (problem.empty()) continue;
        if (which) *which = &def;
        return ValueProblemMessage(def, v, problem);
    }
    return {};
}

std::string AreaSpecOf(std::string_view boxKey)
{
    for (const AreaLayerDef& layer : AreaLayerTable()) {
        if (layer.boxKey.empty() || layer.boxKey != boxKey) continue;
        if (!layer.nameKey.empty()) return {}; // named by a suffix, not by the box
        // The key field of Census 2000, as the tooltips have always shown it.
        const AreaKeySource source = AreaKeySourceOf(layer.name, LayoutGroup::Census2000);
        if (!source.Present()) return {};
        char field[16];
        std::snprintf(field, sizeof field, "|%03d%02zu", source.key.first, source.key.Width());
        return layer.name + field;
    }
    return {};
}

} // namespace zalor
