#include "tiger/landmarks.h"

#include "tiger/records.h"

#include <cstring>

namespace zalor {

namespace {

constexpr std::size_t kNameLimit = 80;

void ParseLandmark(std::string_view r, LandmarkRecord& m, int digits)
{
    m.LAND = FieldToInt(Columns(r, 11, 20));
    std::string_view cfcc = Columns(r, 22, 24);
    std::memcpy(m.CFCC, cfcc.data(), cfcc.size());
    std::string_view name = TrimField(Columns(r, 25, 54));
    m.NAME.reserve(cfcc.size() + name.size());
    m.NAME.assign(cfcc);
    m.NAME.append(name);
    if (m.NAME.size() > kNameLimit) m.NAME.resize(kNameLimit);
    m.location.x = ReduceCoordinateField(Columns(r, 55, 64), digits);
    m.location.y = ReduceCoordinateField(Columns(r, 65, 73), digits);
}

} // namespace

void ReadLandmarks(TZipFile& file, County& county, int digits, ProgressObserver& observer)
{
    county.landmarks.clear();
    while (!observer.StopRequested() && !file.AtEnd()) {
        std::string_view r = file.ReadRecord();
        if (r.empty()) break; // the end, or records out of line
        county.landmarks.emplace_back();
        ParseLandmark(r, county.landmarks.back(), digits);
    }
}

} // namespace zalor
