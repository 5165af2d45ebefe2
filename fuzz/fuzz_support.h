#pragma once
// What the fuzz targets share: a scratch folder and a clock that stands still.
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

#include "still_clock.h"

// A folder for the files a fuzz target must write; it goes when the process ends, so runs leave
// nothing behind.
struct FuzzScratchDir {
    explicit FuzzScratchDir(const std::string& tag)
        : path(std::filesystem::temp_directory_path() / (tag + "-" + std::to_string(getpid()))) {
        std::filesystem::create_directories(path);
    }
    ~FuzzScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path path;
};
