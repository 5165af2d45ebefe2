// The command-line extractor's exit status is what scripts act on: a run file that is not the
// whole run, or an output that could not be written, must not come back as a run extracted.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "extract/extract_command.h"
#include "extract/run_extraction.h"
#include "extract/run_record.h"
#include "extract_test_support.h"
#include "support/temp_dir.h"

namespace cv::test {
namespace {

RunBytes goodRun() {
    RunBytes r;
    r.timed(kArchiveMux1, 100, "mux").record(kBattery, "12 V");
    return r;
}

struct StatusCase {
    const char* name;
    std::function<void(const std::filesystem::path& dir)> makeRunFiles;  // run.001 and more
    int status;
    const char* stderrText;  // what standard error must say about it
};
void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }

class ExtractExitStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(ExtractExitStatus, StatusTellsWholeFromIncompleteFromUnusable) {
    TempDir dir;
    GetParam().makeRunFiles(dir.path());
    std::vector<std::string> args{"-o", (dir / "out").string()};
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        if (e.path().filename().string().rfind("run.", 0) == 0) args.push_back(e.path().string());

    std::ostringstream progress, errors;
    EXPECT_EQ(runExtractCommand(args, progress, errors), GetParam().status) << errors.str();
    EXPECT_NE(errors.str().find(GetParam().stderrText), std::string::npos) << errors.str();
    // Whatever the run held is still written.
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "Battery.001"));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ExtractExitStatus,
    ::testing::Values(
        StatusCase{"Whole", [](const auto& d) { writeBytes(d / "run.001", goodRun().bytes); }, kExtractExitOk, ""},
        StatusCase{"CutShort",
                   [](const auto& d) {
                       auto b = goodRun().record(kArchiveMux1, "long enough to be cut").bytes;
                       b.resize(b.size() - 5);
                       writeBytes(d / "run.001", b);
                   },
                   kExtractExitIncomplete, "run.001: cut short: the last record is cut short by the end of the file"},
        StatusCase{"StrayBytes",
                   [](const auto& d) { writeBytes(d / "run.001", goodRun().raw({0xFF, 0xFF, 0xFF}).record(kBattery, "b").bytes); },
                   kExtractExitIncomplete, "run.001: damaged, 3 bytes skipped"},
        StatusCase{"UnknownType",
                   [](const auto& d) { writeBytes(d / "run.001", goodRun().record(26, "?").bytes); },
                   kExtractExitIncomplete, "Unknown Type:  26 1a: Record Not Saved"},
        StatusCase{"UnusableBeatsIncomplete",
                   [](const auto& d) {
                       auto b = goodRun().record(kBattery, "cut here").bytes;
                       b.resize(b.size() - 2);
                       writeBytes(d / "run.001", b);
                       writeBytes(d / "run.002", {0, 0, 9, 0, 'x'});
                   },
                   kExtractExitUnusable, "Run File Error: Unable to Process the Run"}),
    [](const auto& info) { return std::string(info.param.name); });

// An output that cannot be created is warned about, and the status must say so too: a script
// would otherwise take a run whose archive is missing for a good one.
TEST(ExtractExitStatusOutputs, OutputThatCannotBeWrittenGivesNonZeroStatus) {
    TempDir dir;
    writeBytes(dir / "run.001", goodRun().bytes);
    const auto out = dir / "out";
    std::filesystem::create_directories(out / "archive.001");  // takes the archive's name

    std::ostringstream progress, errors;
    const int status = runExtractCommand({"-o", out.string(), (dir / "run.001").string()}, progress, errors);

    EXPECT_NE(errors.str().find("Unable to create archive.001"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(out / "Battery.001"));
    EXPECT_EQ(status, kExtractExitUnusable);
}

TEST(ExtractExitStatusOutputs, HelpDocumentsEveryStatus) {
    std::ostringstream out, err;
    ASSERT_EQ(runExtractCommand({"--help"}, out, err), kExtractExitOk);
    for (const char* line : {"  0  every run file was extracted whole", "  1  a run file could not be used",
                             "  2  usage error", "  3  every run file was extracted, but at least one was cut short or damaged"})
        EXPECT_NE(out.str().find(line), std::string::npos) << line;
}

} // namespace
} // namespace cv::test
