// Chains (RT1) and their shape points (RT2), and the chain orderings.
#pragma once

#include <string>

namespace zalor {

class Session;
struct County;

void ReadChains(Session& session, County& county, const std::string& countyPath);
void ReadShapes(Session& session, County& county, const std::string& countyPath);
void SortChainsById(Session& session, County& county);
void SortChainsSpatially(Session& session, County& county);
void SortChainsByMcd(Session& session, County& county);
void SortChainsByCfcc(Session& session, County& county);
void ReleaseChains(County& county);

} // namespace zalor
