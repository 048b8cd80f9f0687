#include "run/driver.h"

#include "run/auto_zip.h"
#include "run/county_plan.h"
#include "run/county_output.h"
#include "run/county_reading.h"
#include "run/datum_phase.h"
#include "run/progress.h"
#include "tiger/county_release.h"
#include "run/parallel.h"
#include "tiger/paths.h"

#include <cctype>
#include <condition_variable>
#include <map>
#include <mutex>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <csignal>
#include <new>
#include <sys/stat.h>
#include <exception>

namespace zalor {

std::string FailureText(const std::exception& e)
{
    if (dynamic_cast<const std::bad_alloc*>(&e)) return "out of memory";
    return e.what();
}

int64_t TickCount()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string AutoZipArchiveName(const std::string& inputPath)
{
    std::string name = OutputBaseName(inputPath);
    if (name.empty()) return {};
    name[0] = 'Z';
    return name + ".ZIP";
}

namespace {

// An archive by the extension of the file name itself (a folder named
// "data.zip" holds loose files).
bool IsArchivePath(const std::string& path)
{
    std::string name = FileNamePart(path);
    for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && name.substr(dot) == ".ZIP";
}

// Only regular files are read: a device, a pipe or a directory could block
// for ever or be no county at all. A missing input is the chain reader's
// "Error Opening".
bool IsUnreadableInput(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

// The county's file of every layer (a GeoPackage): put in place when every
// table of it was written, else removed (a file that was there stays as it
// was). It is listed once, also when its tables were there and skipped.
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
        struct stat st;
        if (::stat(file.Path().c_str(), &st) == 0) report.AddOutputEntry(file.Path());
        return;
    }
    if (!session.plan->skipExisting || session.Stopped()) return;
    struct stat st;
    if (::stat(file.Path().c_str(), &st) == 0) report.AddOutputEntry(file.Path(), OutputEntry::State::Kept);
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
    report.CompletionSignal(2);
    session.runStartMs = 0;
    report.reporter().Progress(0);
}

// Auto zip: the county's MIF, MID and MTD files into its archive, as a
// phase with its progress; the output list then names the archive instead
// of the files that went into it.
void ZipCounty(Session& session, const std::string& path, const std::string& outputDirectory)
{
    RunReport& report = session.report;
    report.ShowPhase("zipping");
    const std::string archive = outputDirectory + AutoZipArchiveName(path);
    report.ShowStatus("Zipping " + FileNamePart(archive) + "...");
    SessionProgress progress(session);
    std::vector<std::string> zipped;
    try {
        const auto told = [&](std::size_t done, std::size_t total) {
            progress.Progress(static_cast<int64_t>(done), static_cast<int64_t>(total));
        };
        if (!AutoZipOutputs(archive, OutputBaseName(path), told, &zipped)) {
            session.CountyError("Error Zipping " + archive);
            return;
        }
    } catch (const std::exception& e) {
        session.CountyError("Error Zipping " + path + ": " + FailureText(e));
        return;
    }
    if (zipped.empty()) return;
    for (const std::string& file : zipped) report.RemoveOutput(file);
    report.AddOutputEntry(archive);
}

// One entry of the input list, with its auto zip.
void ConvertEntry(Session& session, County& county, const InputEntry& entry)
{
    RunReport& report = session.report;
    const std::string& path = entry.path;
    session.countyErrors = 0;
    session.noted.clear();
    report.LogLine("Begin :" + EntryText(entry));
    std::string outputDirectory;
    try {
        if (IsUnreadableInput(path)) session.CountyError("Error Opening " + path + ": not a regular file");
        else ProcessCounty(session, county, path, &outputDirectory);
    } catch (const std::exception& e) {
        session.CountyError("Error Processing " + path + ": " + FailureText(e));
    }
    county.Release();
    report.LogLine("Complete :" + EntryText(entry));
    if (session.plan->autoZip && !session.Stopped() && !outputDirectory.empty())
        ZipCounty(session, path, outputDirectory);
    if (session.countyErrors > 0) ++session.failedCounties;
}

// For each input, the one before it on the list that is the same county
// (the same TGRssccc: another edition, or its archive beside its loose
// files); `n` when there is none.
std::vector<std::size_t> SameCountyBefore(const std::vector<InputEntry>& inputs)
{
    std::vector<std::size_t> before(inputs.size(), inputs.size());
    std::map<std::string, std::size_t> last;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        std::string county = OutputBaseName(inputs[i].path);
        for (char& c : county) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        auto [at, added] = last.try_emplace(county, i);
        if (!added) {
            before[i] = at->second;
            at->second = i;
        }
    }
    return before;
}

