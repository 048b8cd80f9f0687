// The output list of a run: every file it wrote or kept, newest first.
#pragma once

#include "run/entries.h"

#include <deque>
#include <string>
#include <unordered_set>

namespace zalor {

class OutputList {
public:
    // A file written again (the same county converted twice) is listed
    // once, as the newest.
    void Add(OutputEntry entry)
    {
        if (!listed_.insert(entry.path).second)
            for (auto it = entries_.begin(); it != entries_.end(); ++it)
                if (it->path == entry.path) {
                    entries_.erase(it);
                    break;
                }
        entries_.push_front(std::move(entry));
    }
    void Remove(const std::string& path)
    {
        if (!listed_.erase(path)) return;
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (it->path == path) {
                entries_.erase(it);
                break;
            }
    }
    void Clear()
    {
        entries_.clear();
        listed_.clear();
    }
    const std::deque<OutputEntry>& Entries() const { return entries_; } // newest first

private:
    std::deque<OutputEntry> entries_;
    std::unordered_set<std::string> listed_;
};

} // namespace zalor
