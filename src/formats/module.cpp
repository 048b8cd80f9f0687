#include "formats/module.h"

#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>
#include <vector>

#ifndef ZALOR_MODULE_DIR
#define ZALOR_MODULE_DIR ""
#endif

namespace zalor {

namespace {

std::vector<std::filesystem::path> ModuleCandidates(const char* file)
{
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        out.push_back(exe.parent_path() / file);
        out.push_back(exe.parent_path().parent_path() / "lib" / "zalor" / file);
    }
    if (*ZALOR_MODULE_DIR) out.push_back(std::filesystem::path(ZALOR_MODULE_DIR) / file);
    return out;
}

struct Loaded {
    void* function = nullptr;
    std::string error;
};

Loaded Load(const char* file, const char* symbol, const std::string& what)
{
    Loaded loaded;
    std::string tried;
    for (const auto& candidate : ModuleCandidates(file)) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(candidate, ec)) {
            tried += (tried.empty() ? "" : ", ") + candidate.string();
            continue;
        }
        void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = dlerror();
            loaded.error = what + " " + candidate.string() + " cannot be loaded: " + (why ? why : "unknown error");
            return loaded;
        }
        loaded.function = dlsym(handle, symbol);
        if (!loaded.function) loaded.error = what + " " + candidate.string() + " is not one";
        return loaded;
    }
    loaded.error = what + " (" + file + ") is not installed; looked for " + tried;
    return loaded;
}

} // namespace

void* ModuleFunction(const char* file, const char* symbol, const std::string& what, std::string& error)
{
    static std::mutex mutex;
    static std::map<std::string, Loaded> loaded;
    std::lock_guard lock(mutex);
    const std::string key = std::string(file) + "\n" + symbol;
    auto it = loaded.find(key);
    if (it == loaded.end()) it = loaded.emplace(key, Load(file, symbol, what)).first;
    if (!it->second.function) error = it->second.error;
    return it->second.function;
}

} // namespace zalor