// Says that an input converts a county an earlier input converted too.
void NoteSameCounty(Session& session, const std::vector<InputEntry>& inputs, std::size_t i, std::size_t before)
{
    if (before >= inputs.size()) return;
    session.report.Notice(inputs[i].path + " is the county of " + inputs[before].path +
                          ", converted before it: its files replace the earlier ones");
}

// Several counties at once, one on each worker; their reports come out in
// input order, each county's lines together. Tasks start in input order,
// so the earlier entry of a county has begun when a later one waits for it.
void ConvertAtOnce(Session& session, const std::vector<std::size_t>& before, RunResult& result)
{
    const std::vector<InputEntry>& inputs = session.plan->inputs;
    const std::size_t n = inputs.size();
    std::vector<int> begun(n, 0), failed(n, 0);
    std::vector<bool> done(n, false);
    std::mutex mutex;
    std::condition_variable ended;
    RunOrdered(
        session, n,
        [&](Session& task, std::size_t i) {
            struct Ended { // lets the later entries of the county go on, whatever happens
                std::mutex& mutex;
                std::condition_variable& ended;
                std::vector<bool>& done;
                std::size_t i;
                ~Ended()
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    done[i] = true;
                    ended.notify_all();
                }
            } end{mutex, ended, done, i};
            if (before[i] < n) {
                std::unique_lock<std::mutex> lock(mutex);
                ended.wait(lock, [&] { return static_cast<bool>(done[before[i]]); });
            }
            if (task.Stopped()) return; // not begun
            begun[i] = 1;
            task.report.ShowCountyBegun(static_cast<int>(i + 1), static_cast<int>(n), inputs[i]);
            NoteSameCounty(task, inputs, i, before[i]);
            County county;
            ConvertEntry(task, county, inputs[i]);
            failed[i] = task.failedCounties;
        },
        {}, session.jobs);
    for (std::size_t i = 0; i < n; ++i) {
        result.counties += begun[i];
        session.failedCounties += failed[i];
    }
}

// Every county of the plan's input list, one after another or several at
// once; their reports come out in input order. The same county twice is
// converted in input order, never at once.
void ConvertInputs(Session& session, RunResult& result)
{
    const std::vector<InputEntry>& inputs = session.plan->inputs;
    RunReport& report = session.report;
    if (inputs.empty()) report.ShowWarning("Please Select Files to Process");

    session.runStartMs = TickCount();
    if (session.runStartMs == 0) session.runStartMs = 1;
    report.ClearOutputs();
    report.ClearFailures();
    report.Log().ResetFailure();
    session.ClearStop();
    session.failedCounties = 0;
    report.LogLine("Starting Process");
    report.reporter().Running(true);

    const std::size_t n = inputs.size();
    const std::vector<std::size_t> before = SameCountyBefore(inputs);
    if (session.jobs <= 1 || n < 2) {
        County county;
        for (std::size_t i = 0; i < n && !session.Stopped(); ++i) {
            ++result.counties;
            report.ShowCountyBegun(static_cast<int>(i + 1), static_cast<int>(n), inputs[i]);
            NoteSameCounty(session, inputs, i, before[i]);
            ConvertEntry(session, county, inputs[i]);
        }
    } else {
        ConvertAtOnce(session, before, result);
    }
    result.failed = session.failedCounties;
    result.failures = report.Failures();
    result.stopped = session.Stopped();
    result.logFailed = report.Log().Failed();
    FinishRun(session, result);
}

} // namespace

