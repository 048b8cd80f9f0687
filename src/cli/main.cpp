// zalor-cli: converts TIGER/Line counties from the command line.
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

int main(int argc, char** argv)
{
    CLI::App app{"Converts U.S. Census TIGER/Line county files (TGRssccc.ZIP archives or loose\n"
                 "record files TGRssccc.RT1 ...) into MapInfo MIF/MID, ESRI shapefiles or KXF/MTD.",
                 "zalor-cli"};
    app.set_version_flag("--version", std::string("zalor-cli ") + ZALOR_VERSION);

    std::vector<std::string> inputs;
    std::vector<std::string> sets;
    std::string config, saveConfig, output, format, logFile;
    bool quiet = false, verbose = false;
    app.add_option("INPUT", inputs,
                   "County archives (TGRssccc.ZIP) or loose record files (TGRssccc.RT1); without any,\n"
                   "the input list of the configuration is processed");
    app.add_option("-c,--config", config,
                   "Load a configuration file (.CFG) before the other options; its input list is\n"
                   "processed when no INPUT is given, its output root used when -o is not");
    app.add_option("--save-config", saveConfig,
                   "Write the effective settings (after --config, --set and the other options) to a\n"
                   "configuration file; without INPUT, nothing is converted");
    app.add_option("-s,--set", sets,
                   "Set any configuration key, e.g. --set CbA1=1 --set RbF1=1 --set Asuf=ROADS (repeatable)")
        ->type_name("KEY=VALUE")
        ->allow_extra_args(false);
    app.add_option("-o,--output", output, "Output root directory (default: the current directory)");
    app.add_option("-f,--format", format, "Output format")->check(CLI::IsMember({"mif", "shp", "kxf"}));
    app.add_option("--log", logFile, "Write the processing log to FILE (turns logging on)");
    app.add_flag("-q,--quiet", quiet, "Print errors only");
    app.add_flag("-v,--verbose", verbose, "Print the processing log on standard output");
    app.footer("Exit status: 0 when every county was converted (or --save-config wrote its file and there\n"
               "was no INPUT), 1 when the run was refused, a county failed or the configuration could\n"
               "not be written, 2 for a usage error or a configuration file that cannot be read.");
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
    if (format == "mif") settings.SetRadio("RbF0");
    if (format == "shp") settings.SetRadio("RbF1");
    if (format == "kxf") settings.SetRadio("RbF2");
    if (!logFile.empty()) {
        settings.SetText("Log", logFile);
        settings.SetBox("DisableLogs", false);
    }
    if (!inputs.empty()) {
        settings.inputs.clear();
        for (const std::string& in : inputs) zalor::AddInput(settings, in);
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

    zalor::TerminalReporter reporter(quiet, verbose);
    zalor::Session session(settings, reporter);
    g_session.store(&session);
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    zalor::RunResult result = zalor::RunConversion(session);
    g_session.store(nullptr);

    if (!quiet) {
        const auto& outputs = session.report.Outputs();
        if (!outputs.empty()) std::printf("Output Files [ %zu ]\n", outputs.size());
        for (auto it = outputs.rbegin(); it != outputs.rend(); ++it) {
            std::string entry = *it;
            auto bar = entry.find('|');
            std::printf("  %s  (%s bytes)\n", entry.substr(0, bar).c_str(), entry.substr(bar + 1).c_str());
        }
    }
    if (result.refused || result.failed > 0 || result.stopped || result.logFailed) return 1;
    return 0;
}
