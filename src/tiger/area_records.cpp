#include "tiger/area_records.h"

#include "tiger/fields.h"

#include <algorithm>
#include <stdexcept>

namespace zalor {

std::vector<AreaRecord> ReadAreaRecords(TZipFile& file, const AreaRecordType& type, std::size_t keyColumn,
                                        std::size_t keyWidth, ProgressObserver& observer)
{
    if (keyWidth > kAreaKeyWidthMax) throw std::invalid_argument("area key field too wide");
    std::vector<AreaRecord> records;
    records.reserve(static_cast<std::size_t>(std::max(file.RecordEstimate(), 0)));
    const std::size_t water = type.waterColumn;
    while (!observer.StopRequested() && !file.AtEnd()) {
        std::string_view rec = file.ReadRecord();
        if (rec.empty()) break; // the end, or records out of line
        AreaRecord& r = records.emplace_back();
        r.polygon = FieldToInt(Columns(rec, 16, 25));
        const std::string_view key = Columns(rec, keyColumn, keyColumn + keyWidth - 1);
        std::copy(key.begin(), key.end(), r.keyText);
        r.keyLength = static_cast<uint8_t>(key.size());
        r.water = water != 0 && Columns(rec, water, water + 1) == "99"; // the only two characters worth 99
    }
    return records;
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
