// Placeholders for the record readers that are not written yet.
#include "run/session.h"
#include "tiger/archive.h"
#include "tiger/chains.h"
#include "tiger/county.h"
#include "tiger/landmarks.h"
#include "tiger/names.h"
#include "tiger/polygons.h"

namespace zalor {

void AutoZipOutputs(Session&, const std::string&, const std::string&) {}
void ReadChains(Session&, County&, const std::string&) {}
void ReadShapes(Session&, County&, const std::string&) {}
void SortChainsById(Session&, County&) {}
void SortChainsSpatially(Session&, County&) {}
void SortChainsByMcd(Session&, County&) {}
void SortChainsByCfcc(Session&, County&) {}
void ReleaseChains(County& county) { county.chains.Release(); }
void ReadAltNames(Session&, County&, const std::string&) {}
void ReadAltFeatures(Session&, County&, const std::string&) {}
void ReadPolygonLinks(Session&, County&, const std::string&) {}
void ReadEntityNames(Session&, County&, const std::string&) {}
void ComputeCountyExtent(Session&, County&) {}
void ReadLandmarks(Session&, County&, const std::string&, const std::string&, bool) {}

} // namespace zalor

#include "geometry/coords.h"
namespace zalor {
LambertParameters ParseLambertParameters(std::string_view) { return {6370997, -100, 45}; }
void SetupLambert(Projection&, const LambertParameters&) {}
} // namespace zalor
namespace zalor {
std::string FormatFixed(int32_t v)
{
    std::string d = std::to_string(v < 0 ? -static_cast<int64_t>(v) : v);
    while (d.size() < 7) d.insert(d.begin(), '0');
    return (v < 0 ? "-" : "") + d.substr(0, d.size() - 6) + "." + d.substr(d.size() - 6);
}
std::string FormatCoordinatePair(const Projection&, GeoPoint p) { return FormatFixed(p.x) + " " + FormatFixed(p.y); }
} // namespace zalor
