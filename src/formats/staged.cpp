#include "formats/staged.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace zalor {

std::string TemporaryPathFor(const std::string& path)
{
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return dir + ".zalor-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" + name;
}

StagedLayer::StagedLayer(const std::string& basePath) : final_(basePath), temp_(TemporaryPathFor(basePath)) {}

StagedLayer::~StagedLayer()
{
    if (!done_) RemoveTemporaries();
}

WriteFailures StagedLayer::Close()
{
    WriteFailures failures = CloseFiles();
    done_ = true;
    if (failures.empty()) {
        for (const std::string& ext : extensions_)
            if (std::rename((temp_ + ext).c_str(), (final_ + ext).c_str()) != 0)
                failures.push_back({WriteFailure::Kind::Write, final_ + ext, std::strerror(errno), 0});
    }
    if (!failures.empty()) RemoveTemporaries();
    return failures;
}

void StagedLayer::Discard()
{
    CloseFiles();
    done_ = true;
    RemoveTemporaries();
}

std::string StagedLayer::Stage(const char* ext)
{
    if (extensions_.empty()) main_ = final_ + ext;
    extensions_.emplace_back(ext);
    return temp_ + ext;
}

void StagedLayer::Check(WriteFailures& failures, bool ok, const std::string& path) const
{
    if (!ok) failures.push_back({WriteFailure::Kind::Write, FinalName(path), {}, 0});
}

std::string StagedLayer::FinalName(const std::string& text) const
{
    const std::size_t at = text.find(temp_);
    return at == std::string::npos ? text : text.substr(0, at) + final_ + text.substr(at + temp_.size());
}

void StagedLayer::RemoveTemporaries()
{
    for (const std::string& ext : extensions_) std::remove((temp_ + ext).c_str());
}

} // namespace zalor
