#include "formats/format.h"

#include "formats/textfile.h"

namespace zalor {

const FormatDriver* FindFormat(std::string_view name)
{
    for (const FormatDriver* format : FormatDrivers())
        if (format->name == name) return format;
    return nullptr;
}

std::unique_ptr<LayerWriter> OpenLayerWriter(const FormatDriver& format, const LayerDefinition& def,
                                             WriteFailures& failures)
{
    if (def.geometry == LayerGeometry::Point && !format.points) return nullptr;
    if (format.Tables()) return def.container ? def.container->OpenTable(def, failures) : nullptr;
    try {
        return format.open(def, failures);
    } catch (const FileError& e) {
        // Named by the file's own name, not the temporary one it was to be written under.
        std::string detail = e.what();
        const std::string path = def.basePath + std::string(e.Path()).substr(e.Path().find_last_of('.'));
        const std::size_t at = detail.find(e.Path());
        if (at != std::string::npos) detail.replace(at, e.Path().size(), path);
        failures.push_back({WriteFailure::Kind::Create, path, detail, 0});
    }
    return nullptr;
}

} // namespace zalor
