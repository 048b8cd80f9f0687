// The GeoPackage format: its record, and the loading of its writer
// (zalor-gpkg.so, which brings GDAL) the first time a GeoPackage is made.
#include "formats/gpkg/gpkg.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

#ifndef ZALOR_MODULE_DIR
#define ZALOR_MODULE_DIR ""
#endif

namespace zalor {

namespace {

using MakeFunction = LayerContainer* (*)(const char*);

constexpr const char* kModuleName = "zalor-gpkg.so";

// Where the module is looked for: beside the program (the build tree),
// in ../lib/zalor from it (an installed copy wherever it was moved), and
// where it was installed.
std::vector<std::filesystem::path> ModuleCandidates()
{
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        out.push_back(exe.parent_path() / kModuleName);
        out.push_back(exe.parent_path().parent_path() / "lib" / "zalor" / kModuleName);
    }
    if (*ZALOR_MODULE_DIR) out.push_back(std::filesystem::path(ZALOR_MODULE_DIR) / kModuleName);
    return out;
}

struct Module {
    MakeFunction make = nullptr;
    std::string error;
};

const Module& LoadModule()
{
    static Module module;
    static std::once_flag once;
    std::call_once(once, [] {
        std::string tried;
        for (const auto& candidate : ModuleCandidates()) {
            std::error_code ec;
            if (!std::filesystem::is_regular_file(candidate, ec)) {
                tried += (tried.empty() ? "" : ", ") + candidate.string();
                continue;
            }
            // Kept loaded for the rest of the run: its threads and GDAL's
            // drivers must not be unmapped under them.
            void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                const char* why = dlerror();
                module.error = "the GeoPackage writer " + candidate.string() + " cannot be loaded: " +
                               (why ? why : "unknown error");
                return;
            }
            module.make = reinterpret_cast<MakeFunction>(dlsym(handle, "ZalorMakeGeoPackage"));
            if (!module.make) module.error = "the GeoPackage writer " + candidate.string() + " is not one";
            return;
        }
        module.error = "the GeoPackage writer (" + std::string(kModuleName) + ") is not installed; looked for " + tried;
    });
    return module;
}

} // namespace

std::shared_ptr<LayerContainer> MakeGeoPackage(const std::string& path, std::string& error)
{
    const Module& module = LoadModule();
    if (!module.make) {
        error = module.error;
        return nullptr;
    }
    // Anything but a regular file (a FIFO would block its open for ever, a
    // device or directory is no GeoPackage) is left alone.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        error = "it exists and is not a regular file (" + std::string(S_ISFIFO(st.st_mode) ? "a FIFO"
                                                                    : S_ISDIR(st.st_mode) ? "a directory"
                                                                                          : "a device or socket") +
                ")";
        return nullptr;
    }
    LayerContainer* file = module.make(path.c_str());
    if (!file) {
        error = "the GeoPackage writer failed to start";
        return nullptr;
    }
    return std::shared_ptr<LayerContainer>(file);
}

namespace {
constexpr std::string_view kExtensions[] = {".gpkg"};
} // namespace

const FormatDriver kGpkgFormat = {
    .name = "gpkg",
    .caption = " GeoPackage (GPKG)",
    .extensions = kExtensions,
    // A table per area layer keyed by the layer's name, its centroid in
    // degrees after the key.
    .areas = {.firstNumber = 1, .centroidAfterKey = true, .zctaAsText = true},
    .integerCodes = true,
    .addressTexts = true,
    .openContainer = MakeGeoPackage,
};

} // namespace zalor
