// The driver's side of the readers' and writers' reports: their progress,
// status and stop flag through the session, and their failures as log
// lines and county errors.
#pragma once

#include "formats/layer.h"
#include "run/session.h"
#include "base/progress.h"
#include "tiger/record_file.h"

#include <string_view>

namespace zalor {

class SessionProgress final : public ProgressObserver {
public:
    explicit SessionProgress(Session& session) : session_(session) {}
    bool StopRequested() const override { return session_.Stopped(); }
    // Progress as a share of an estimate (done is capped at the total); a
    // total of 0 or less shows the start when nothing is done yet.
    void Progress(int64_t done, int64_t total) override;
    void Status(std::string_view text) override { session_.report.ShowStatus(text); }

private:
    Session& session_;
};

// Logs each failure as an error of the county: "Unable to Create " + the
// reason, "Error Writing " + the file, or the feature that was not written.
void ReportFailures(Session& session, const WriteFailures& failures);
// True when one of them is a file that could not be created.
bool CreateFailed(const WriteFailures& failures);

// Reports a read failure of a record file (a damaged member, an input
// error, an incomplete last record) as an error of the county, with
// `message` followed by the file's name and its error in brackets, or
// "Error Reading " + the file's name + its error when `message` is empty.
// Returns true when there was one.
// What came of reading one record file, kept to be reported later (by the
// first layer that uses it).
struct RecordFileReport {
    std::string name;
    bool openFailed = false;
    std::string openError;
    std::string error;
    RecordTally tally;
    static RecordFileReport Of(const TZipFile& file)
    {
        return {file.Name(), file.OpenFailed(), file.OpenError(), file.Error(), file.Tally()};
    }
};
// The records of the file that were no records of its type: a warning,
// or an error of the county when they are most of the file.
void ReportRejected(Session& session, const RecordFileReport& file);

// Records of the file that were no records of its type are reported once
// per county: as a warning, or as an error of the county when they are
// most of the file.
bool ReportReadFailure(Session& session, const TZipFile& file, std::string_view message = {});

// A record file that is there but could not be opened: an error of the
// county. False when the file is simply not there.
bool ReportOpenFailure(Session& session, const TZipFile& file);
// A record file that is not there although the chosen outputs need it:
// a warning (once per county) saying what will be missing.
void NoteMissing(Session& session, const TZipFile& file, std::string_view consequence);

} // namespace zalor
