// The command-line extractor, run in-process on real files.
#include <gtest/gtest.h>

#include <sstream>

#include "extract/extract_command.h"
#include "extract/run_record.h"
#include "extract_test_support.h"
#include "support/temp_dir.h"
#include "support/case_name.h"

namespace cv::test {
namespace {

struct CommandRun {
    int status;
    std::string out;
    std::string err;
};

CommandRun runCommand(std::vector<std::string> args) {
    std::ostringstream out, err;
    int status = runExtractCommand(args, out, err);
    return {status, out.str(), err.str()};
}

class ExtractCommand : public ::testing::Test {
protected:
    void SetUp() override {
        RunBytes r;
        r.record(kMeter1, "port one").timed(kArchiveMux1, 100, "mux").record(kBattery, "12 V");
        writeBytes(dir / "run.001", r.bytes);
        writeBytes(dir / "run.002", r.bytes);
    }
    TempDir dir;
};

struct UsageCase {
    std::vector<std::string> args;
    int status;
    std::string err;  // empty: the help on standard output
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << "cvextract";
    for (const auto& a : c.args) *os << ' ' << a;
}

class CommandUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CommandUsage, HelpOrOneLineNamingTheFault) {
    CommandRun run = runCommand(GetParam().args);
    EXPECT_EQ(run.status, GetParam().status);
    EXPECT_EQ(run.err, GetParam().err);
    if (GetParam().err.empty()) {
        EXPECT_EQ(run.out.rfind("Usage: cvextract [--raw] [--debug] [-o DIR] RUNFILE...\n", 0), 0u) << run.out;
    } else {
        EXPECT_EQ(run.out, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    ExtractCommand, CommandUsage,
    ::testing::Values(UsageCase{{"--help"}, 0, ""}, UsageCase{{"-h", "run.001"}, 0, ""},
                      UsageCase{{}, 2, "cvextract: no run file given\nTry 'cvextract --help'\n"},
                      UsageCase{{"--raw", "--"}, 2, "cvextract: no run file given\nTry 'cvextract --help'\n"},
                      UsageCase{{"run.001", "-o"}, 2, "cvextract: --output needs a value\nTry 'cvextract --help'\n"}),
                         ::cv::test::ReadableName());

TEST_F(ExtractCommand, OutputsGoNextToTheRunFileByDefault) {
    CommandRun run = runCommand({(dir / "run.001").string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readBytes(dir / "Battery.001"), textBytes("12 V"));
    EXPECT_TRUE(std::filesystem::exists(dir / "archive.001"));
    EXPECT_FALSE(std::filesystem::exists(dir / "Port1.001"));
    EXPECT_NE(run.out.find("archive.001"), std::string::npos);
}

TEST_F(ExtractCommand, RawDebugAndOutputFolderOptions) {
    const auto out = dir / "new" / "folder";
    CommandRun run = runCommand({"--raw", "--debug", "-o", out.string(), (dir / "run.001").string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readBytes(out / "Port1.001"), textBytes("port one"));
    EXPECT_TRUE(std::filesystem::exists(out / "log.dat"));
    EXPECT_FALSE(std::filesystem::exists(dir / "Battery.001"));
}

TEST_F(ExtractCommand, SeveralFilesShareTheCountersOfOneProgramRun) {
    CommandRun run = runCommand({"-o" + (dir / "out").string(), (dir / "run.001").string(), (dir / "run.002").string()});
    EXPECT_EQ(run.status, 0) << run.err;
    auto first = archiveRecords(dir / "out" / "archive.001");
    auto second = archiveRecords(dir / "out" / "archive.002");
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(first[0].head[3], 0);
    EXPECT_EQ(second[0].head[3], 1);
}

TEST_F(ExtractCommand, UnusableFileGivesNonZeroStatusButTheOthersAreStillExtracted) {
    writeBytes(dir / "noname", {1, 0, 9, 0, 'x'});
    writeBytes(dir / "run.003", {0, 0, 9, 0, 'x'});
    CommandRun run = runCommand({(dir / "noname").string(), (dir / "missing.004").string(), (dir / "run.003").string(),
                                 (dir / "run.002").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Unusable File Name '"), std::string::npos);
    EXPECT_NE(run.err.find("Extraction Requires name.xxx, where xxx=000-999"), std::string::npos);
    EXPECT_NE(run.err.find("cannot open the run file"), std::string::npos);
    EXPECT_NE(run.err.find("Run File Error: Unable to Process the Run"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "Battery.002"));
}

TEST_F(ExtractCommand, WarningsArePrintedOnStandardError) {
    RunBytes r;
    r.record(kBattery, "b").record(26, "?");
    writeBytes(dir / "run.005", r.bytes);
    CommandRun run = runCommand({(dir / "run.005").string()});
    EXPECT_EQ(run.status, kExtractExitIncomplete);
    EXPECT_NE(run.err.find("Unknown Type:  26 1a: Record Not Saved"), std::string::npos);
}

} // namespace
} // namespace cv::test
