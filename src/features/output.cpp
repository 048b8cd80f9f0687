#include "features/output.h"

#include "formats/gpkg.h"

#include <algorithm>
#include <sys/stat.h>

namespace zalor {

std::string LayerTarget::MainPath() const
{
    if (table.file) return table.file->TablePath(table.name);
    return basePath + TraitsOf(format).mainExtension;
}

bool LayerTarget::Exists() const
{
    if (table.file) return table.file->HasTable(table.name);
    struct stat st;
    return ::stat(MainPath().c_str(), &st) == 0;
}

void FinishLayer(LayerWriter& writer, LayerOutcome& outcome, const ProgressObserver& observer)
{
    if (observer.StopRequested()) {
        writer.Discard();
        outcome.stopped = true;
        outcome.incomplete = writer.MainPath();
        return;
    }
    const WriteFailures failures = writer.Close();
    outcome.failures.insert(outcome.failures.end(), failures.begin(), failures.end());
    const bool lost = std::any_of(failures.begin(), failures.end(),
                                  [](const WriteFailure& f) { return f.kind == WriteFailure::Kind::Write; });
    if (lost) {
        outcome.incomplete = writer.MainPath();
        return;
    }
    outcome.created = true;
    if (writer.OwnFile()) outcome.outputs.push_back(writer.MainPath());
}

} // namespace zalor
