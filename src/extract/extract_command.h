#pragma once
// The command-line extractor: cvextract [--raw] [--debug] [-o DIR] RUNFILE...
// Kept in the core so that its argument handling and exit status can be tested in-process.
#include <ostream>
#include <string>
#include <vector>

#include "base/command_line.h"

namespace cv {

// Exit status: 0 every run file extracted whole, 1 some run file could not be used or an
// output could not be written, 2 bad usage, 3 every run file was extracted but at least one
// was cut short or damaged (what it held is written, but it is not the whole run). 1 wins
// over 3.
constexpr int kExtractExitOk = 0;
constexpr int kExtractExitUnusable = 1;
constexpr int kExtractExitUsage = cli::kExitUsage;
constexpr int kExtractExitIncomplete = 3;

// Runs the extractor on the arguments that follow the program name. Progress (and --help)
// goes to out, warnings and errors to err.
int runExtractCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace cv
