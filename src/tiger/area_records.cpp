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

namespace {

// Appends columns `column`.. of the record, blank-padded to `width`.
void AppendPadded(std::string& out, std::string_view rec, std::size_t column, std::size_t width)
{
    const std::string_view text = Columns(rec, column, column + width - 1);
    out.append(text);
    out.append(width - text.size(), ' ');
}

} // namespace

AreaTable ReadAreaTable(TZipFile& file, const RecordLayouts& layouts, const AreaRecordType& type,
                        const std::vector<AreaField>& fields, ProgressObserver& observer)
{
    for (const AreaField& f : fields)
        if (f.Width() > kAreaKeyWidthMax) throw std::invalid_argument("area key field too wide");
    AreaTable t;
    t.fields = fields;
    t.keys.resize(fields.size());
    const std::size_t estimate = static_cast<std::size_t>(std::max(file.RecordEstimate(), 0));
    t.polygons.reserve(estimate);
    for (std::size_t f = 0; f < fields.size(); ++f) t.keys[f].reserve(estimate * fields[f].Width());
    const FieldColumns polygon = layouts.Field(type.type, "POLYID");
    while (!observer.StopRequested() && !file.AtEnd()) {
        std::string_view rec = file.ReadRecord();
        if (rec.empty()) break; // the end, or records out of line
        t.polygons.push_back(FieldToInt(Columns(rec, polygon.first, polygon.last)));
        for (std::size_t f = 0; f < fields.size(); ++f) {
            const AreaField& field = fields[f];
            if (field.prefixWidth > 0) AppendPadded(t.keys[f], rec, field.prefixColumn, field.prefixWidth);
            AppendPadded(t.keys[f], rec, field.column, field.width);
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
