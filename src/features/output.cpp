#include "features/output.h"

#include <algorithm>

namespace zalor {

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
    outcome.outputs.push_back(writer.MainPath());
}

} // namespace zalor
