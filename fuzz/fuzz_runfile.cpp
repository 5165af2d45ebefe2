// libFuzzer target: any bytes as a run file through the reader and the whole extraction. The run
// is read from memory and the outputs stay in memory, so an input costs no file system call.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/bytes.h"
#include "extract/output_store.h"
#include "extract/run_extraction.h"
#include "extract/warning_sink.h"

namespace {
struct Quiet : cv::WarningSink {
    void warning(const std::string&, const std::string&) override {}
};

// Replay frames an archive by the data length of each record (32 bytes of header and trailer
// around it): whatever the run held, the records must follow one another exactly.
bool archiveIsFramed(const std::vector<uint8_t>& archive) {
    size_t at = 0;
    while (at + 32 <= archive.size()) at += 32 + size_t(cv::getU16le(archive.data() + at + 4));
    return at == archive.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Emptied for every input; it keeps its room, so inputs after the first allocate little.
    static cv::MemoryOutputStore outputs;
    outputs.clear();
    Quiet warnings;
    cv::ExtractionState state;
    cv::ExtractOptions options;
    options.debugListing = size % 2 == 0;
    cv::extractRunBytes("run.007", data, size,
                        size % 3 == 0 ? cv::ExtractChoice::ArchiveOnly : cv::ExtractChoice::ArchivePlusRaw, options,
                        state, warnings, outputs);
    if (!archiveIsFramed(outputs.bytes("archive.007"))) __builtin_trap();
    return 0;
}
