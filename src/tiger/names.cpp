#include "tiger/names.h"

#include "run/session.h"
#include "tiger/archive.h"
#include "tiger/county.h"
#include "tiger/records.h"

namespace zalor {

namespace {

constexpr int kRt5Length = 54; // 52 characters and CR LF
constexpr int kRt4Length = 60; // 58 characters and CR LF

// Sets one alternate-name slot from a feature number: 0 leaves the slot as
// it is; a number that names no RT5 record read clears it.
void SetAltName(NameId& slot, int32_t number, const std::vector<NameId>& index)
{
    if (number == 0) return;
    slot = (number > 0 && static_cast<std::size_t>(number) < index.size()) ? index[static_cast<std::size_t>(number)]
                                                                            : 0;
}

} // namespace

void ReadAltNames(Session& session, County& county, const std::string& countyPath)
{
    if (session.Stopped()) return;
    RunReport& report = session.report;
    report.LogLine("Reading Alternate Feature Names:");
    TZipFile file = OpenRecordFile(session, countyPath, ".RT5", kRt5Length);
    if (file.OpenFailed()) return;

    ShowShare(session, 0, 0);
    report.ShowStatus("Feature Names...");
    const int32_t estimate = file.RecordEstimate();
    for (int32_t n = 1; !session.Stopped(); ++n) {
        if (file.AtEnd()) break;
        std::string_view r = file.ReadRecord();
        FeatureName name(Columns(r, 15, 16), Columns(r, 17, 46), Columns(r, 47, 50), Columns(r, 51, 52));
        county.altNames.push_back(county.names.Intern(name.Text()));
        if ((n & 0xFF) == 1) ShowShare(session, n, estimate);
    }
    ReportReadFailure(session, file);
    file.Close();
    report.ShowStatus("Done...");
    report.LogLine("Feature Names = " + std::to_string(county.altNames.size() - 1));
    ShowShare(session, 1, 1);
}

void ReadAltFeatures(Session& session, County& county, const std::string& countyPath)
{
    if (session.Stopped()) return;
    RunReport& report = session.report;
    report.LogLine("Reading Alternate Features:");
    TZipFile file = OpenRecordFile(session, countyPath, ".RT4", kRt4Length);
    if (file.OpenFailed()) return;

    ShowShare(session, 0, 0);
    report.ShowStatus("Processing Feature Index...");
    const int32_t estimate = file.RecordEstimate();
    ChainTable& chains = county.chains;
    ChainFinder finder(chains);
    for (int32_t n = 1; !session.Stopped(); ++n) {
        if (file.AtEnd()) break;
        std::string_view r = file.ReadRecord();
        const int32_t i = finder.Find(FieldToInt(Columns(r, 6, 15)));
        if (i > 0) {
            ChainRecord& c = chains[i];
            SetAltName(c.NAME1, FieldToInt(Columns(r, 19, 26)), county.altNames);
            SetAltName(c.NAME2, FieldToInt(Columns(r, 27, 34)), county.altNames);
            SetAltName(c.NAME3, FieldToInt(Columns(r, 35, 42)), county.altNames);
        }
        if ((n & 0xFF) == 1) ShowShare(session, n, estimate);
    }
    ReportReadFailure(session, file);
    file.Close();
    report.LogLine("-- Complete " + std::to_string(estimate));
    report.ShowStatus("Done...");
    ShowShare(session, 1, 1);
}

} // namespace zalor
