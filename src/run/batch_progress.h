// The progress of a whole run, a batch of counties, made from what the run
// reports: which county has begun, its phase, and the phase's progress.
// Each county weighs by the size of its input, and each phase takes a
// fixed share of its county. The progress never goes back, though a phase
// restarts its own progress for every file it reads or writes.
#pragma once

#include "run/entries.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace zalor {

class BatchProgress {
public:
    // A run of these inputs begins (0 %).
    void Start(const std::vector<InputEntry>& inputs);
    // County `number` (from 1) of `count` begins.
    void CountyBegun(int number, int count);
    // The county's phase: "reading", "lines", "landmarks", "areas", "zipping".
    void Phase(std::string_view name);
    // The phase's own progress, 0..100.
    void Progress(int percent);
    // The run ended with every county done.
    void Finish();

    // The batch's progress, 0..100.
    int Percent() const { return percent_; }

private:
    void Update();

    std::vector<double> weights_; // of each county
    int county_ = 0;              // the county in progress, from 1 (0: none yet)
    double phaseStart_ = 0;       // the phase's share of its county: from ...
    double phaseEnd_ = 0;         // ... to
    int phasePercent_ = 0;
    int percent_ = 0;
};

} // namespace zalor
