// libFuzzer target: any bytes as a run file through the reader and the whole extraction.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "extract/run_extraction.h"
#include "extract/warning_sink.h"
#include "fuzz_support.h"

namespace {
struct Quiet : cv::WarningSink {
    void warning(const std::string&, const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzScratchDir scratch("cvhost-fuzz");
    const auto run = scratch.path / "run.007";
    {
        std::ofstream out(run, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    Quiet warnings;
    cv::ExtractionState state;
    cv::ExtractOptions options;
    options.debugListing = size % 2 == 0;
    cv::extractRunFile(run, size % 3 == 0 ? cv::ExtractChoice::ArchiveOnly : cv::ExtractChoice::ArchivePlusRaw, options,
                       state, warnings);
    return 0;
}
