#include "run/driver.h"

#include "features/areas.h"
#include "features/lines.h"
#include "run/selection.h"
#include "tiger/archive.h"
#include "tiger/chains.h"
#include "tiger/landmarks.h"
#include "tiger/names.h"
#include "tiger/polygons.h"

#include <chrono>
#include <exception>
#include <thread>

namespace zalor {

int64_t TickCount()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string EntryPath(const std::string& entry) { return entry.substr(0, entry.find('|')); }

std::string AutoZipArchiveName(const std::string& inputPath)
{
    std::string name = OutputBaseName(inputPath);
    if (name.empty()) return {};
    name[0] = 'Z';
    return name + ".ZIP";
}

namespace {

constexpr int kKeyLocationColour = 0x40A0A0;

bool ContainsZip(const std::string& path)
{
    for (std::size_t i = 0; i + 4 <= path.size(); ++i) {
        if (path[i] != '.') continue;
        std::string ext = path.substr(i + 1, 3);
        for (char& c : ext) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        if (ext == "ZIP") return true;
    }
    return false;
}

} // namespace

RunResult RunConversion(Session& session)
{
    RunSettings& s = session.settings;
    RunReport& report = session.report;
    RunResult result;

    std::string root = s.Text("Output");
    if (root.empty()) root = s.currentDir; // an empty root means the current directory
    if (root.back() != '/') root.push_back('/');
    s.SetText("Output", root);

    if (!AnythingSelected(s)) {
        report.ShowWarning("Please Select Features for Output!");
        result.refused = true;
        return result;
    }
    if (s.inputs.empty()) report.ShowWarning("Please Select Files to Process");

    session.runStartMs = TickCount();
    if (session.runStartMs == 0) session.runStartMs = 1;
    report.ClearOutputs();
    session.ClearStop();
    session.failedCounties = 0;
    report.LogLine("Starting Process");
    report.reporter().Running(true);
    session.formatCode = s.FormatCode();

    County county;
    for (std::size_t i = 0; i < s.inputs.size() && !session.Stopped(); ++i) {
        const std::string entry = s.inputs[i];
        const std::string path = EntryPath(entry);
        report.ProcessEvents();
        session.currentArchive = ContainsZip(path) ? path : std::string();
        session.countyErrors = 0;
        ++result.counties;
        report.LogLine("Begin :" + entry);
        try {
            ProcessCounty(session, county, path);
        } catch (const std::exception& e) {
            session.CountyError("Error Processing " + path + ": " + e.what());
        }
        county.Release();
        report.LogLine("Complete :" + entry);
        if (s.Box("ZIP") && !session.Stopped()) {
            try {
                AutoZipOutputs(session, session.countyOutputDirectory + AutoZipArchiveName(path),
                               OutputBaseName(path));
            } catch (const std::exception& e) {
                session.CountyError("Error Zipping " + path + ": " + e.what());
            }
        }
        if (session.countyErrors > 0) ++session.failedCounties;
    }
    result.failed = session.failedCounties;
    result.stopped = session.Stopped();

    report.reporter().Running(false);
    if (result.stopped) report.ShowStatus("Process Aborted!");
    else if (result.failed > 0)
        report.ShowStatus("Done! " + std::to_string(result.failed) + " of " + std::to_string(result.counties) +
                          " Counties Failed!");
    else report.ShowStatus("Done!");
    report.CompletionSignal();
    if (s.Box("BEEP")) std::this_thread::sleep_for(std::chrono::milliseconds(500));
    report.CompletionSignal();
    session.runStartMs = 0;
    report.reporter().Progress(0);
    return result;
}

void ProcessCounty(Session& session, County& county, const std::string& path)
{
    if (session.Stopped()) return;
    RunSettings& s = session.settings;
    RunReport& report = session.report;

    session.projection.active = s.Box("RbP1");
    if (session.projection.active) SetupLambert(session.projection, ParseLambertParameters(s.Text("LAM")));

    const std::string fileName = FileNamePart(path);
    std::string upperName = fileName;
    for (char& c : upperName) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);

