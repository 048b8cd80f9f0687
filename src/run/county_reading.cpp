#include "run/county_reading.h"

#include "run/progress.h"
#include "tiger/chains.h"
#include "tiger/landmarks.h"
#include "tiger/names.h"
#include "tiger/polygons.h"
#include "tiger/zip_archive.h"
#include "tiger/paths.h"

#include <algorithm>
#include <chrono>
#include <map>

namespace zalor {

void NoteDuplicateMembers(Session& session, const CountySource& source)
{
    if (source.archive.empty()) return;
    std::vector<std::string> names;
    if (TZipObj::GetZipList(source.archive, names, 0) != 0) return;
    auto upper = [](std::string t) {
        for (char& c : t) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        return t;
    };
    std::map<std::string, std::vector<std::string>> byName; // upper-cased name -> names in archive order
    for (const std::string& n : names) byName[upper(n)].push_back(n);
    for (const auto& [key, found] : byName) {
        if (found.size() < 2) continue;
        // An exact name is looked for first, then any spelling: the first of them is read.
        const auto exact = std::find(found.begin(), found.end(), key);
        const std::string& read = exact != found.end() ? *exact : found.front();
        session.report.Notice(key + " is in " + FileNamePart(source.archive) + " " + std::to_string(found.size()) +
                              " times: the first named " + read + " is read");
    }
}

void ReadEntityNamesPhase(Session& session, County& county, const CountySource& source, const Release& release)
{
    if (session.Stopped()) return;
    RunReport& report = session.report;
    TZipFile file = OpenRecordFile(source, ".RTC", kRtcProbe);
    report.LogLine("Reading Entity Names:");
    county.countyName.clear();
    county.entityNames.clear();
    county.IndexEntityNames();
    if (file.OpenFailed()) {
        if (ReportOpenFailure(session, file)) return;
        // The files of 1990 and 1992 have no entity names.
        report.LogLine(release.group == LayoutGroup::Tiger1990 ? release.name + " has no entity names (RTC)"
                                                                : "Error Reading " + file.Name());
        return;
    }
    SessionProgress progress(session);
    if (ReadEntityNames(file, LayoutsOf(release.group), county, FileNamePart(file.Name()), progress) ==
        EntityNamesRead::BadLength) {
        session.CountyError("Error Reading " + file.Name());
        return;
    }
    if (ReportReadFailure(session, file)) return;
    if (!county.entityNames.empty() && release.group < LayoutGroup::Census2000)
        report.Notice(release.name + ": the entity names (RTC) are read in the layout of the late 1990s, which no "
                                     "real file of this release has confirmed: check the names of the areas");
}

namespace {

void SortByIds(Session& session, ChainTable& chains)
{
    session.report.LogLine("Sorting By IDs " + std::to_string(chains.count()));
    SortChainsById(chains);
    SessionProgress(session).Progress(1, 1);
    session.report.LogLine("Chain Sorting Completed");
}

bool ReadChainsPhase(Session& session, County& county, const CountySource& source, const RecordLayouts& layouts)
{
    if (session.Stopped()) return false;
    TZipFile file = OpenRecordFile(source, ".RT1", layouts);
    if (file.OpenFailed()) {
        ReportOpenFailure(session, file);
        return false;
    }
    RunReport& report = session.report;
    SessionProgress progress(session);
    progress.Progress(0, 0);
    report.LogLine("Reading Chains: " + std::to_string(file.RecordEstimate()));
    report.ShowStatus("Processing Chains...");
    ReadChains(file, layouts, county, session.plan->precision, session.mcdCodes, progress);
    ReportReadFailure(session, file);
    file.Close();
    progress.Progress(0, 0);
    report.LogLine("Total Chains=" + std::to_string(county.chains.count()));
    report.LogMcdTotal(session.mcdCodes);
    report.LogLine("Feature Names=" + std::to_string(county.names.NameCount()));
    SortByIds(session, county.chains);
    return county.chains.count() > 0;
}

// Opens one record file after logging `title`; null when stopped or when
// there is no such file (`missing`, when not null, says what is lost then).
std::unique_ptr<TZipFile> OpenPhase(Session& session, const CountySource& source, const RecordLayouts& layouts,
                                    const char* title, std::string_view extension, const char* status,
                                    const char* missing = nullptr)
{
    if (session.Stopped()) return nullptr;
    session.report.LogLine(title);
    auto file = std::make_unique<TZipFile>(OpenRecordFile(source, extension, layouts));
    if (file->OpenFailed()) {
        if (!ReportOpenFailure(session, *file) && missing) NoteMissing(session, *file, missing);
        return nullptr;
    }
    SessionProgress(session).Progress(0, 0);
    session.report.ShowStatus(status);
    return file;
}

// Closes a phase's file, reporting a read failure with `message`.
void ClosePhase(Session& session, TZipFile& file, std::string_view message = {})
{
    ReportReadFailure(session, file, message);
    file.Close();
}

void ReadShapesPhase(Session& session, County& county, const CountySource& source, const RecordLayouts& layouts)
{
    auto file = OpenPhase(session, source, layouts, "Reading Shapes:", ".RT2", "Reading Shapes ...",
                          "the chains are written as straight lines");
    if (!file) return;
    SessionProgress progress(session);
    const int32_t runs =
        ReadShapes(*file, layouts, county.chains, session.plan->precision, session.plan->tolerance, progress);
    ClosePhase(session, *file, "Error Reading Shape File!");
    progress.Progress(1, 1);
    session.report.LogLine("Total Shapes=" + std::to_string(runs));
}

void ReadPolygonLinksPhase(Session& session, County& county, const CountySource& source, const RecordLayouts& layouts)
{
    auto file = OpenPhase(session, source, layouts, "Reading Polygons:", ".RTI", "Reading Polygons ...",
                          session.plan->anyArea ? "no area can be assembled" : nullptr);
    if (!file) return;
    SessionProgress progress(session);
    const int32_t records = ReadPolygonLinks(*file, layouts, county.chains, progress);
    ClosePhase(session, *file);
    progress.Progress(1, 1);
    session.report.LogLine("Total Polygons=" + std::to_string(records));
}

void ReadAltNamesPhase(Session& session, County& county, const CountySource& source, const RecordLayouts& layouts)
{
    auto file = OpenPhase(session, source, layouts, "Reading Alternate Feature Names:", ".RT5", "Feature Names...");
    if (!file) return;
    SessionProgress progress(session);
    ReadAltNames(*file, layouts, county, progress);
    ClosePhase(session, *file);
    session.report.LogLine("Feature Names = " + std::to_string(county.altNames.size() - 1));
    progress.Progress(1, 1);
}

void ReadAltFeaturesPhase(Session& session, County& county, const CountySource& source, const RecordLayouts& layouts)
{
    auto file = OpenPhase(session, source, layouts, "Reading Alternate Features:", ".RT4", "Processing Feature Index...");
    if (!file) return;
    SessionProgress progress(session);
    const int32_t estimate = file->RecordEstimate();
    ReadAltFeatures(*file, layouts, county, progress);
    ReportReadFailure(session, *file);
    file->Close();
    session.report.LogLine("-- Complete " + std::to_string(estimate));
    progress.Progress(1, 1);
}

} // namespace

bool ReadChainPhases(Session& session, County& county, const CountySource& source, const RecordLayouts& layouts)
{
    if (!ReadChainsPhase(session, county, source, layouts)) return false;
    ReadShapesPhase(session, county, source, layouts);
    ReadPolygonLinksPhase(session, county, source, layouts);
    const CountyExtent e = county.extent = ComputeCountyExtent(county.chains);
    session.report.LogLine("Limits=" + std::to_string(e.minX) + ", " + std::to_string(e.minY) + " : " +
                           std::to_string(e.maxX) + ", " + std::to_string(e.maxY));
    ReadAltNamesPhase(session, county, source, layouts);
    ReadAltFeaturesPhase(session, county, source, layouts);
    return true;
}

void OrderChainsPhase(Session& session, County& county)
{
    RunReport& report = session.report;
    ChainTable& chains = county.chains;
    const std::string count = std::to_string(chains.count());
    SessionProgress progress(session);
    switch (session.plan->order) {
    case ChainOrder::Spatial:
        report.LogLine("Sorting Spatially " + count);
        SortChainsSpatially(chains);
        progress.Progress(1, 1);
        break;
    case ChainOrder::Mcd:
        report.LogLine("Sorting By MCD " + count);
        SortChainsByMcd(chains);
        progress.Progress(1, 1);
        report.LogLine("MCD Sorting Completed");
        break;
    case ChainOrder::Cfcc: {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        report.LogLine("Sorting By CFCC " + count);
        SortChainsByCfcc(chains);
        progress.Progress(0, 0);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        report.ReplaceLastLogLine("CFCC Sorting Completed ..." + std::to_string(ms) + " ms");
        break;
    }
    case ChainOrder::Identifier: break; // the order of the chain reader
    }
}

bool ReadLandmarksPhase(Session& session, County& county, const CountySource& source, const RecordLayouts& layouts)
{
    if (session.Stopped()) return false;
    RunReport& report = session.report;
    TZipFile file = OpenRecordFile(source, ".RT7", layouts);
    report.LogLine("Reading Landmark Points:");
    county.landmarks.clear();
    county.landmarksFailed = false;
    if (file.OpenFailed()) {
        county.landmarksFailed = ReportOpenFailure(session, file);
        if (!county.landmarksFailed && session.plan->points) NoteMissing(session, file, "no landmark points");
        report.LogLine("Error Reading Landmarks");
        return false;
    }
    SessionProgress progress(session);
    ReadLandmarks(file, layouts, county, session.plan->precision, progress);
    county.landmarksFailed = ReportReadFailure(session, file, "Error Reading Landmarks");
    return !county.landmarksFailed;
}

} // namespace zalor
