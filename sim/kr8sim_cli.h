#pragma once
// The kr8sim program's command line.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/command_line.h"
#include "simulator.h"

namespace cv {

struct Kr8SimCommandLine {
    Kr8SimOptions options;
    std::string devicePath;  // empty: a fresh pseudo-terminal
    std::string linkPath;    // a symbolic link to the device the host should open
    std::vector<std::pair<int16_t, std::string>> runFiles;
    int generateRuns = 0;
    uint32_t generateSeed = 1;
    std::string sentLogPath;  // one line per mux packet sent
    bool verbose = false;
    bool paceLine = false;  // send no faster than the speed the host opened the line with
    cli::Verdict verdict;  // run, or print the help, the version or a usage error
};

// args: the arguments after the program name.
Kr8SimCommandLine parseKr8SimCommandLine(const std::vector<std::string>& args);

} // namespace cv
