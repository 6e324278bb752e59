#include "base/headless/files.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "base/streams.h"

namespace {
std::string& RootSlot()
{
    static std::string root = [] {
        const char* env = std::getenv("VESPER_DRIVES");
        return std::string(env && *env ? env : "drives");
    }();
    return root;
}
} // namespace

void SetHeadlessDriveRoot(const std::string& Root) { RootSlot() = Root; }
std::string HeadlessDriveRoot() { return RootSlot(); }

std::string PlatformPath(const std::string& Path)
{
    if (Path.size() >= 2 && std::isalpha(static_cast<unsigned char>(Path[0])) && Path[1] == ':') {
        std::string rest = Path.substr(2);
        for (char& c : rest)
            if (c == '\\')
                c = '/';
        while (!rest.empty() && rest.front() == '/')
            rest.erase(rest.begin());
        std::filesystem::path dir = std::filesystem::path(RootSlot()) /
                                    std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(Path[0]))));
        std::filesystem::path full = dir / rest;
        std::error_code ec;
        std::filesystem::create_directories(full.parent_path(), ec);
        return full.string();
    }
    return Path;
}
