// Line and node feature output.
#pragma once

#include <string>

namespace zalor {

class Session;
struct County;
struct Projection;
class TNodeMgr;

// Writes the chains that `mask` selects (1 A ... 128 X, 255 all chains)
// as one file set named output directory + base name + suffix.
void WriteLineFeatures(Session& session, County& county, const std::string& inputPath, int mask,
                       const std::string& suffix);

// The node file set of a line file set (base + "N"), nodes in creation order.
void WriteNodeFile(Session& session, const std::string& base, const TNodeMgr& nodes);

// The coordinate-system line of a MIF file whose coordinates come from
// FormatCoordinatePair: geographic, or the Lambert projection when active.
std::string MifCoordSysLine(const Projection& projection);

bool FileExists(const std::string& path);
// The extension of a file set's main file: ".MIF", ".SHP" or ".KXF".
std::string OutputExtension(int format);

} // namespace zalor
