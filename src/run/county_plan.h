// The plan of one county of a run: where its record files are, where its
// outputs go and how they are written. The driver makes it from the run's
// plan and the county's own tables (its name names its directory) and
// hands it to each phase.
#pragma once

#include "features/output.h"
#include "geometry/coords.h"
#include "geometry/datum_shift.h"
#include "tiger/layouts.h"
#include "tiger/record_file.h"
#include "tiger/release.h"

#include <memory>
#include <string>
#include <string_view>

namespace zalor {

struct CountyPlan {
    CountySource source;
    Release release;             // the release the county's records belong to
    const RecordLayouts* layouts = &LayoutsOf(LayoutGroup::Census2000); // their layouts
    std::string fileName;        // the input's file name, upper-cased
    std::string baseName;        // the output base name (TGRssccc)
    std::string outputDirectory; // ends in '/'; empty until it is prepared
    const FormatDriver* format = nullptr;
    Projection projection;       // of line, node and point files
    // The conversion of the county's points to NAD83, when the run converts
    // and the county is on another datum; null otherwise.
    std::shared_ptr<DatumShift> shift;
    // In a format of one file per county, that file: every layer is a table of it.
    std::shared_ptr<LayerContainer> container;

    // The layer `name` of the county, which holds `theme`: output directory
    // + base name + name (or the table `name` of the county's file).
    LayerTarget Target(std::string_view name, std::string_view theme) const
    {
        return LayerTarget{format,           outputDirectory + baseName + std::string(name), std::string(name),
                           std::string(theme), projection,                                     container.get()};
    }
    // The path of one of the county's record files as the log names it:
    // the input's directory and file name up to its first ".", then
    // "." + the record type ("RTS").
    std::string RecordFilePath(std::string_view type) const;
};

} // namespace zalor