    ReadEntityNames(session, county, path);
    report.ShowCountyStatus("[" + (upperName.size() > 3 ? upperName.substr(3, 5) : std::string()) + "] " +
                            county.countyName);
    session.countyOutputDirectory =
        report.PrepareCountyDirectory(s.Text("Output"), upperName, county.countyName, s.Choice("RbD"));

    county.chains.Release();
    county.names.Clear();
    county.altNames.assign(1, 0);
    county.landmarks.clear();
    county.keyLocations.clear();
    ReleaseChains(county);
    ReadChains(session, county, path);
    if (county.chains.count() == 0) {
        session.CountyError("Error Opening " + path);
        return;
    }
    const int flags = LineGroupFlags(s);
    ReadShapes(session, county, path);
    ReadPolygonLinks(session, county, path);
    ComputeCountyExtent(session, county);
    ReadAltNames(session, county, path);
    ReadAltFeatures(session, county, path);

    if (s.Box("RbO2")) SortChainsSpatially(session, county);
    else if (s.Box("RbO3")) SortChainsByMcd(session, county);
    else if (s.Box("RbO4")) SortChainsByCfcc(session, county);
    report.LogLine("Sorting Complete");

    static const struct {
        int mask;
        const char* suffix;
    } groups[] = {{1, "Asuf"}, {2, "Bsuf"}, {4, "Csuf"}, {8, "Zsuf"}, {16, "Esuf"}, {32, "Fsuf"}, {64, "Hsuf"}, {128, "Xsuf"}};
    for (const auto& g : groups) WriteLineFeatures(session, county, path, flags & g.mask, s.Text(g.suffix));
    report.ProcessEvents();
    if (s.Box("CbY0")) WriteLineFeatures(session, county, path, 255, s.Text("Ysuf"));

    const bool points = AnyPointLandmarkSelected(s);
    ReadLandmarks(session, county, path, s.Text("Dsuf2"), points);

    // Record files of the area layers: directory + file name up to and
    // including its first "." + the record type.
    std::string base = DirectoryPart(path) + fileName.substr(0, fileName.find('.'));
    base += ".";

    if (s.Box("CbW1")) {
        session.areaBrushColour = 0xFF8000;
        WriteEntityLayer(session, county, base + "RTS", s.Text("Wsuf") + "|02601", true, false, 2, 23, s.Box("CbCn1"));
    }
    if (s.Box("CbW2")) {
        session.areaBrushColour = 0xFFC000;
        WriteEntityLayer(session, county, base + "RT8", s.Text("Wsuf2") + "|02610", true, false, 1, 23,
                         s.Box("CbCn1"));
    }
    session.areaBrushColour = kKeyLocationColour;
    WriteKeyLocationLayer(session, county, base + "RT9", "KGL|02610", false);
    // Landmark areas are written whenever one of their own boxes is checked.
    if (AnyLandmarkAreaSelected(s)) {
        session.areaBrushColour = 0x008080;
        WriteEntityLayer(session, county, base + "RT8", s.Text("Dsuf") + "|02610", true, s.Box("CbD10"), 0, 0,
                         s.Box("CbCn2"));
    }
    for (int i = 1; i <= 21; ++i) {
        if (i == 20) continue;
        session.areaBrushColour = CurrentAreaColour(i);
        std::string key = "CbAr" + std::to_string(i);
        if (!s.Box(key)) continue;
        std::string spec = AreaSpecOf(key);
        WriteEntityLayer(session, county, base + "RTS", spec, false, s.Box("CbAr20"), 0, AreaKindCode(spec),
                         s.Box("CbCn3"));
    }
    for (int j = 2; j <= 7; ++j) {
        session.areaBrushColour = Area1990Colour(j);
        std::string key = "CbAs" + std::to_string(j);
        if (s.Box(key))
            WriteEntityLayer(session, county, base + "RTA", AreaSpecOf(key), false, s.Box("CbAs8"), 0, 0,
                             s.Box("CbCn4"));
    }
    for (int k = 1; k <= 9; ++k) {
        session.areaBrushColour = EntityAreaColour(k);
        std::string key = "CbAt" + std::to_string(k);
        if (s.Box(key))
            WriteEntityLayer(session, county, base + "RTA", AreaSpecOf(key), false, s.Box("CbAt10"), 0, 0,
                             s.Box("CbCn5"));
    }
    county.Release();
}

} // namespace zalor
