// A whole conversion of a loose county whose record files are the input:
// the parts of the input are, in order, RT1, RT2, RTI, RTC, RTS, RT7, RT8,
// RT9, RT4, RT5 and RTA (absent parts: no such file). Every layer is
// written as shapefiles; nothing may crash, hang or leave the output root.
#include "fuzz_support.h"
#include "run/driver.h"
#include "run/session.h"

#include <filesystem>

namespace {

class Quiet final : public zalor::Reporter {};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace zalor;
    const std::string dir = fuzz::ScratchDir() + "county/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "out");
    static const char* const kTypes[] = {".RT1", ".RT2", ".RTI", ".RTC", ".RTS", ".RT7",
                                         ".RT8", ".RT9", ".RT4", ".RT5", ".RTA"};
    const auto parts = fuzz::Parts(data, size, std::size(kTypes));
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (!parts[i].empty() || i == 0) fuzz::WriteFile(dir + "TGR17031" + kTypes[i], parts[i]);

    RunSettings settings(dir, dir);
    for (const SettingDef& def : SettingTable())
        if (def.kind == SettingKind::Box && def.place == SettingPlace::FeatureDialog) settings.SetBox(def.key, true);
    settings.SetRadio("RbF1");
    settings.SetRadio("RbD2");
    settings.SetText("Output", dir + "out/");
    settings.inputs = {{dir + "TGR17031.RT1", 0}};
    Quiet quiet;
    Session session(settings, quiet);
    RunConversion(session);
    // Everything written lies inside the output root.
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (e.is_symlink()) std::abort();
    return 0;
}
