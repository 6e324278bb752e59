// Test support: the headless drive root in a fresh temporary folder.
#pragma once
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/headless/files.h"

// Holds the drive root in a fresh temporary folder for as long as it lives; the folder goes
// with it and the previous root comes back.
class TTempDriveRoot {
public:
    explicit TTempDriveRoot(const std::string& Tag = "test")
    {
        std::string tmpl = "/tmp/vesper-" + Tag + "-XXXXXX";
        if (const char* made = mkdtemp(tmpl.data()))
            FPath = made;
        FOld = HeadlessDriveRoot();
        SetHeadlessDriveRoot(FPath);
    }
    ~TTempDriveRoot()
    {
        SetHeadlessDriveRoot(FOld);
        std::error_code ec;
        if (!FPath.empty())
            std::filesystem::remove_all(FPath, ec);
    }
    TTempDriveRoot(const TTempDriveRoot&) = delete;
    TTempDriveRoot& operator=(const TTempDriveRoot&) = delete;

    const std::string& Path() const { return FPath; }
    std::filesystem::path DriveC() const { return std::filesystem::path(FPath) / "c"; }

    // The bytes of a file below the root (empty when it cannot be read).
    std::vector<std::uint8_t> Read(const std::string& Relative) const
    {
        std::ifstream in(std::filesystem::path(FPath) / Relative, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    }

    // The names of the files and folders on drive C, sorted; none before the drive has a folder.
    std::vector<std::string> FilesOnC() const
    {
        std::vector<std::string> names;
        std::error_code ec;
        for (auto it = std::filesystem::directory_iterator(DriveC(), ec); !ec && it != std::filesystem::directory_iterator();
             it.increment(ec))
            names.push_back(it->path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string FPath, FOld;
};
