#pragma once
// The cvarchive command (list, export, verify), kept in the core so that its arguments and
// exit status are testable in-process; tools/cvarchive.cpp only hands it the command line.
#include <ostream>
#include <string>
#include <vector>

#include "archive/archive_tables.h"
#include "archive/archive_walker.h"
#include "base/command_line.h"

namespace cv {

constexpr int kArchiveExitOk = 0;
constexpr int kArchiveExitFault = 1;  // a file could not be read, or is damaged
constexpr int kArchiveExitUsage = cli::kExitUsage;
constexpr int kArchiveExitWarnings = 3;  // done, but some records' sections do not add up

// Runs cvarchive on the arguments after the program name. progress: stderr is a terminal.
int runArchiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress);

} // namespace cv
