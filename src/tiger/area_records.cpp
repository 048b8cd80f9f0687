#include "tiger/area_records.h"

#include "tiger/fields.h"

#include <algorithm>
#include <stdexcept>

namespace zalor {

const AreaRecordType* AreaRecordTypeOf(char type)
{
    for (const AreaRecordType* t : {&kRtsRecords, &kRtaRecords, &kRtpRecords, &kRt8Records, &kRt9Records})
        if (t->type == type) return t;
    return nullptr;
}

AreaTable ReadAreaTable(TZipFile& file, const RecordLayouts& layouts, const AreaRecordType& type,
                        const std::vector<AreaField>& fields, ProgressObserver& observer)
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
    const FieldColumns polygon = layouts.Field(type.type, "POLYID");
    const FieldColumns water = layouts.Field(type.type, "BLOCK99");
    while (!observer.StopRequested() && !file.AtEnd()) {
        std::string_view rec = file.ReadRecord();
        if (rec.empty()) break; // the end, or records out of line
        t.polygons.push_back(FieldToInt(Columns(rec, polygon.first, polygon.last)));
        t.water.push_back(!water.Empty() && Columns(rec, water.first, water.last) == "99");
        for (std::size_t f = 0; f < fields.size(); ++f) {
            const std::string_view key = Columns(rec, fields[f].column, fields[f].column + fields[f].width - 1);
            t.keys[f].append(key);
            t.keys[f].append(fields[f].width - key.size(), ' ');
        }
    }
    return t;
}

std::vector<KeyLocationRecord> ReadKeyLocations(TZipFile& file, const RecordLayouts& layouts,
                                                ProgressObserver& observer)
{
    const FieldColumns polygon = layouts.Field('9', "POLYID"), feat = layouts.Field('9', "FEAT");
    const FieldColumns cfcc = layouts.Field('9', "CFCC"), name = layouts.Field('9', "KGLNAME");
    std::vector<KeyLocationRecord> records;
    while (!observer.StopRequested() && !file.AtEnd()) {
        std::string_view rec = file.ReadRecord();
        if (rec.empty()) break; // the end, or records out of line
        KeyLocationRecord& r = records.emplace_back();
        r.polygon = FieldToInt(Columns(rec, polygon.first, polygon.last));
        r.key.assign(Columns(rec, feat.first, feat.last));
        r.cfcc.assign(Columns(rec, cfcc.first, cfcc.last));
        r.name.assign(TrimField(Columns(rec, name.first, name.last)));
    }
    return records;
}

} // namespace zalor
