// The configuration reader, and the round trip of what it read: saving the
// settings it gave and loading them again gives the same settings.
#include "fuzz_support.h"
#include "run/config.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace zalor;
    const std::string& dir = fuzz::ScratchDir();
    fuzz::WriteFile(dir + "IN.CFG", std::string_view(reinterpret_cast<const char*>(data), size));
    RunSettings first("/prog/", "/cur/");
    ConfigurationState state(dir);
    if (LoadConfiguration(first, state, dir + "IN.CFG") != ConfigLoad::Loaded) return 0;
    if (!SaveConfiguration(first, state, dir + "OUT.CFG")) std::abort();
    RunSettings second("/prog/", "/cur/");
    ConfigurationState other(dir);
    if (LoadConfiguration(second, other, dir + "OUT.CFG") != ConfigLoad::Loaded) std::abort();
    // The same state for both: the settings, inputs and comment are compared.
    if (ConfigurationText(first, state) != ConfigurationText(second, state)) std::abort();
    return 0;
}
