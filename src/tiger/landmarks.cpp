#include "tiger/landmarks.h"

#include "features/areas.h"
#include "run/log.h"
#include "run/session.h"
#include "tiger/archive.h"
#include "tiger/county.h"
#include "tiger/records.h"

#include <cstring>
#include <exception>

namespace zalor {

namespace {

constexpr int kRt7Length = 76; // 74 characters and CR LF
constexpr std::size_t kNameLimit = 80;

void ParseLandmark(std::string_view r, LandmarkRecord& m, int digits)
{
    m.LAND = FieldToInt(Columns(r, 11, 20));
    std::string_view cfcc = Columns(r, 22, 24);
    std::memcpy(m.CFCC, cfcc.data(), cfcc.size());
    std::string_view name = TrimField(Columns(r, 25, 54));
    m.NAME.reserve(cfcc.size() + name.size());
    m.NAME.assign(cfcc);
    m.NAME.append(name);
    if (m.NAME.size() > kNameLimit) m.NAME.resize(kNameLimit);
    m.location.x = ReduceCoordinateField(Columns(r, 55, 64), digits);
    m.location.y = ReduceCoordinateField(Columns(r, 65, 73), digits);
}

} // namespace

void ReadLandmarks(Session& session, County& county, const std::string& countyPath, const std::string& suffix,
                   bool write)
{
    if (session.Stopped()) return;
    RunReport& report = session.report;
    TZipFile file = OpenRecordFile(session, countyPath, ".RT7", kRt7Length);
    report.ProcessEvents();
    const std::string outputPath = session.countyOutputDirectory + OutputBaseName(countyPath) + suffix;
    report.LogLine("Reading Landmark Points:");
    county.landmarks.clear();
    if (file.OpenFailed()) {
        report.LogLine("Error Reading Landmarks");
        return;
    }

    const int digits = session.settings.Precision();
    while (!session.Stopped() && !file.AtEnd()) {
        std::string_view r = file.ReadRecord();
        county.landmarks.emplace_back();
        ParseLandmark(r, county.landmarks.back(), digits);
    }
    const bool damaged = ReportReadFailure(session, file, "Error Reading Landmarks");
    file.Close();
    if (damaged) return; // no point file from a partial table

    if (write) {
        try {
            WriteLandmarkPoints(session, county, outputPath);
        } catch (const std::exception&) {
            session.CountyError("Error Reading Landmarks");
            return;
        }
    }
    report.ShowStatus("Done ");
}

} // namespace zalor
