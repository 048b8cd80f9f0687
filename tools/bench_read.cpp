// zalor-bench-read: reads one county with every record reader, in the
// order of a conversion, and prints how long each reader took.
//
//   zalor-bench-read [--repeat N] [--digits D] [--tolerance T] INPUT
//
// INPUT is a county archive (TGRssccc.ZIP) or a loose RT1 file.

#include "tiger/chains.h"
#include "tiger/county.h"
#include "tiger/county_release.h"
#include "tiger/layouts.h"
#include "tiger/landmarks.h"
#include "tiger/names.h"
#include "tiger/polygons.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

class Quiet final : public zalor::ProgressObserver {};

bool IsArchive(const std::string& path)
{
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return ext == ".ZIP";
}

// The layouts of the county's release, which is printed; null (and the
// error printed) when the county is of no known release.
const zalor::RecordLayouts* Layouts(const zalor::CountySource& source)
{
    const zalor::CountyRelease release = zalor::DetectRelease(source);
    if (!release.error.empty()) {
        std::fprintf(stderr, "error: %s\n", release.error.c_str());
        return nullptr;
    }
    std::printf("%s\n", release.release.Text().c_str());
    return &zalor::LayoutsOf(release.release.group);
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Times the record readers on one county"};
    std::string input;
    int repeat = 1, digits = 6, tolerance = 0;
    app.add_option("input", input, "county archive or loose RT1 file")->required();
    app.add_option("--repeat", repeat, "read the county this many times")->check(CLI::Range(1, 1000));
    app.add_option("--digits", digits, "precision digits (1..6)")->check(CLI::Range(1, 6));
    app.add_option("--tolerance", tolerance, "straight line tolerance (0..1000)")->check(CLI::Range(0, 1000));
    CLI11_PARSE(app, argc, argv);

    zalor::CountySource source{input, IsArchive(input) ? input : std::string()};
    Quiet quiet;
    zalor::McdCodeSet mcd;
    bool failed = false;
    const zalor::RecordLayouts* found = Layouts(source);
    if (!found) return 1;
    const zalor::RecordLayouts& layouts = *found;
    // Opens one record file; a damaged file is reported after its reader ran.
    auto read = [&](const char* ext, bool probe, const std::function<void(zalor::TZipFile&)>& reader) {
        zalor::TZipFile file =
            probe ? zalor::OpenRecordFile(source, ext, zalor::kRtcProbe) : zalor::OpenRecordFile(source, ext, layouts);
        if (file.OpenFailed()) return;
        reader(file);
        if (!file.Error().empty()) {
            std::fprintf(stderr, "error: %s: %s\n", file.Name().c_str(), file.Error().c_str());
            failed = true;
        }
    };

    using Clock = std::chrono::steady_clock;
    struct Step {
        const char* name;
        std::function<void(zalor::County&)> run;
        double ms = 0;
    };
    std::vector<Step> steps = {
        {"RTC entity names",
         [&](zalor::County& c) {
             read(".RTC", true, [&](zalor::TZipFile& f) { zalor::ReadEntityNames(f, layouts, c, input, quiet); });
         }},
        {"RT1 chains",
         [&](zalor::County& c) {
             read(".RT1", false, [&](zalor::TZipFile& f) { zalor::ReadChains(f, layouts, c, digits, mcd, quiet); });
             zalor::SortChainsById(c.chains);
         }},
        {"RT2 shapes",
         [&](zalor::County& c) {
             read(".RT2", false,
                  [&](zalor::TZipFile& f) { zalor::ReadShapes(f, layouts, c.chains, digits, tolerance, quiet); });
         }},
        {"RTI polygon links",
         [&](zalor::County& c) {
             read(".RTI", false, [&](zalor::TZipFile& f) { zalor::ReadPolygonLinks(f, layouts, c.chains, quiet); });
         }},
        {"extent", [&](zalor::County& c) { c.extent = zalor::ComputeCountyExtent(c.chains); }},
        {"RT5 names",
         [&](zalor::County& c) {
             read(".RT5", false, [&](zalor::TZipFile& f) { zalor::ReadAltNames(f, layouts, c, quiet); });
         }},
        {"RT4 name links",
         [&](zalor::County& c) {
             read(".RT4", false, [&](zalor::TZipFile& f) { zalor::ReadAltFeatures(f, layouts, c, quiet); });
         }},
        {"RT7 landmarks",
         [&](zalor::County& c) {
             read(".RT7", false, [&](zalor::TZipFile& f) { zalor::ReadLandmarks(f, layouts, c, digits, quiet); });
         }},
    };

    zalor::County county;
    std::size_t chains = 0, shapePoints = 0, names = 0, landmarks = 0, entities = 0;
    const auto start = Clock::now();
    for (int r = 0; r < repeat; ++r) {
        county.Release();
        for (Step& s : steps) {
            const auto t0 = Clock::now();
            s.run(county);
            s.ms += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        }
        chains = static_cast<std::size_t>(county.chains.count());
        shapePoints = county.chains.shapePoints.size();
        names = static_cast<std::size_t>(county.names.NameCount());
        landmarks = county.landmarks.size();
        entities = county.entityNames.size();
    }
    const double total = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

    for (const Step& s : steps) std::printf("%-18s %10.1f ms\n", s.name, s.ms / repeat);
    std::printf("%-18s %10.1f ms per read (%d read%s)\n", "total", total / repeat, repeat, repeat == 1 ? "" : "s");
    std::printf("chains %zu, shape points %zu, names %zu, landmarks %zu, entity names %zu\n", chains, shapePoints,
                names, landmarks, entities);
    return chains > 0 && !failed ? 0 : 1;
}
