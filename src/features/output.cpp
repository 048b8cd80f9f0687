#include "features/output.h"

#include <algorithm>
#include <sys/stat.h>

namespace zalor {

std::string LayerTarget::MainPath() const
{
    if (container) return container->TablePath(name);
    return basePath + std::string(format->MainExtension());
}

bool LayerTarget::Exists() const
{
    if (container) return container->HasTable(name);
    struct stat st;
    return ::stat(MainPath().c_str(), &st) == 0;
}

std::string LayerTarget::ExistingSetFault() const
{
    if (container) return {};
    if (format->setFault) return format->setFault(basePath);
    struct stat st;
    for (std::string_view ext : format->extensions)
        if (::stat((basePath + std::string(ext)).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return "its " + std::string(ext) + " is missing or not a file";
    return {};
}

LayerDefinition LayerTarget::Definition(LayerGeometry geometry, std::vector<Column> columns) const
{
    LayerDefinition def;
    def.geometry = geometry;
    def.basePath = basePath;
    def.name = name;
    def.theme = theme;
    def.columns = std::move(columns);
    def.projection = projection;
    def.container = container;
    return def;
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
