// zalor-cli: converts TIGER/Line counties from the command line.
#include "cli/input_paths.h"
#include "cli/layer_options.h"
#include "cli/terminal_reporter.h"
#include "run/config.h"
#include "run/driver.h"
#include "run/inputs.h"
#include "run/selection.h"
#include "run/session.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<zalor::Session*> g_session{nullptr}; // for the interrupt handler only

// The first interrupt stops the run at its next check (within a moment);
// a second one ends the program at once.
void OnInterrupt(int)
{
    zalor::Session* s = g_session.load();
    if (!s || s->Stopped()) ::_exit(130);
    s->RequestStop();
}

std::string WithSlash(std::string dir)
{
    if (dir.empty() || dir.back() != '/') dir.push_back('/');
    return dir;
}

std::string ProgramDir(const char* argv0)
{
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::absolute(argv0, ec);
    return WithSlash(exe.parent_path().string());
}

} // namespace

// The common runs (the manual page carries them too).
const char* const kExamples = R"(Examples:
  Roads and census tracts of every county in a folder, as shapefiles:
    zalor-cli --lines A --areas CTBNA00 -f shp -o out counties/
  Every line group, area layer and landmark point of a county, as MIF/MID:
    zalor-cli --lines all --areas all --points --centroids -o out TGR17031.ZIP
  The same as one GeoPackage, out/TGR17031.gpkg, with every layer a table:
    zalor-cli --lines all --areas all --points -f gpkg -o out TGR17031.ZIP
  Roads with their names and address ranges, from the archives a pattern matches:
    zalor-cli --lines A --fields id,names,address -o out 'data/TGR17*.ZIP'
  What can be chosen, the keys each name sets and the files it writes:
    zalor-cli --list-layers -f shp
  A configuration saved for later runs, and a run with it:
    zalor-cli --lines A,H --areas ZCTA5 --save-config roads.cfg
    zalor-cli -c roads.cfg -o out counties/
)";

