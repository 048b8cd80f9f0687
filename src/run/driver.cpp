#include "run/driver.h"

#include "run/auto_zip.h"
#include "run/county_job.h"
#include "run/county_output.h"
#include "run/county_reading.h"
#include "run/progress.h"
#include "run/parallel.h"
#include "run/selection.h"

#include <chrono>
#include <cstdio>
#include <sys/stat.h>
#include <exception>
#include <thread>

namespace zalor {

int64_t TickCount()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The size after the last "|": a path may hold one.
std::string EntryPath(const std::string& entry) { return entry.substr(0, entry.rfind('|')); }

std::string AutoZipArchiveName(const std::string& inputPath)
{
    std::string name = OutputBaseName(inputPath);
    if (name.empty()) return {};
    name[0] = 'Z';
    return name + ".ZIP";
}

std::string MifRadiusNote(const RunSettings& s)
{
    const FormatDriver* format = FormatDrivers()[static_cast<std::size_t>(s.ChoiceValue("RbF"))];
    if (!s.Box("RbP1") || !format->projectionNote) return {};
    try {
        return format->projectionNote(ParseLambertParameters(s.Text("LAM")));
    } catch (const std::exception&) {
        return {}; // the county reports the parameters
    }
}

namespace {

// An archive by the extension of the file name itself (a folder named
// "data.zip" holds loose files).
bool IsArchivePath(const std::string& path)
{
    const std::string name = FileNamePart(path);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return ext == "ZIP";
}

// Only regular files are read: a device, a pipe or a directory could block
// for ever or be no county at all. A missing input is the chain reader's
// "Error Opening".
bool IsUnreadableInput(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

// The output root the run writes under (it ends in '/').
void PrepareOutputRoot(RunSettings& s)
{
    std::string root = s.Text("Output");
    if (root.empty()) root = s.currentDir; // an empty root means the current directory
    if (root.back() != '/') root.push_back('/');
    s.SetText("Output", root);
}

// The county's GeoPackage: put in place when every table of it was
// written, else removed (a file that was there stays as it was). It is
// listed once, also when its tables were there and skipped.
void FinishContainer(Session& session, LayerContainer& file)
{
    RunReport& report = session.report;
    if (file.Begun()) {
        if (session.Stopped()) {
            file.Discard();
            report.LogLine("Incomplete, not kept: " + file.Path() + " (stopped)");
            return;
        }
        WriteFailures failures;
        if (!file.Commit(failures)) {
            ReportFailures(session, failures);
            report.LogLine("Incomplete, not kept: " + file.Path());
            return;
        }
        report.LogLine("Created..." + file.Path());
    } else if (!session.settings.SkipExisting() || session.Stopped()) {
        return;
    }
    struct stat st;
    if (::stat(file.Path().c_str(), &st) == 0) report.AddOutputEntry(file.Path());
}

void FinishRun(Session& session, RunResult& result)
{
    RunReport& report = session.report;
    report.reporter().Running(false);
    if (result.stopped) report.ShowStatus("Process Aborted!");
    else if (result.failed > 0)
        report.ShowStatus("Done! " + std::to_string(result.failed) + " of " + std::to_string(result.counties) +
                          " Counties Failed!");
    else report.ShowStatus("Done!");
    report.CompletionSignal();
    if (session.settings.Box("BEEP")) std::this_thread::sleep_for(std::chrono::milliseconds(500));
    report.CompletionSignal();
    session.runStartMs = 0;
    report.reporter().Progress(0);
}

// One entry of the input list, with its auto zip.
void ConvertEntry(Session& session, County& county, const std::string& entry)
{
    RunReport& report = session.report;
    const std::string path = EntryPath(entry);
    report.ProcessEvents();
    session.countyErrors = 0;
    session.noted.clear();
    report.LogLine("Begin :" + entry);
    std::string outputDirectory;
    try {
        if (IsUnreadableInput(path)) session.CountyError("Error Opening " + path + ": not a regular file");
        else ProcessCounty(session, county, path, &outputDirectory);
    } catch (const std::exception& e) {
        session.CountyError("Error Processing " + path + ": " + e.what());
    }
    county.Release();
    report.LogLine("Complete :" + entry);
    if (session.settings.Box("ZIP") && !session.Stopped() && !outputDirectory.empty()) {
        report.ShowPhase("zipping");
        const std::string archive = outputDirectory + AutoZipArchiveName(path);
        try {
            if (!AutoZipOutputs(archive, OutputBaseName(path))) session.CountyError("Error Zipping " + archive);
        } catch (const std::exception& e) {
            session.CountyError("Error Zipping " + path + ": " + e.what());
        }
    }
    if (session.countyErrors > 0) ++session.failedCounties;
}

} // namespace

RunResult RunConversion(Session& session)
{
    RunSettings& s = session.settings;
    RunReport& report = session.report;
    RunResult result;
    PrepareOutputRoot(s);
    if (!AnythingSelected(s)) {
        report.ShowWarning("Please Select Features for Output!");
        result.refused = true;
        return result;
    }
    if (const std::string unsafe = UnsafeOutputNames(s); !unsafe.empty()) {
        report.ShowWarning(unsafe);
        result.refused = true;
        return result;
    }
    if (s.inputs.empty()) report.ShowWarning("Please Select Files to Process");

    session.runStartMs = TickCount();
    if (session.runStartMs == 0) session.runStartMs = 1;
    report.ClearOutputs();
    report.ResetLogFailure();
    session.ClearStop();
    session.failedCounties = 0;
    report.LogLine("Starting Process");
    report.reporter().Running(true);

    const std::size_t n = s.inputs.size();
    if (session.jobs <= 1 || n < 2) {
        County county;
        for (std::size_t i = 0; i < n && !session.Stopped(); ++i) {
            ++result.counties;
            report.ShowCountyBegun(static_cast<int>(i + 1), static_cast<int>(n), s.inputs[i]);
            ConvertEntry(session, county, s.inputs[i]);
        }
    } else {
        // Several counties at once, one on each worker; their reports come
        // out in input order, each county's lines together.
        std::vector<int> begun(n, 0), failed(n, 0);
        RunOrdered(
            session, n,
            [&](Session& task, std::size_t i) {
                if (task.Stopped()) return; // not begun
                begun[i] = 1;
                task.report.ShowCountyBegun(static_cast<int>(i + 1), static_cast<int>(n), s.inputs[i]);
                County county;
                ConvertEntry(task, county, s.inputs[i]);
                failed[i] = task.failedCounties;
            },
            {}, session.jobs);
        for (std::size_t i = 0; i < n; ++i) {
            result.counties += begun[i];
            session.failedCounties += failed[i];
        }
    }
    result.failed = session.failedCounties;
    result.stopped = session.Stopped();
    result.logFailed = report.LogFailed();
    FinishRun(session, result);
    return result;
}

void ProcessCounty(Session& session, County& county, const std::string& path, std::string* outputDirectory)
{
    if (session.Stopped()) return;
    const RunSettings& s = session.settings;
    RunReport& report = session.report;

    CountyJob job;
    job.source = CountySource{path, IsArchivePath(path) ? path : std::string()};
    job.format = FormatDrivers()[static_cast<std::size_t>(s.ChoiceValue("RbF"))];
    job.projection.active = s.Box("RbP1");
    if (job.projection.active) SetupLambert(job.projection, ParseLambertParameters(s.Text("LAM")));
    if (const std::string note = MifRadiusNote(s); !note.empty()) report.LogLine(note);
    job.fileName = FileNamePart(path);
    for (char& c : job.fileName) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    job.baseName = OutputBaseName(path);

    report.ShowPhase("reading");
    NoteDuplicateMembers(session, job.source);
    ReadEntityNamesPhase(session, county, job.source);
    report.ShowCountyStatus("[" + (job.fileName.size() > 3 ? job.fileName.substr(3, 5) : std::string()) + "] " +
                            county.countyName);
    job.outputDirectory =
        report.PrepareCountyDirectory(s.Text("Output"), job.fileName, county.countyName, s.Choice("RbD"));
    if (job.outputDirectory.empty()) {
        session.CountyError("Error Opening " + path + ": its output directory is a link");
        return;
    }
    if (outputDirectory) *outputDirectory = job.outputDirectory;
    if (job.format->Tables()) {
        const std::string file = job.outputDirectory + job.baseName + std::string(job.format->MainExtension());
        std::string error;
        job.container = job.format->openContainer(file, error);
        if (!job.container) {
            session.CountyError("Unable to Create " + file + ": " + error);
            return;
        }
    }

    county.chains.Release();
    county.names.Clear();
    county.altNames.assign(1, 0);
    county.landmarks.clear();
    if (!ReadChainPhases(session, county, job.source)) {
        session.CountyError("Error Opening " + path);
        return;
    }
    OrderChainsPhase(session, county);
    report.LogLine("Sorting Complete");

    report.ShowPhase("lines");
    WriteLineGroupsPhase(session, county, job);
    report.ShowPhase("landmarks");
    if (ReadLandmarksPhase(session, county, job.source)) {
        try {
            if (AnyPointLandmarkSelected(s)) WriteLandmarkPointsPhase(session, county, job);
            report.ShowStatus("Done ");
        } catch (const std::exception&) {
            session.CountyError("Error Reading Landmarks");
        }
    }
    report.ShowPhase("areas");
    WriteAreaLayersPhase(session, county, job);
    if (job.container) FinishContainer(session, *job.container);
    county.Release();
}

} // namespace zalor
