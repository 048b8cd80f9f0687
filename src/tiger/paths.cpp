#include "tiger/paths.h"

namespace zalor {

std::string FileNamePart(std::string_view path)
{
    std::size_t slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string DirectoryPart(std::string_view path)
{
    std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string OutputBaseName(std::string_view inputPath)
{
    std::string name = FileNamePart(inputPath);
    std::size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return name;
}

} // namespace zalor
