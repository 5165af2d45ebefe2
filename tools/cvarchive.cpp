// cvarchive: lists, exports as tables and verifies archive files. See --help.
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

#include "archive/cvarchive_command.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    return cv::runArchiveCommand(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
