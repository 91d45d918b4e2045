// SPDX-License-Identifier: MIT
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

// A fresh directory under the system's temporary folder, removed with all it holds.
class TempDir final {
public:
    TempDir() {
        namespace fs = std::filesystem;
        std::string pattern = (fs::temp_directory_path() / "pio-port-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool ok() const { return !path_.empty(); }
    std::string operator/(const char* name) const {
        return (std::filesystem::path(path_) / name).string();
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};