int main(int argc, char** argv)
{
    CLI::App app{"Converts U.S. Census TIGER/Line county files (TGRssccc.ZIP archives or loose\n"
                 "record files TGRssccc.RT1 ...) into MapInfo MIF/MID, ESRI shapefiles, KXF/MTD or\n"
                 "one GeoPackage per county (TGRssccc.gpkg, every layer a table of it).",
                 "zalor-cli"};
    app.set_version_flag("--version", std::string("zalor-cli ") + ZALOR_VERSION);

    std::vector<std::string> inputs;
    std::vector<std::string> sets;
    std::string config, saveConfig, output, format, logFile;
    bool quiet = false, verbose = false, listLayers = false;
    zalor::NamedSelection selection;
    std::vector<std::string> formats;
    for (const zalor::OutputFormatDef& f : zalor::OutputFormatTable()) formats.push_back(f.name);

    app.add_option("INPUT", inputs,
                   "County archives (TGRssccc.ZIP), loose record files (TGRssccc.RT1),\n"
                   "folders (every TGR*.ZIP in them, and the TGR*.RT1 of a county without\n"
                   "one, in any case) or quoted name patterns ('data/TGR17*'); without\n"
                   "any, the input list of the configuration");
    app.add_option("--lines", selection.lines,
                   "Line groups, comma-separated: A roads, B railroads, C other ground\n"
                   "transportation, DL landmark lines, E physical features, F nonvisible\n"
                   "features, H hydrography, X unclassified, ALL every chain in one file;\n"
                   "\"all\" for every one")
        ->type_name("NAMES");
    app.add_option("--areas", selection.areas,
                   "Area layers, comma-separated: CTBNA00 tracts, BLK00 blocks, ZCTA5,\n"
                   "FPL places, W water blocks, WLND landmark water, D landmark areas,\n"
                   "KGL key geographic locations, ... (see --list-layers); \"all\" for\n"
                   "every one")
        ->type_name("NAMES");
    app.add_flag("--points", selection.points, "Every class of landmark points");
    app.add_option("--fields", selection.fields,
                   "Columns of the line files of the groups of --lines (of every group\n"
                   "without it), comma-separated: id, cfcc, names, address, zip, fips,\n"
                   "nodes (and a node file); \"all\"; or \"default\"")
        ->type_name("NAMES");
    app.add_flag("--centroids", selection.centroids,
                 "A centroid layer beside each area layer of --areas (of every layer\n"
                 "without it)");
    app.add_flag("--exclude-water", selection.excludeWater,
                 "Leave the water polygons out of the area layers of --areas (of every\n"
                 "layer without it)");
    app.add_flag("--list-layers", listLayers,
                 "List every line group, area layer, point layer and output field with\n"
                 "the keys it sets and the files it writes in the format; then exit");
    app.add_option("-c,--config", config,
                   "Load a configuration file (.CFG) before the other options; its input\n"
                   "list is processed when no INPUT is given, its output root used when -o\n"
                   "is not");
    app.add_option("--save-config", saveConfig,
                   "Write the settings in force (after --config, --set and the other\n"
                   "options) to a configuration file; without INPUT, nothing is converted");
    app.add_option("-s,--set", sets,
                   "Set any configuration key, e.g. --set CbA1=1 --set Asuf=ROADS\n"
                   "(repeatable; applied after the options that name layers)")
        ->type_name("KEY=VALUE")
        ->allow_extra_args(false);
    app.add_option("-o,--output", output, "Output root directory (default: the current directory)");
    app.add_option("-f,--format", format, "Output format")->check(CLI::IsMember(formats));
    app.add_option("--log", logFile, "Write the processing log to FILE (turns logging on)");
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    app.add_option("-j,--jobs", jobs,
                   "Counties converted at once, one on each worker (default: the number of processors); the log\n"
                   "and the output list keep the input order")
        ->check(CLI::Range(1u, 256u));
    app.add_flag("-q,--quiet", quiet, "Print errors only");
    app.add_flag("-v,--verbose", verbose, "Print the processing log on standard output");
    app.footer(std::string(kExamples) +
               "\nExit status: 0 when every county was converted (or --save-config wrote its file\n"
               "and there was no INPUT), 1 when the run was refused, a county failed, a folder or\n"
               "pattern held no county or the configuration could not be written, 2 for a usage\n"
               "error (an unknown name or key) or a configuration file that cannot be read.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    std::error_code ec;
    std::string cwd = WithSlash(std::filesystem::current_path(ec).string());
    zalor::RunSettings settings(ProgramDir(argv[0]), cwd);
    settings.SetText("Output", cwd);

    zalor::ConfigurationState configState(cwd);
    if (!config.empty()) {
        std::string error;
        switch (zalor::LoadConfiguration(settings, configState, config, &error)) {
        case zalor::ConfigLoad::Loaded:
            break;
        case zalor::ConfigLoad::Missing:
            std::fprintf(stderr, "zalor-cli: configuration file %s not found\n", config.c_str());
            return 2;
        case zalor::ConfigLoad::Failed:
            std::fprintf(stderr, "zalor-cli: %s\n", error.c_str());
            return 2;
        }
        // A configuration without an output root leaves the current directory.
        if (settings.Text("Output").empty()) settings.SetText("Output", cwd);
    }
    if (std::string error = zalor::ApplyNamedSelection(settings, selection); !error.empty()) {
        std::fprintf(stderr, "zalor-cli: %s\n", error.c_str());
        return 2;
    }
    for (const std::string& kv : sets) {
        auto eq = kv.find('=');
        std::string key = kv.substr(0, eq);
        if (eq == std::string::npos || !settings.Has(key)) {
            std::fprintf(stderr, "zalor-cli: unknown setting '%s' in --set %s\n", key.c_str(), kv.c_str());
            return 2;
        }
        settings.Set(key, kv.substr(eq + 1));
    }
    if (!output.empty()) settings.SetText("Output", WithSlash(output));
    for (const zalor::OutputFormatDef& f : zalor::OutputFormatTable())
        if (format == f.name) settings.SetRadio(f.key);
    if (!logFile.empty()) {
        settings.SetText("Log", logFile);
        settings.SetBox("DisableLogs", false);
    }
    if (listLayers) {
        std::fputs(zalor::LayerListing(settings).c_str(), stdout);
        return 0;
    }

    const zalor::InputExpansion expansion = zalor::ExpandInputs(inputs);
    if (!expansion.usageError.empty()) {
        std::fprintf(stderr, "zalor-cli: %s\n", expansion.usageError.c_str());
        return 2;
    }
    if (!quiet)
        for (const std::string& note : expansion.notes) std::fprintf(stderr, "zalor-cli: note: %s\n", note.c_str());
    for (const std::string& where : expansion.empty)
        std::fprintf(stderr, "zalor-cli: no county (TGR*.ZIP, TGR*.RT1) in %s\n", where.c_str());
    if (!inputs.empty()) {
        settings.inputs.clear();
        for (const std::string& in : expansion.paths) zalor::AddInput(settings, in);
    }

    if (!saveConfig.empty()) {
        std::string error;
        if (!zalor::SaveConfiguration(settings, configState, saveConfig, &error)) {
            std::fprintf(stderr, "zalor-cli: %s\n", error.c_str());
            return 1;
        }
        if (inputs.empty()) return 0;
    }
    if (logFile.empty() && verbose) {
        // The log goes to the terminal only; a saved configuration keeps its log file.
        settings.SetText("Log", "");
        settings.SetBox("DisableLogs", false);
    }

    if (const std::string unsafe = zalor::UnsafeOutputNames(settings); !unsafe.empty()) {
        std::fprintf(stderr, "zalor-cli: %s\n", unsafe.c_str());
        return 2;
    }

    // The output root is made with all its missing levels (the run itself
    // makes only the levels below it).
    if (!settings.inputs.empty() && zalor::AnythingSelected(settings) && !settings.Text("Output").empty())
        std::filesystem::create_directories(settings.Text("Output"), ec);
    if (const std::string note = zalor::BuildConversionPlan(settings).projectionNote;
        !note.empty() && !quiet && !settings.inputs.empty())
        std::fprintf(stderr, "zalor-cli: note: %s\n", note.c_str());

    zalor::TerminalReporter reporter(quiet, verbose);
    reporter.SetInputs(settings.inputs);
    zalor::Session session(settings, reporter);
    session.jobs = jobs;
    g_session.store(&session);
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    zalor::RunResult result = zalor::RunConversion(session);
    g_session.store(nullptr);

    if (!quiet) {
        const auto& outputs = session.report.Outputs().Entries();
        if (!outputs.empty()) std::printf("Output Files [ %zu ]\n", outputs.size());
        for (auto it = outputs.rbegin(); it != outputs.rend(); ++it)
            std::printf("  %s  (%s bytes)\n", it->path.c_str(), zalor::FormatThousands(it->size).c_str());
    }
    if (result.refused || result.failed > 0 || result.stopped || result.logFailed || !expansion.empty.empty())
        return 1;
    return 0;
}
