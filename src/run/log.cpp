#include "run/log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

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
    std::snprintf(buf, sizeof buf, "%02lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                  static_cast<long long>((ms / 1000) % 60), static_cast<long long>(ms % 1000));
    return buf;
}

void RunLog::Append(std::string_view text, Reporter& reporter)
{
    if (disabled_) return;
    ++counter_;
    if (!filePath_.empty() && !failed_ && !AppendToLogFile(filePath_, text)) {
        failed_ = true;
        reporter.Error("Unable to Write Log File " + filePath_ + ": " + std::strerror(errno));
    }
    int dropped = 0;
    if (list_.size() >= kListLimit) {
        for (std::size_t i = 0; i < kListDrop && !list_.empty(); ++i) list_.pop_front();
        dropped = static_cast<int>(kListDrop);
    }
    list_.push_back(std::to_string(counter_) + " : " + std::string(text));
    reporter.LogAppended(counter_, text, dropped);
}

void RunLog::ReplaceLast(std::string_view text, Reporter& reporter)
{
    std::string line = std::to_string(counter_) + " : " + std::string(text);
    if (list_.empty()) list_.push_back(std::move(line));
    else list_.back() = std::move(line);
    reporter.LogLastReplaced(counter_, text);
}

bool AppendToLogFile(const std::string& path, std::string_view text)
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

} // namespace zalor
