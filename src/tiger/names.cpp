#include "tiger/names.h"

#include "tiger/records.h"

namespace zalor {

namespace {

// Sets one alternate-name slot from a feature number: 0 leaves the slot as
// it is; a number that names no RT5 record read clears it.
void SetAltName(NameId& slot, int32_t number, const std::vector<NameId>& index)
{
    if (number == 0) return;
    slot = (number > 0 && static_cast<std::size_t>(number) < index.size()) ? index[static_cast<std::size_t>(number)]
                                                                            : 0;
}

} // namespace

void ReadAltNames(TZipFile& file, County& county, ProgressObserver& observer)
{
    const int32_t estimate = file.RecordEstimate();
    for (int32_t n = 1; !observer.StopRequested(); ++n) {
        if (file.AtEnd()) break;
        std::string_view r = file.ReadRecord();
        if (r.empty()) break; // the end, or records out of line
        FeatureName name(Columns(r, 15, 16), Columns(r, 17, 46), Columns(r, 47, 50), Columns(r, 51, 52));
        county.altNames.push_back(county.names.Intern(name.Text()));
        if ((n & 0xFF) == 1) observer.Progress(n, estimate);
    }
}

void ReadAltFeatures(TZipFile& file, County& county, ProgressObserver& observer)
{
    const int32_t estimate = file.RecordEstimate();
    ChainTable& chains = county.chains;
    ChainFinder finder(chains);
    for (int32_t n = 1; !observer.StopRequested(); ++n) {
        if (file.AtEnd()) break;
        std::string_view r = file.ReadRecord();
        if (r.empty()) break; // the end, or records out of line
        const int32_t i = finder.Find(FieldToInt(Columns(r, 6, 15)));
        if (i > 0) {
            ChainRecord& c = chains[i];
            SetAltName(c.NAME1, FieldToInt(Columns(r, 19, 26)), county.altNames);
            SetAltName(c.NAME2, FieldToInt(Columns(r, 27, 34)), county.altNames);
            SetAltName(c.NAME3, FieldToInt(Columns(r, 35, 42)), county.altNames);
        }
        if ((n & 0xFF) == 1) observer.Progress(n, estimate);
    }
}

} // namespace zalor
