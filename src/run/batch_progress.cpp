#include "run/batch_progress.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace zalor {

namespace {

// Where each phase begins within its county; the last ends at 1. Reading
// and the line layers take most of a county's time, the landmark points
// little. Zipping, after the areas with auto zip, is short and not counted.
struct PhaseShare {
    std::string_view name;
    double start;
};
constexpr PhaseShare kPhases[] = {{"reading", 0.0}, {"lines", 0.35}, {"landmarks", 0.65}, {"areas", 0.7}};

} // namespace

void BatchProgress::Start(const std::vector<InputEntry>& inputs)
{
    double known = 0;
    int knownCount = 0;
    for (const InputEntry& input : inputs)
        if (input.size > 0) {
            known += static_cast<double>(input.size);
            ++knownCount;
        }
    // A missing or empty input weighs as much as an average one.
    const double average = knownCount > 0 ? known / knownCount : 1.0;
    weights_.clear();
    for (const InputEntry& input : inputs)
        weights_.push_back(input.size > 0 ? static_cast<double>(input.size) : average);
    county_ = 0;
    phaseStart_ = phaseEnd_ = 0;
    phasePercent_ = 0;
    percent_ = 0;
}

void BatchProgress::CountyBegun(int number, int count)
{
    // A batch other than the one announced counts its counties alike.
    if (count > 0 && weights_.size() != static_cast<std::size_t>(count))
        weights_.assign(static_cast<std::size_t>(count), 1.0);
    county_ = number;
    phaseStart_ = phaseEnd_ = 0;
    phasePercent_ = 0;
    Update();
}

void BatchProgress::Phase(std::string_view name)
{
    const std::size_t n = std::size(kPhases);
    for (std::size_t i = 0; i < n; ++i) {
        if (kPhases[i].name != name) continue;
        phaseStart_ = kPhases[i].start;
        phaseEnd_ = i + 1 < n ? kPhases[i + 1].start : 1.0;
        phasePercent_ = 0;
    }
    Update();
}

void BatchProgress::Progress(int percent)
{
    phasePercent_ = std::clamp(percent, 0, 100);
    Update();
}

void BatchProgress::Finish() { percent_ = 100; }

void BatchProgress::Update()
{
    if (county_ < 1 || weights_.empty()) return;
    const std::size_t current = std::min<std::size_t>(static_cast<std::size_t>(county_), weights_.size()) - 1;
    double total = 0, before = 0;
    for (std::size_t i = 0; i < weights_.size(); ++i) {
        total += weights_[i];
        if (i < current) before += weights_[i];
    }
    const double within = phaseStart_ + (phaseEnd_ - phaseStart_) * phasePercent_ / 100.0;
    const int percent = static_cast<int>(std::floor(100.0 * (before + weights_[current] * within) / total));
    percent_ = std::max(percent_, std::clamp(percent, 0, 100));
}

} // namespace zalor
