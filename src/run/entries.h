// The files of a run's lists: the counties put in (the input list) and the
// files a run wrote or kept (the output list). The front ends show them
// their own way.
#pragma once

#include <cstdint>
#include <string>

namespace zalor {

// A file and its size in bytes (-1: it is not there).
struct FileEntry {
    std::string path;
    int64_t size = -1;
    friend bool operator==(const FileEntry&, const FileEntry&) = default;
};

// One county input of the input list.
using InputEntry = FileEntry;

// The entry of `path` as the file is now.
InputEntry InputEntryFor(const std::string& path);
// The text the log names an input by and the input list is sorted by: the
// path, "|" and the size with thousands separators ("-1" when the file is
// not there).
std::string EntryText(const FileEntry& entry);
// The input list's order: by that text.
bool InputOrder(const InputEntry& a, const InputEntry& b);

// One file of the output list.
struct OutputEntry : FileEntry {
    enum class State : uint8_t {
        Written, // this run wrote it
        Kept,    // it was there, and existing files are skipped
    };
    State state = State::Written;
};

} // namespace zalor
