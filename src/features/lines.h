// Line and node feature output.
#pragma once

#include <string>

namespace zalor {

class Session;
struct County;

// Writes the chains that `mask` selects (1 A ... 128 X, 255 all chains)
// as one file set named output directory + base name + suffix.
void WriteLineFeatures(Session& session, County& county, const std::string& inputPath, int mask,
                       const std::string& suffix);

} // namespace zalor
