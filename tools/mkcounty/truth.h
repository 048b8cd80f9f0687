// The ground-truth description of a synthetic county (see truth.cpp for its
// structure).
#pragma once

#include "model.h"

#include <cstdint>
#include <string>

namespace mkcounty {

// Counties of more chains than this list no chains in the truth file.
constexpr size_t kTruthChainLimit = 50000;

std::string TruthJson(const County& c, int64_t chainsRequested);

} // namespace mkcounty
