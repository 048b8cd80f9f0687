// A county archive as the input: every record reader, as a conversion
// calls them, reads its members. The run's plan is made once.
#include "fuzz_support.h"
#include "run/county_reading.h"
#include "run/plan.h"
#include "run/session.h"
#include "tiger/county_release.h"

namespace {

using namespace zalor;

class Quiet final : public Reporter {};

struct Reading {
    std::string path = fuzz::ScratchDir() + "TGR17031.ZIP";
    RunSettings settings;
    ConversionPlan plan = BuildConversionPlan(settings);
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static Reading reading;
    fuzz::WriteFile(reading.path, std::string_view(reinterpret_cast<const char*>(data), size));
    Quiet quiet;
    Session session(reading.settings, quiet);
    session.UsePlan(reading.plan);
    County county;
    const CountySource source{reading.path, reading.path};
    NoteDuplicateMembers(session, source);
    // The layouts of the release the files claim, as the driver takes them.
    const CountyRelease release = DetectRelease(source);
    const RecordLayouts& layouts = LayoutsOf(release.release.group);
    ReadEntityNamesPhase(session, county, source, release.release);
    if (ReadChainPhases(session, county, source, layouts)) OrderChainsPhase(session, county);
    ReadLandmarksPhase(session, county, source, layouts);
    return 0;
}
