// What an extraction tells of its progress: it only ever rises, moves through the run as the
// run is read, and ends at the whole file, whatever shape the run is in.
#include <gtest/gtest.h>

#include "extraction_fixture.h"

namespace cv::test {
namespace {

struct ProgressCase {
    const char* name;
    size_t cutTo;        // 0: the whole run
    size_t damageAt;     // 0: no damaged stretch
};
void PrintTo(const ProgressCase& c, std::ostream* os) { *os << c.name; }

class ExtractionProgress : public Extraction, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(ExtractionProgress, RisesThroughTheRunToTheWholeFile) {
    sim::RunFileOptions options;
    options.targetSize = 700 * 1024;  // several reads of the input buffer
    RunBytes run;
    run.bytes = sim::RunFileGenerator(options).bytes();
    if (GetParam().cutTo) run.bytes.resize(GetParam().cutTo);
    if (GetParam().damageAt)
        for (size_t i = 0; i < 300; ++i) run.bytes[GetParam().damageAt + i] = 0xFF;
    writeBytes(dir / "run.007", run.bytes);

    std::vector<int> told;
    ExtractOptions extractOptions;
    extractOptions.progress = [&](int percent) { told.push_back(percent); };
    const ExtractionResult result = extractRunFile(dir / "run.007", Choice::ArchiveOnly, extractOptions, state, warnings);

    ASSERT_TRUE(result.usable());
    ASSERT_GE(told.size(), 10u) << "progress must move while the run is read, not only at its end";
    for (size_t i = 1; i < told.size(); ++i) EXPECT_GT(told[i], told[i - 1]) << "step " << i;
    EXPECT_GE(told.front(), 0);
    EXPECT_LT(told.front(), 10);
    EXPECT_EQ(told.back(), 100);
}

INSTANTIATE_TEST_SUITE_P(Extraction, ExtractionProgress,
                         ::testing::Values(ProgressCase{"WholeRun", 0, 0}, ProgressCase{"CutShort", 500 * 1024 + 3, 0},
                                           ProgressCase{"DamagedStretch", 0, 300 * 1024}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace cv::test
