// Alternate feature names: the RT5 name list and the RT4 chain references.
#pragma once

#include <string>

namespace zalor {

class Session;
struct County;

void ReadAltNames(Session& session, County& county, const std::string& countyPath);
void ReadAltFeatures(Session& session, County& county, const std::string& countyPath);

} // namespace zalor
