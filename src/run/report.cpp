#include "run/report.h"

#include <algorithm>
#include <sys/stat.h>

namespace zalor {

void RunReport::LogLine(std::string_view text)
{
    if (!Keep(ReportEvent::Kind::Log, text)) log_.Append(text, reporter_);
}

void RunReport::ReplaceLastLogLine(std::string_view text)
{
    if (!Keep(ReportEvent::Kind::ReplaceLast, text)) log_.ReplaceLast(text, reporter_);
}

void RunReport::ShowProgress(int64_t done, int64_t total)
{
    if (Keep(ReportEvent::Kind::Progress, {}, done, total)) return;
    if (total == 0) return;
    int64_t p = done * 100 / total;
    reporter_.Progress(static_cast<int>(p));
}

void RunReport::ShowStatus(std::string_view text)
{
    if (!Keep(ReportEvent::Kind::Status, text)) reporter_.Status(text);
}

void RunReport::ShowCountyStatus(std::string_view text)
{
    if (Keep(ReportEvent::Kind::CountyStatus, text)) return;
    countyLine_ = text;
    if (countyFailed_) failures_.back().county = countyLine_;
    reporter_.CountyStatus(text);
}

void RunReport::AddOutputEntry(const std::string& path, OutputEntry::State state)
{
    // The size now: a kept entry is shown later, when auto zip may have moved the file.
    struct stat st;
    OutputEntry entry;
    entry.path = path;
    entry.size = ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
    entry.state = state;
    AddOutput(entry);
}

void RunReport::AddOutput(const OutputEntry& entry)
{
    if (Keep(ReportEvent{ReportEvent::Kind::Output, entry.path, entry.size, 0, 0, entry.state, {}})) return;
    CompletionSignal();
    outputs_.Add(entry);
    reporter_.OutputAdded(entry);
}

void RunReport::RemoveOutput(const std::string& path)
{
    if (Keep(ReportEvent{ReportEvent::Kind::OutputRemoved, path, 0, 0, 0, OutputEntry::State::Written, {}})) return;
    outputs_.Remove(path);
    reporter_.OutputRemoved(path);
}

void RunReport::ClearOutputs()
{
    outputs_.Clear();
    reporter_.OutputsCleared();
}

void RunReport::CompletionSignal(int times)
{
    if (beep_) reporter_.Beep(times);
}

void RunReport::ShowWarning(std::string_view text)
{
    if (!Keep(ReportEvent::Kind::Warning, text)) reporter_.Warning(text);
}

void RunReport::Notice(std::string_view text)
{
    if (Keep(ReportEvent::Kind::Notice, text)) return;
    LogLine(text);
    reporter_.Notice(text);
}

void RunReport::ShowError(std::string_view text)
{
    if (Keep(ReportEvent::Kind::Error, text)) return;
    if (!countyFailed_) {
        failures_.push_back({countyInput_, countyLine_, {}});
        countyFailed_ = true;
    }
    failures_.back().errors.emplace_back(text);
    reporter_.Error(text);
}

void RunReport::ClearFailures()
{
    failures_.clear();
    countyInput_.clear();
    countyLine_.clear();
    countyFailed_ = false;
}

void RunReport::ShowPhase(std::string_view name)
{
    if (!Keep(ReportEvent::Kind::Phase, name)) reporter_.Phase(name);
}

void RunReport::ShowCountyBegun(int number, int count, const InputEntry& input)
{
    if (Keep(ReportEvent{ReportEvent::Kind::CountyBegun, input.path, number, count, input.size, {}, {}})) return;
    countyInput_ = input.path;
    countyLine_.clear();
    countyFailed_ = false;
    reporter_.CountyBegun(number, count, input);
}

void RunReport::LogMcdTotal(const McdCodeSet& codes)
{
    if (deferred_) {
        ReportEvent e{ReportEvent::Kind::McdTotal, {}, 0, 0, 0, {}, {}};
        e.codes.assign(codes.Codes().begin(), codes.Codes().end());
        std::sort(e.codes.begin(), e.codes.end());
        deferred_->push_back(std::move(e));
        return;
    }
    LogLine("Total MCD's=" + std::to_string(codes.Count()));
}

void RunReport::Replay(const std::vector<ReportEvent>& events, McdCodeSet* mcd)
{
    for (const ReportEvent& e : events) {
        switch (e.kind) {
        case ReportEvent::Kind::Phase: ShowPhase(e.text); break;
        case ReportEvent::Kind::CountyBegun:
            ShowCountyBegun(static_cast<int>(e.done), static_cast<int>(e.total), InputEntry{e.text, e.size});
            break;
        case ReportEvent::Kind::McdTotal:
            if (deferred_) {
                deferred_->push_back(e);
            } else if (mcd) {
                for (int32_t code : e.codes) mcd->Add(code);
                LogLine("Total MCD's=" + std::to_string(mcd->Count()));
            }
            break;
        case ReportEvent::Kind::Log: LogLine(e.text); break;
        case ReportEvent::Kind::ReplaceLast: ReplaceLastLogLine(e.text); break;
        case ReportEvent::Kind::Status: ShowStatus(e.text); break;
        case ReportEvent::Kind::CountyStatus: ShowCountyStatus(e.text); break;
        case ReportEvent::Kind::Progress: ShowProgress(e.done, e.total); break;
        case ReportEvent::Kind::Output: AddOutput({{e.text, e.done}, e.state}); break;
        case ReportEvent::Kind::OutputRemoved: RemoveOutput(e.text); break;
        case ReportEvent::Kind::Error: ShowError(e.text); break;
        case ReportEvent::Kind::Notice: Notice(e.text); break;
        case ReportEvent::Kind::Warning: ShowWarning(e.text); break;
        }
    }
}

} // namespace zalor