RunResult RunConversion(Session& session)
{
    const ConversionPlan plan = BuildConversionPlan(session.settings);
    RunReport& report = session.report;
    RunResult result;
    result.outputRoot = plan.outputRoot;
    if (!plan.refusal.empty()) {
        report.ShowWarning(plan.refusal);
        result.refused = true;
        return result;
    }
    // A write beyond the file-size limit fails with "File too large" and
    // fails its county, instead of killing the process mid-write.
    std::signal(SIGXFSZ, SIG_IGN);
    const ConversionPlan* before = session.plan;
    session.UsePlan(plan);
    ConvertInputs(session, result);
    session.plan = nullptr;
    if (before) session.UsePlan(*before);
    return result;
}

namespace {

// The county's plan up to its output directory, from the run's plan.
CountyPlan PlanCounty(const ConversionPlan& plan, const CountySource& source)
{
    CountyPlan job;
    job.source = source;
    const std::string& path = source.inputPath;
    job.format = plan.format;
    job.projection = plan.projection;
    job.fileName = FileNamePart(path);
    for (char& c : job.fileName) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    job.baseName = OutputBaseName(path);
    return job;
}

// The release of the county's records, named in the log; false (an error
// of the county) when its files are of no known layout or of different ones.
bool DecideRelease(Session& session, CountyPlan& job)
{
    const CountyRelease detected = DetectRelease(job.source);
    if (!detected.error.empty()) {
        session.CountyError("Error Reading " + job.source.inputPath + ": " + detected.error);
        return false;
    }
    if (!detected.found) return true; // the chain reader says what is missing
    job.release = detected.release;
    job.layouts = &LayoutsOf(job.release.group);
    session.report.LogLine("Release: " + job.release.Text());
    for (const std::string& note : detected.notes) session.report.Notice(note);
    // The state code of the file name tells the datum of the early releases.
    const std::string state = job.fileName.size() >= 5 ? job.fileName.substr(3, 2) : std::string();
    const bool digits = state.size() == 2 && std::isdigit(static_cast<unsigned char>(state[0])) &&
                        std::isdigit(static_cast<unsigned char>(state[1]));
    job.projection.datum = ReleaseDatum(job.release, digits ? std::stoi(state) : 0);
    if (job.projection.datum != Datum::Nad83)
        session.report.LogLine("Datum: " + std::string(DatumName(job.projection.datum)));
    return true;
}

// The county's output directory, by the county's name, and its file of
// every layer in a format that has one. False when the county cannot be
// written.
bool PrepareOutputs(Session& session, const County& county, CountyPlan& job)
{
    std::string failure;
    job.outputDirectory = PrepareCountyDirectory(session.plan->outputRoot, job.fileName,
                                                 county.countyName, session.plan->directories, failure);
    if (job.outputDirectory.empty()) {
        session.CountyError(failure);
        return false;
    }
    if (const int stale = session.plan->swept ? session.plan->swept->Sweep(job.outputDirectory) : 0; stale > 0)
        session.report.LogLine("Removed " + std::to_string(stale) + " temporary files of killed runs from " +
                               job.outputDirectory);
    if (!job.format->Tables()) return true;
    const std::string file = job.outputDirectory + job.baseName + std::string(job.format->MainExtension());
    std::string error;
    job.container = job.format->openContainer(file, error);
    if (!job.container) {
        session.CountyError("Unable to Create " + file + ": " + error);
        return false;
    }
    // A file there that cannot be added to is the user's: replaced only when
    // existing files are overwritten, and then said so.
    const std::string foreign = job.container->Foreign();
    if (foreign.empty()) return true;
    if (session.plan->skipExisting) {
        job.container.reset();
        session.CountyError("Error Opening " + file + ": it exists and is " + foreign +
                            ": it is left as it is (Overwrite Existing Files would replace it)");
        return false;
    }
    session.report.Notice(file + " is " + foreign + ": it is replaced by the county's tables");
    return true;
}

// The chains with everything that belongs to them, in the chosen order.
bool ReadChains(Session& session, County& county, CountyPlan& job)
{
    county.chains.Release();
    county.names.Clear();
    county.altNames.assign(1, 0);
    county.landmarks.clear();
    county.addressTexts.clear();
    const int errorsBefore = session.countyErrors;
    if (!ReadChainPhases(session, county, job.source, *job.layouts)) {
        // An input that is there but gave no chains, and no error that says why.
        struct stat st;
        const bool there = job.source.memory ? job.source.memory->contains(".RT1")
                                             : ::stat(job.source.inputPath.c_str(), &st) == 0;
        session.CountyError("Error Opening " + job.source.inputPath +
                            (there && session.countyErrors == errorsBefore && !session.Stopped()
                                 ? ": no chains (" + job.baseName + ".RT1 is not there or holds none)"
                                 : ""));
        return false;
    }
    // Every layer is made of the chains: a record file of theirs read only
    // in part (shape points, polygon links, names) fails the county before
    // anything is written, rather than giving layers that look whole.
    if (session.countyErrors > errorsBefore) {
        session.report.LogLine("Nothing written: the chains were not read whole");
        return false;
    }
    if (!ShiftChainsPhase(session, county, job)) return false;
    OrderChainsPhase(session, county);
    session.report.LogLine("Sorting Complete");
    return true;
}

// The line groups, the landmark points and the area layers.
void WriteLayers(Session& session, County& county, const CountyPlan& job)
{
    RunReport& report = session.report;
    report.ShowPhase("lines");
    WriteLineGroupsPhase(session, county, job);
    report.ShowPhase("landmarks");
    if (ReadLandmarksPhase(session, county, job.source, *job.layouts) && ShiftLandmarksPhase(session, county, job)) {
        try {
            if (session.plan->points) WriteLandmarkPointsPhase(session, county, job);
        } catch (const std::exception&) {
            session.CountyError("Error Reading Landmarks");
        }
    }
    report.ShowPhase("areas");
    WriteAreaLayersPhase(session, county, job);
    if (job.container) FinishContainer(session, *job.container);
}

} // namespace

