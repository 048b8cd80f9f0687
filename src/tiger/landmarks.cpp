#include "tiger/landmarks.h"

#include "tiger/records.h"

#include <cstring>

namespace zalor {

namespace {

constexpr std::size_t kNameLimit = 80;

struct LandmarkFields {
    FieldColumns land, cfcc, name, lon, lat;
    explicit LandmarkFields(const RecordLayouts& l)
        : land(l.Field('7', "LAND")), cfcc(l.Field('7', "CFCC")), name(l.Field('7', "LANAME")),
          lon(l.Field('7', "LALONG")), lat(l.Field('7', "LALAT"))
    {
    }
};

void ParseLandmark(std::string_view r, const LandmarkFields& f, LandmarkRecord& m, int digits)
{
    m.LAND = IntAt(r, f.land);
    std::string_view cfcc = At(r, f.cfcc);
    std::memcpy(m.CFCC, cfcc.data(), cfcc.size());
    std::string_view name = TrimField(At(r, f.name));
    m.NAME.reserve(cfcc.size() + name.size());
    m.NAME.assign(cfcc);
    m.NAME.append(name);
    if (m.NAME.size() > kNameLimit) m.NAME.resize(kNameLimit);
    m.location.x = ReduceCoordinateField(At(r, f.lon), digits);
    m.location.y = ReduceCoordinateField(At(r, f.lat), digits);
}

} // namespace

void ReadLandmarks(TZipFile& file, const RecordLayouts& layouts, County& county, int digits,
                   ProgressObserver& observer)
{
    const LandmarkFields fields(layouts);
    county.landmarks.clear();
    while (!observer.StopRequested() && !file.AtEnd()) {
        std::string_view r = file.ReadRecord();
        if (r.empty()) break; // the end, or records out of line
        county.landmarks.emplace_back();
        ParseLandmark(r, fields, county.landmarks.back(), digits);
    }
}

} // namespace zalor
