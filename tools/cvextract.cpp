// cvextract: extracts logger run files from the command line with the host program's own
// extraction. See --help.
#include <iostream>
#include <string>
#include <vector>

#include "extract/extract_command.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return cv::runExtractCommand(args, std::cout, std::cerr);
}
