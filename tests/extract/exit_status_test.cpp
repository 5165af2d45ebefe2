// The command-line extractor's exit status is what scripts act on: an output that could not be
// written must not come back as a run file extracted.
#include <gtest/gtest.h>

#include <sstream>

#include "extract/extract_command.h"
#include "extract/run_extraction.h"
#include "extract/run_record.h"
#include "extract_test_support.h"
#include "support/temp_dir.h"

namespace cv::test {
namespace {

// An output that cannot be created is warned about, and the status must say so too: a script
// would otherwise take a run whose archive is missing for a good one.
TEST(ExtractExitStatus, OutputThatCannotBeWrittenGivesNonZeroStatus) {
    TempDir dir;
    RunBytes r;
    r.timed(kArchiveMux1, 100, "mux").record(kBattery, "12 V");
    writeBytes(dir / "run.001", r.bytes);
    const auto out = dir / "out";
    std::filesystem::create_directories(out / "archive.001");  // takes the archive's name

    std::ostringstream progress, errors;
    const int status = runExtractCommand({"-o", out.string(), (dir / "run.001").string()}, progress, errors);

    EXPECT_NE(errors.str().find("Unable to create archive.001"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(out / "Battery.001"));
    EXPECT_EQ(status, kExtractExitUnusable);
}

} // namespace
} // namespace cv::test
