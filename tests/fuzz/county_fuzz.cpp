// A whole conversion of a loose county whose record files are the input:
// the pieces of the input are, in order, RT1, RT2, RTI, RTC, RTS, RT7,
// RT8, RT9, RT4, RT5 and RTA (an empty or absent piece: no such file). The
// driver converts the county as a run converts each of its entries, with
// every layer chosen, as shapefiles; nothing may crash or hang.
//
// What every input shares is made once: the settings and the run's plan,
// whose format writes the shapefiles in memory (a hundred layers of five
// files each would otherwise cost more than the conversion itself), and
// whose layers are written on this thread, one after another. The record
// files are read from the input's own bytes, as if they lay in a directory.
#include "formats/shp/shp.h"
#include "fuzz_support.h"
#include "run/driver.h"
#include "run/plan.h"
#include "run/session.h"

#include <array>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <thread>

namespace {

using namespace zalor;

class Quiet final : public Reporter {};

constexpr std::array<const char*, 11> kTypes = {".RT1", ".RT2", ".RTI", ".RTC", ".RTS", ".RT7",
                                                ".RT8", ".RT9", ".RT4", ".RT5", ".RTA"};

struct Conversion {
    std::string dir = fuzz::ScratchDir() + "county/";
    RunSettings settings{dir, dir};
    ConversionPlan plan;
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());

    Conversion()
    {
        std::filesystem::create_directories(dir + "out");
        for (const SettingDef& def : SettingTable())
            if (def.kind == SettingKind::Box && def.place == SettingPlace::FeatureDialog) settings.SetBox(def.key, true);
        settings.SetRadio("RbF1");
        settings.SetRadio("RbD2");
        settings.SetText("Output", dir + "out/");
        settings.inputs = {{Input(), 0}};
        plan = BuildConversionPlan(settings);
        if (!plan.refusal.empty() || plan.format != &kShpFormat) std::abort();
        plan.format = &kShpMemoryFormat;
    }

    std::string Input() const { return dir + "TGR17031.RT1"; }

    // The record files of the input; the chains file is always there.
    static RecordFilesInMemory Files(const std::vector<std::string_view>& pieces)
    {
        RecordFilesInMemory files;
        for (std::size_t i = 0; i < pieces.size(); ++i)
            if (!pieces[i].empty() || i == 0) files.emplace(kTypes[i], pieces[i]);
        return files;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static Conversion conversion;
    const RecordFilesInMemory files = Conversion::Files(fuzz::Pieces(data, size, kTypes.size()));

    Quiet quiet;
    Session session(conversion.settings, quiet);
    session.UsePlan(conversion.plan);
    // As many counties at once as there are cores leave each county one
    // thread for its layers: this one.
    session.jobs = conversion.cores;
    County county;
    // As the driver converts an entry of its list: what it catches is the
    // county's error, not a crash.
    try {
        ProcessCounty(session, county, CountySource{conversion.Input(), {}, &files});
    } catch (const std::exception&) {
    }
    return 0;
}
