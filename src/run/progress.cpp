#include "run/progress.h"
#include "tiger/paths.h"

#include <algorithm>

namespace zalor {

void SessionProgress::Progress(int64_t done, int64_t total)
{
    if (total <= 0) {
        if (done == 0) session_.report.ShowProgress(0, 1);
        return;
    }
    session_.report.ShowProgress(std::min(done, total), total);
}

void ReportFailures(Session& session, const WriteFailures& failures)
{
    for (const WriteFailure& f : failures) {
        switch (f.kind) {
        case WriteFailure::Kind::Create: session.CountyError("Unable to Create " + f.detail); break;
        case WriteFailure::Kind::Write:
            session.CountyError("Error Writing " + f.path + (f.detail.empty() ? "" : ": " + f.detail));
            break;
        case WriteFailure::Kind::Refused:
            session.CountyError("Coordinates out of range in chain " + std::to_string(f.item) + ", not written to " +
                                f.path);
            break;
        case WriteFailure::Kind::RefusedAreas:
            session.CountyError("Coordinates out of range in " + std::to_string(f.item) + " areas, not written to " +
                                f.path);
            break;
        }
    }
}

bool CreateFailed(const WriteFailures& failures)
{
    return std::any_of(failures.begin(), failures.end(),
                       [](const WriteFailure& f) { return f.kind == WriteFailure::Kind::Create; });
}

void ReportRejected(Session& session, const RecordFileReport& file)
{
    const RecordTally& t = file.tally;
    if (t.rejected == 0 || !session.noted.insert(file.name).second) return;
    const std::string text = std::to_string(t.rejected) + " records of " + FileNamePart(file.name) + " rejected: " +
                             t.firstReason + " (the first is record " + std::to_string(t.firstRejected) + ")";
    if (t.rejected * 2 > t.read) session.CountyError(text + "; the file is mostly not records of its type");
    else session.report.Notice(text);
}

bool ReportReadFailure(Session& session, const TZipFile& file, std::string_view message)
{
    ReportRejected(session, RecordFileReport::Of(file));
    if (file.Error().empty()) return false;
    if (message.empty()) session.CountyError("Error Reading " + file.Name() + ": " + file.Error());
    else session.CountyError(std::string(message) + " (" + FileNamePart(file.Name()) + ": " + file.Error() + ")");
    return true;
}

bool ReportOpenFailure(Session& session, const TZipFile& file)
{
    if (file.OpenError().empty()) return false;
    if (session.noted.insert(file.Name()).second) session.CountyError("Unable to Read " + file.OpenError());
    else ++session.countyErrors;
    return true;
}

void NoteMissing(Session& session, const TZipFile& file, std::string_view consequence)
{
    if (!file.OpenError().empty() || !session.noted.insert(file.Name()).second) return;
    session.report.Notice(FileNamePart(file.Name()) + " not found: " + std::string(consequence));
}

} // namespace zalor
