// zalor-cli: converts TIGER/Line counties from the command line.
#include "run/input_paths.h"
#include "cli/layer_options.h"
#include "cli/terminal_reporter.h"
#include "run/config.h"
#include "run/driver.h"
#include "run/inputs.h"
#include "run/release_supply.h"
#include "run/selection.h"
#include "run/session.h"

#include <algorithm>
#include <utility>
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

namespace {

// What the command line asked for.
struct Options {
    std::vector<std::string> inputs;
    std::vector<std::string> sets;
    std::string config, saveConfig, output, format, logFile;
    bool quiet = false, verbose = false, listLayers = false, toNad83 = false;
    std::string vintage;
    zalor::NamedSelection selection;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
};

// A usage error or a failure before the run: the program's exit status.
struct Exit {
    int status;
};

void DefineLayerOptions(CLI::App& app, Options& o)
{
    app.add_option("INPUT", o.inputs,
                   "County archives (TGRssccc.ZIP), loose record files (TGRssccc.RT1),\n"
                   "folders (every TGR*.ZIP in them, and the TGR*.RT1 of a county without\n"
                   "one, in any case) or quoted name patterns ('data/TGR17*'); without\n"
                   "any, the input list of the configuration");
    app.add_option("--lines", o.selection.lines,
                   "Line groups, comma-separated: A roads, B railroads, C other ground\n"
                   "transportation, DL landmark lines, E physical features, F nonvisible\n"
                   "features, H hydrography, X unclassified, ALL every chain in one file;\n"
                   "\"all\" for every one")
        ->type_name("NAMES");
    app.add_option("--areas", o.selection.areas,
                   "Area layers, comma-separated: CTBNA00 tracts, BLK00 blocks, ZCTA5,\n"
                   "FPL places, W water blocks, WLND landmark water, D landmark areas,\n"
                   "KGL key geographic locations, ... (see --list-layers); \"all\" for\n"
                   "every one")
        ->type_name("NAMES");
    app.add_flag("--points", o.selection.points, "Every class of landmark points");
    app.add_option("--fields", o.selection.fields,
                   "Columns of the line files of the groups of --lines (of every group\n"
                   "without it), comma-separated: id, cfcc, names, address, zip, fips,\n"
                   "nodes (and a node file); \"all\"; or \"default\"")
        ->type_name("NAMES");
    app.add_flag("--centroids", o.selection.centroids,
                 "A centroid layer beside each area layer of --areas (of every layer\n"
                 "without it)");
    app.add_flag("--exclude-water", o.selection.excludeWater,
                 "Leave the water polygons out of the area layers of --areas (of every\n"
                 "layer without it)");
    app.add_flag("--list-layers", o.listLayers,
                 "List every line group, area layer, point layer and output field with\n"
                 "the keys it sets and the files it writes in the format; then exit");
    app.add_option("--vintage", o.vintage,
                   "With --list-layers: the release of that year (" + zalor::VintageChoiceText() +
                       ", 2006 being\nthe Second Edition) and where each area layer's keys come from in it")
        ->type_name("YEAR");
}

void DefineRunOptions(CLI::App& app, Options& o, const std::vector<std::string>& formats)
{
    app.add_option("-c,--config", o.config,
                   "Load a configuration file (.CFG) before the other options; its input\n"
                   "list is processed when no INPUT is given, its output root used when -o\n"
                   "is not");
    app.add_option("--save-config", o.saveConfig,
                   "Write the settings in force (after --config, --set and the other\n"
                   "options) to a configuration file; without INPUT, nothing is converted");
    app.add_option("-s,--set", o.sets,
                   "Set any configuration key, e.g. --set CbA1=1 --set Asuf=ROADS\n"
                   "(repeatable; applied after the options that name layers)")
        ->type_name("KEY=VALUE")
        ->allow_extra_args(false);
    app.add_option("-o,--output", o.output, "Output root directory (default: the current directory)");
    app.add_option("-f,--format", o.format, "Output format")->check(CLI::IsMember(formats));
    app.add_flag("--to-nad83", o.toNad83,
                 "Convert counties on NAD27 or an older local datum (the files before\n"
                 "1995) to NAD83 with PROJ, which needs the datum's grid (us_noaa_conus.tif\n"
                 "for NAD27 in the conterminous states) in its data directory or PROJ_DATA;\n"
                 "a county whose grid is missing is not converted (in a configuration:\n"
                 "NAD83=1)");
    app.add_option("--log", o.logFile, "Write the processing log to FILE (turns logging on)");
    app.add_option("-j,--jobs", o.jobs,
                   "Counties converted at once, one on each worker (default: the number of processors); the log\n"
                   "and the output list keep the input order")
        ->check(CLI::Range(1u, 256u));
    app.add_flag("-q,--quiet", o.quiet, "Print errors only");
    app.add_flag("-v,--verbose", o.verbose, "Print the processing log on standard output");
    app.footer(std::string(kExamples) +
               "\nExit status: 0 when every county was converted (or --save-config wrote its file\n"
               "and there was no INPUT), 1 when the run was refused, a county failed, a folder or\n"
               "pattern held no county or the configuration could not be written, 2 for a usage\n"
               "error (an unknown name or key) or a configuration file that cannot be read.");
}

[[noreturn]] void Fail(int status, const std::string& message)
{
    std::fprintf(stderr, "zalor-cli: %s\n", message.c_str());
    throw Exit{status};
}

// The configuration file, then the named layers, --set, -o, -f, --to-nad83
// and --log, in this order.
void ApplyOptions(const Options& o, zalor::RunSettings& settings, zalor::ConfigurationState& state,
                  const std::string& cwd)
{
    if (!o.config.empty()) {
        std::string error;
        switch (zalor::LoadConfiguration(settings, state, o.config, &error)) {
        case zalor::ConfigLoad::Loaded: break;
        case zalor::ConfigLoad::Missing: Fail(2, "configuration file " + o.config + " not found");
        case zalor::ConfigLoad::Failed: Fail(2, error);
        }
        // A configuration without an output root leaves the current directory.
        if (settings.Text("Output").empty()) settings.SetText("Output", cwd);
    }
    if (std::string error = zalor::ApplyNamedSelection(settings, o.selection); !error.empty()) Fail(2, error);
    for (const std::string& kv : o.sets) {
        auto eq = kv.find('=');
        std::string key = kv.substr(0, eq);
        if (eq == std::string::npos || !settings.Has(key)) Fail(2, "unknown setting '" + key + "' in --set " + kv);
        settings.Set(key, kv.substr(eq + 1));
    }
    if (!o.output.empty()) settings.SetText("Output", WithSlash(o.output));
    for (const zalor::OutputFormatDef& f : zalor::OutputFormatTable())
        if (o.format == f.name) settings.SetRadio(f.key);
    if (o.toNad83) settings.SetBox("NAD83", true);
    if (!o.logFile.empty()) {
        settings.SetText("Log", o.logFile);
        settings.SetBox("DisableLogs", false);
    }
}

// The inputs named on the command line take the place of the
// configuration's input list.
zalor::InputExpansion TakeInputs(const Options& o, zalor::RunSettings& settings)
{
    zalor::InputExpansion expansion = zalor::ExpandInputs(o.inputs);
    if (!expansion.usageError.empty()) Fail(2, expansion.usageError);
    if (!o.quiet)
        for (const std::string& note : expansion.notes) std::fprintf(stderr, "zalor-cli: note: %s\n", note.c_str());
    for (const std::string& where : expansion.empty)
        std::fprintf(stderr, "zalor-cli: no county (TGR*.ZIP, TGR*.RT1) in %s\n", where.c_str());
    if (!o.inputs.empty()) {
        settings.inputs.clear();
        for (const std::string& in : expansion.paths) zalor::AddInput(settings, in);
    }
    return expansion;
}

// Checks what can be checked before the run and prepares its output root.
void PrepareRun(const Options& o, zalor::RunSettings& settings)
{
    if (o.logFile.empty() && o.verbose) {
        // The log goes to the terminal only; a saved configuration keeps its log file.
        settings.SetText("Log", "");
        settings.SetBox("DisableLogs", false);
    }
    // The message names the suffix as the window shows it; the key is what
    // this command line sets it by.
    const zalor::SettingDef* suffix = nullptr;
    if (const std::string unsafe = zalor::UnsafeOutputNames(settings, &suffix); !unsafe.empty())
        Fail(2, unsafe + " (" + suffix->key + ")");
    // The output root is made with all its missing levels (the run itself
    // makes only the levels below it).
    std::error_code ec;
    if (!settings.inputs.empty() && zalor::AnythingSelected(settings) && !settings.Text("Output").empty())
        std::filesystem::create_directories(settings.Text("Output"), ec);
    if (const std::string note = zalor::BuildConversionPlan(settings).projectionNote;
        !note.empty() && !o.quiet && !settings.inputs.empty())
        std::fprintf(stderr, "zalor-cli: note: %s\n", note.c_str());
}

// The run on the terminal; true when every county was converted.
bool Run(const Options& o, zalor::RunSettings& settings)
{
    zalor::TerminalReporter reporter(o.quiet, o.verbose);
    reporter.SetInputs(settings.inputs);
    zalor::Session session(settings, reporter);
    session.jobs = o.jobs;
    g_session.store(&session);
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    zalor::RunResult result = zalor::RunConversion(session);
    g_session.store(nullptr);

    if (!o.quiet) {
        const auto& outputs = session.report.Outputs().Entries();
        if (!outputs.empty()) std::printf("Output Files [ %zu ]\n", outputs.size());
        for (auto it = outputs.rbegin(); it != outputs.rend(); ++it)
            std::printf("  %s  (%s bytes)\n", it->path.c_str(), zalor::FormatThousands(it->size).c_str());
    }
    return !(result.refused || result.failed > 0 || result.stopped || result.logFailed);
}

// Paths given on the command line are used as they are or refused: a
// control character in one would be changed on its way into the settings.
void CheckPathOptions(const Options& o)
{
    const std::pair<const char*, const std::string*> paths[] = {
        {"-o", &o.output}, {"--log", &o.logFile}, {"--config", &o.config}, {"--save-config", &o.saveConfig}};
    for (const auto& [option, path] : paths) {
        const bool control = std::any_of(path->begin(), path->end(), [](char c) {
            const unsigned char u = static_cast<unsigned char>(c);
            return u < 32 || u == 127;
        });
        if (!control) continue;
        std::string shown = *path;
        for (char& c : shown)
            if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
        Fail(2, std::string("the path of ") + option + " may not hold a control character: " + shown);
    }
}

int Main(const Options& o, const char* argv0)
{
    CheckPathOptions(o);
    std::error_code ec;
    const std::string cwd = WithSlash(std::filesystem::current_path(ec).string());
    zalor::RunSettings settings(ProgramDir(argv0), cwd);
    settings.SetText("Output", cwd);
    zalor::ConfigurationState configState(cwd);
    ApplyOptions(o, settings, configState, cwd);
    if (!o.vintage.empty() && zalor::ReleaseTextOfVintage(o.vintage).empty())
        Fail(2, "unknown vintage '" + o.vintage + "' in --vintage; valid years: " + zalor::VintageChoiceText());
    if (!o.vintage.empty() && !o.listLayers) Fail(2, "--vintage goes with --list-layers");
    if (o.listLayers) {
        std::fputs(zalor::LayerListing(settings, o.vintage).c_str(), stdout);
        return 0;
    }
    const zalor::InputExpansion expansion = TakeInputs(o, settings);
    if (!o.saveConfig.empty()) {
        std::string error;
        if (!zalor::SaveConfiguration(settings, configState, o.saveConfig, &error)) Fail(1, error);
        if (o.inputs.empty()) return 0;
    }
    PrepareRun(o, settings);
    const bool converted = Run(o, settings);
    return converted && expansion.empty.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Converts U.S. Census TIGER/Line county files (TGRssccc.ZIP archives or loose\n"
                 "record files TGRssccc.RT1 ...) into MapInfo MIF/MID, ESRI shapefiles, KXF/MTD or\n"
                 "one GeoPackage per county (TGRssccc.gpkg, every layer a table of it).",
                 "zalor-cli"};
    app.set_version_flag("--version", std::string("zalor-cli ") + ZALOR_VERSION);
    Options options;
    std::vector<std::string> formats;
    for (const zalor::OutputFormatDef& f : zalor::OutputFormatTable()) formats.push_back(f.name);
    DefineLayerOptions(app, options);
    DefineRunOptions(app, options, formats);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    try {
        return Main(options, argv[0]);
    } catch (const Exit& e) {
        return e.status;
    } catch (const std::exception& e) {
        // What no county caught (out of memory while planning the run).
        std::fprintf(stderr, "zalor-cli: %s\n", zalor::FailureText(e).c_str());
        return 1;
    }
}
