#include "tiger/names.h"

#include "tiger/records.h"

#include <algorithm>
#include <initializer_list>

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

// The length of a name of these parts, each filling its field, blanks between.
std::size_t JoinedWidth(char type, std::initializer_list<std::string_view> parts)
{
    std::size_t width = 0;
    for (std::string_view part : parts) width += WidestField(type, part) + (width > 0 ? 1 : 0);
    return width;
}

} // namespace

std::size_t LongestFeatureName()
{
    // The primary name has no direction suffix; the alternate names do.
    // (Every line layer asks: the layout tables are searched once.)
    static const std::size_t width = std::max(JoinedWidth('1', {"FEDIRP", "FENAME", "FETYPE"}),
                                              JoinedWidth('5', {"FEDIRP", "FENAME", "FETYPE", "FEDIRS"}));
    return width;
}

void ReadAltNames(TZipFile& file, const RecordLayouts& layouts, County& county, ProgressObserver& observer)
{
    const FieldColumns dirp = layouts.Field('5', "FEDIRP"), name = layouts.Field('5', "FENAME");
    const FieldColumns type = layouts.Field('5', "FETYPE"), dirs = layouts.Field('5', "FEDIRS");
    const int32_t estimate = file.RecordEstimate();
    for (int32_t n = 1; !observer.StopRequested(); ++n) {
        if (file.AtEnd()) break;
        std::string_view r = file.ReadRecord();
        if (r.empty()) break; // the end, or records out of line
        const FeatureName text(At(r, dirp), At(r, name), At(r, type), At(r, dirs));
        county.altNames.push_back(county.names.Intern(text.Text()));
        if ((n & 0xFF) == 1) observer.Progress(n, estimate);
    }
}

void ReadAltFeatures(TZipFile& file, const RecordLayouts& layouts, County& county, ProgressObserver& observer)
{
    const FieldColumns tlid = layouts.Field('4', "TLID");
    const FieldColumns feat[3] = {layouts.Field('4', "FEAT1"), layouts.Field('4', "FEAT2"), layouts.Field('4', "FEAT3")};
    const int32_t estimate = file.RecordEstimate();
    ChainTable& chains = county.chains;
    ChainFinder finder(chains);
    for (int32_t n = 1; !observer.StopRequested(); ++n) {
        if (file.AtEnd()) break;
        std::string_view r = file.ReadRecord();
        if (r.empty()) break; // the end, or records out of line
        const int32_t i = finder.Find(IntAt(r, tlid));
        if (i > 0) {
            ChainRecord& c = chains[i];
            SetAltName(c.NAME1, IntAt(r, feat[0]), county.altNames);
            SetAltName(c.NAME2, IntAt(r, feat[1]), county.altNames);
            SetAltName(c.NAME3, IntAt(r, feat[2]), county.altNames);
        }
        if ((n & 0xFF) == 1) observer.Progress(n, estimate);
    }
}

} // namespace zalor
