#include "run/setting_checks.h"

#include "geometry/coords.h"

#include <exception>

namespace zalor {

namespace {

// The caption of the layer whose files a suffix setting names, or "".
std::string SuffixLayerCaption(std::string_view key)
{
    for (const LineGroupDef& g : LineGroupTable())
        if (g.suffixKey == key) return g.caption;
    for (const AreaLayerDef& a : AreaLayerTable())
        if (a.nameKey == key) return a.caption;
    for (const PointLayerDef& p : PointLayerTable())
        if (p.suffixKey == key) return p.caption;
    return {};
}

std::string SuffixProblem(std::string_view value)
{
    if (value.empty()) return "may not be empty";
    if (value.find_first_of("/\\") != std::string_view::npos || value.find("..") != std::string_view::npos)
        return "may not hold a directory separator or \"..\"";
    return {};
}

std::string LambertProblem(std::string_view value)
{
    LambertParameters p;
    try {
        p = ParseLambertParameters(value);
    } catch (const std::exception&) {
        return "wants three numbers: radius, central longitude, central latitude (6370997,-100,45)";
    }
    if (!(p.radius > 0)) return "wants a radius above 0";
    if (p.lon0 < -180 || p.lon0 > 180) return "wants a central longitude from -180 to 180";
    if (p.lat0 < -90 || p.lat0 > 90) return "wants a central latitude from -90 to 90";
    return {};
}

} // namespace

std::string FieldCaption(const SettingDef& def)
{
    std::string caption = def.caption;
    while (!caption.empty() && (caption.back() == ':' || caption.back() == ' ')) caption.pop_back();
    while (!caption.empty() && caption.front() == ' ') caption.erase(caption.begin());
    if (def.fileNamePart) {
        const std::string layer = SuffixLayerCaption(def.key);
        if (!layer.empty()) return layer + " " + caption;
    }
    return caption.empty() ? def.key : caption;
}

std::string ValueProblem(const SettingDef& def, std::string_view value)
{
    if (def.fileNamePart) return SuffixProblem(value);
    if (def.lambertParameters) return LambertProblem(value);
    return {};
}

std::string ValueProblemMessage(const SettingDef& def, std::string_view value, const std::string& problem)
{
    return FieldCaption(def) + " \"" + std::string(value) + "\": " + problem;
}

} // namespace zalor
