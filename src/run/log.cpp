#include "run/log.h"

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <sys/types.h>

namespace zalor {

std::string FormatThousands(int64_t n)
{
    std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3 + 1);
    if (n < 0) out.push_back('-');
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

std::string ElapsedText(int64_t ms)
{
    if (ms < 0) ms = 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "Time: %02lld:%02lld.%03lld ms", static_cast<long long>(ms / 60000),
                  static_cast<long long>((ms / 1000) % 60), static_cast<long long>(ms % 1000));
    return buf;
}

std::string SafeDirectoryName(std::string_view name)
{
    std::string out(name);
    bool onlyDots = !out.empty();
    for (char& c : out) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 32 || u == 127) c = '_';
        if (c != '.') onlyDots = false;
    }
    if (onlyDots)
        for (char& c : out) c = '_';
    return out;
}

RunReport::RunReport(const RunSettings& settings, Reporter& reporter)
    : settings_(settings), reporter_(reporter)
{
}

void RunReport::LogLine(std::string_view text)
{
    if (Keep(ReportEvent::Kind::Log, text)) return;
    if (settings_.LogsDisabled()) return;
    ++logCounter_;
    const std::string& path = settings_.Text("Log");
    if (!path.empty() && !logFailed_ && !AppendToLogFile(path, text)) {
        logFailed_ = true;
        reporter_.Error("Unable to Write Log File " + path + ": " + std::strerror(errno));
    }
    int dropped = 0;
    if (logList_.size() >= kLogListLimit) {
        for (std::size_t i = 0; i < kLogListDrop && !logList_.empty(); ++i) logList_.pop_front();
        dropped = static_cast<int>(kLogListDrop);
    }
    logList_.push_back(std::to_string(logCounter_) + " : " + std::string(text));
    reporter_.LogAppended(logCounter_, text, dropped);
}

bool RunReport::AppendToLogFile(const std::string& path, std::string_view text)
{
    // Only a regular file (or none yet): a pipe or a device could block for ever.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fwrite("\r\n", 1, 2, f) == 2 && ok;
    const int err = errno;
    ok = std::fclose(f) == 0 && ok;
    if (!ok && errno == 0) errno = err;
    return ok;
}

void RunReport::ReplaceLastLogLine(std::string_view text)
{
    if (Keep(ReportEvent::Kind::ReplaceLast, text)) return;
    std::string line = std::to_string(logCounter_) + " : " + std::string(text);
    if (logList_.empty()) logList_.push_back(std::move(line));
    else logList_.back() = std::move(line);
    reporter_.LogLastReplaced(logCounter_, text);
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
    if (!Keep(ReportEvent::Kind::CountyStatus, text)) reporter_.CountyStatus(text);
}

void RunReport::AddOutputEntry(std::string_view path)
{
    // The size now: a kept entry is shown later, when auto zip may have moved the file.
    std::string p(path);
    struct stat st;
    const int64_t size = ::stat(p.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
    AddSizedOutputEntry(p, size);
}

void RunReport::AddSizedOutputEntry(const std::string& path, int64_t size)
{
    if (Keep(ReportEvent::Kind::Output, path, size)) return;
    CompletionSignal();
    outputs_.push_front(path + "|" + FormatThousands(size));
    reporter_.OutputAdded(outputs_.front());
}

void RunReport::ClearOutputs()
{
    outputs_.clear();
    reporter_.OutputsCleared();
}

void RunReport::CompletionSignal()
{
    if (settings_.Box("BEEP")) reporter_.Beep();
}

void RunReport::ProcessEvents()
{
    if (!deferred_) reporter_.ProcessEvents();
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
    if (!Keep(ReportEvent::Kind::Error, text)) reporter_.Error(text);
}

void RunReport::ShowPhase(std::string_view name)
{
    if (!Keep(ReportEvent::Kind::Phase, name)) reporter_.Phase(name);
}

void RunReport::ShowCountyBegun(int number, int count, std::string_view entry)
{
    if (!Keep(ReportEvent::Kind::CountyBegun, entry, number, count)) reporter_.CountyBegun(number, count, entry);
}

void RunReport::LogMcdTotal(const McdCodeSet& codes)
{
    if (deferred_) {
        ReportEvent e{ReportEvent::Kind::McdTotal, {}, 0, 0, {}};
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
            ShowCountyBegun(static_cast<int>(e.done), static_cast<int>(e.total), e.text);
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
        case ReportEvent::Kind::Output: AddSizedOutputEntry(e.text, e.done); break;
        case ReportEvent::Kind::Error: ShowError(e.text); break;
        case ReportEvent::Kind::Notice: Notice(e.text); break;
        case ReportEvent::Kind::Warning: ShowWarning(e.text); break;
        }
    }
}

bool RunReport::CreateDirectoryLogged(const std::string& path, bool linkAllowed)
{
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    int err = errno;
    struct stat st;
    if (err == EEXIST && ::lstat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        if (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            if (linkAllowed) return true;
            // A link below the output root could lead anywhere: nothing is written through it.
            LogLine("Unable to Create Directory " + path + ": a link is in its place");
            return false;
        }
    }
    LogLine("Unable to Create Directory " + path);
    return true; // the writes into it fail and say so
}

std::string RunReport::PrepareCountyDirectory(std::string d, std::string_view name, std::string_view countyName,
                                              std::string_view scheme)
{
    if (d.empty()) d = "./";
    if (d.back() != '/') d.push_back('/');
    auto chars = [&](std::size_t first, std::size_t count) {
        return SafeDirectoryName(first - 1 < name.size() ? name.substr(first - 1, count) : std::string_view());
    };
    bool ok = CreateDirectoryLogged(d, true); // the root is the user's to point anywhere
    auto level = [&](const std::string& part) {
        d += part;
        ok = CreateDirectoryLogged(d, false) && ok;
        d += "/";
    };
    if (scheme == "RbD1" || scheme == "RbD2" || scheme == "RbD3") {
        level(chars(4, 2));
        if (scheme == "RbD2") level(chars(4, 5));
        else if (scheme == "RbD3") level(SafeDirectoryName(countyName));
    }
    if (d.back() != '/') d.push_back('/');
    return ok ? d : std::string();
}

} // namespace zalor
