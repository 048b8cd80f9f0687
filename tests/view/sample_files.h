// The sample county converted by zalor-cli, once per test process, for the
// viewer's tests, and small helpers for files made by the tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>

namespace zalor::test::view {

// A fresh empty directory for this process, ending in "/".
inline std::string ScratchDir(const std::string& name)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("zalor-view-test-" + std::to_string(::getpid())) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string() + "/";
}

inline std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void Spill(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The county output directory of the sample county converted to `format`
// ("mif" or "shp") with every layer, ending in "/"; "" when it failed.
inline std::string SampleOutput(const std::string& format)
{
    static std::map<std::string, std::string> done;
    auto it = done.find(format);
    if (it != done.end()) return it->second;
    const std::string root = ScratchDir("sample-" + format);
    const std::string cmd = std::string("'") + ZALOR_BINARY_DIR + "/zalor-cli' --quiet --config '" + ZALOR_SOURCE_DIR +
                            "/samples/SAMPLE.CFG' --format " + format + " --output '" + root + "' '" +
                            ZALOR_SOURCE_DIR + "/samples/TGR08901.ZIP'";
    const int status = std::system(cmd.c_str());
    return done[format] = status == 0 ? root + "08/08901/" : std::string();
}

} // namespace zalor::test::view
