#include "support/recorder.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace zalor::test {

std::string TempDir(const std::string& name)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("zalor-test-" + std::to_string(::getpid())) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string() + "/";
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace zalor::test
