// The output list of a run: every file it wrote or kept, newest first.
#pragma once

#include "run/entries.h"

#include <deque>

namespace zalor {

class OutputList {
public:
    void Add(OutputEntry entry) { entries_.push_front(std::move(entry)); }
    void Clear() { entries_.clear(); }
    const std::deque<OutputEntry>& Entries() const { return entries_; } // newest first

private:
    std::deque<OutputEntry> entries_;
};

} // namespace zalor
