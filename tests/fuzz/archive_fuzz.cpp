// A county archive as the input: every record reader, as a conversion
// calls them, reads its members.
#include "fuzz_support.h"
#include "run/county_reading.h"
#include "tiger/county_release.h"
#include "run/session.h"

namespace {

class Quiet final : public zalor::Reporter {};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace zalor;
    const std::string path = fuzz::ScratchDir() + "TGR17031.ZIP";
    fuzz::WriteFile(path, std::string_view(reinterpret_cast<const char*>(data), size));
    RunSettings settings;
    Quiet quiet;
    Session session(settings, quiet);
    const ConversionPlan plan = BuildConversionPlan(settings);
    session.UsePlan(plan);
    County county;
    const CountySource source{path, path};
    NoteDuplicateMembers(session, source);
    // The layouts of the release the files claim, as the driver takes them.
    const CountyRelease release = DetectRelease(source);
    const RecordLayouts& layouts = LayoutsOf(release.release.group);
    ReadEntityNamesPhase(session, county, source, release.release);
    if (ReadChainPhases(session, county, source, layouts)) OrderChainsPhase(session, county);
    ReadLandmarksPhase(session, county, source, layouts);
    return 0;
}