void ProcessCounty(Session& session, County& county, const std::string& path, std::string* outputDirectory)
{
    ProcessCounty(session, county, CountySource{path, IsArchivePath(path) ? path : std::string()}, outputDirectory);
}

void ProcessCounty(Session& session, County& county, const CountySource& source, std::string* outputDirectory)
{
    if (session.Stopped()) return;
    const ConversionPlan& plan = *session.plan;
    RunReport& report = session.report;
    if (!plan.projectionError.empty()) throw std::invalid_argument(plan.projectionError);
    if (!plan.projectionNote.empty()) report.LogLine(plan.projectionNote);
    CountyPlan job = PlanCounty(plan, source);

    report.ShowPhase("reading");
    NoteDuplicateMembers(session, job.source);
    if (!DecideRelease(session, job)) return;
    ReadEntityNamesPhase(session, county, job.source, job.release);
    std::string line = "[" + (job.fileName.size() > 3 ? job.fileName.substr(3, 5) : std::string()) + "] " + county.countyName;
    if (!job.release.name.empty()) line += (county.countyName.empty() ? "(" : " (") + job.release.name + ")";
    report.ShowCountyStatus(line);
    if (!PrepareOutputs(session, county, job)) return;
    if (outputDirectory) *outputDirectory = job.outputDirectory;
    if (ReadChains(session, county, job)) {
        if (job.container)
            job.container->ExpectPoints(2 * static_cast<std::size_t>(county.chains.count()) +
                                        county.chains.shapePoints.size());
        WriteLayers(session, county, job);
    }
    county.Release();
}

} // namespace zalor
