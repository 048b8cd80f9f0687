// County files, folders of counties and name patterns, as the command
// line's INPUT arguments and the files dropped on the window name them,
// turned into the inputs of a run.
#pragma once

#include <string>
#include <vector>

namespace zalor {

struct InputExpansion {
    std::vector<std::string> paths; // the county inputs
    std::vector<std::string> notes; // counties found more than once, names passed over
    std::vector<std::string> empty; // folders and patterns that hold no county
    std::string usageError;         // an argument that cannot be an input at all
};

// A folder stands for every TGR*.ZIP in it and, for a county without an
// archive, its TGR*.RT1 (names matched in any case); a pattern (* ? [...]
// in the file name) for the archives and chain files it matches, chosen
// the same way. A county is taken once, from its archive when it has one.
// Only regular files are taken, and no name that holds a control
// character. Any other argument is a county file as it stands.
InputExpansion ExpandInputs(const std::vector<std::string>& args);

} // namespace zalor
