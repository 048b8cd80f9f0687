#include "tiger/area_records.h"

#include "tiger/fields.h"

#include <algorithm>
#include <stdexcept>

namespace zalor {

AreaTable ReadAreaTable(TZipFile& file, const AreaRecordType& type, const std::vector<AreaField>& fields,
                        ProgressObserver& observer)
{
    for (const AreaField& f : fields)
        if (f.width > kAreaKeyWidthMax) throw std::invalid_argument("area key field too wide");
    AreaTable t;
    t.fields = fields;
    t.keys.resize(fields.size());
    const std::size_t estimate = static_cast<std::size_t>(std::max(file.RecordEstimate(), 0));
    t.polygons.reserve(estimate);
    t.water.reserve(estimate);
    for (std::size_t f = 0; f < fields.size(); ++f) t.keys[f].reserve(estimate * fields[f].width);
    const std::size_t water = type.waterColumn;
    while (!observer.StopRequested() && !file.AtEnd()) {
        std::string_view rec = file.ReadRecord();
        if (rec.empty()) break; // the end, or records out of line
        t.polygons.push_back(FieldToInt(Columns(rec, 16, 25)));
        t.water.push_back(water != 0 && Columns(rec, water, water + 1) == "99"); // the only two characters worth 99
        for (std::size_t f = 0; f < fields.size(); ++f) {
            const std::string_view key = Columns(rec, fields[f].column, fields[f].column + fields[f].width - 1);
            t.keys[f].append(key);
            t.keys[f].append(fields[f].width - key.size(), ' ');
        }
    }
    return t;
}

std::vector<KeyLocationRecord> ReadKeyLocations(TZipFile& file, ProgressObserver& observer)
{
    std::vector<KeyLocationRecord> records;
    while (!observer.StopRequested() && !file.AtEnd()) {
        std::string_view rec = file.ReadRecord();
        if (rec.empty()) break; // the end, or records out of line
        KeyLocationRecord& r = records.emplace_back();
        r.polygon = FieldToInt(Columns(rec, 16, 25));
        r.key.assign(Columns(rec, 80, 87));
        r.cfcc.assign(Columns(rec, 27, 29));
        r.name.assign(TrimField(Columns(rec, 30, 59)));
    }
    return records;
}

} // namespace zalor
