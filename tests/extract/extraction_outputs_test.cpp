// Extraction of run files: which outputs are written, under which names and where, and what
// happens when one cannot be written.
#include <gtest/gtest.h>

#include <algorithm>

#include "extract/output_store.h"
#include "extract/run_extraction.h"
#include "extract/run_record.h"
#include "extraction_fixture.h"
#include "run_file_generator.h"
#include "support/temp_dir.h"
#include "support/case_name.h"

namespace cv::test {
namespace {

// ---- names and output placement ----------------------------------------------------------

struct NameCase {
    std::string path;
    int runNumber;  // -1: refused
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.path; }

class RunNumberFromName : public ::testing::TestWithParam<NameCase> {};

TEST_P(RunNumberFromName, RunNumberComesFromTheDigitsBehindTheLastDotOfTheFileName) {
    const NameCase c = GetParam();
    const std::optional<int> n = runNumberFromPath(c.path);
    if (c.runNumber < 0)
        EXPECT_FALSE(n.has_value());
    else
        EXPECT_EQ(n, c.runNumber);
}

INSTANTIATE_TEST_SUITE_P(Extraction, RunNumberFromName,
                         ::testing::Values(NameCase{"run.007", 7}, NameCase{"C:/logs.old/run.007", 7},
                                           NameCase{"/data/logs.old/run.007", 7}, NameCase{"run.1234", 1234},
                                           NameCase{"run.0", 0}, NameCase{"Run.042x", 42}, NameCase{"a.b.c.009", 9},
                                           NameCase{"run.65535", 65535}, NameCase{"run.65536", -1}, NameCase{"run.abc", -1},
                                           NameCase{"run.", -1}, NameCase{"run.-5", -1}, NameCase{"/data/v1.2/run", -1},
                                           NameCase{"run123", -1}, NameCase{"run", -1}, NameCase{"run.007.part", 7},
                                           NameCase{"run.part", -1}, NameCase{".part", -1}),
                         [](const auto& i) { return ::cv::test::caseName(i.param.path) + "_Case" + std::to_string(i.index); });

TEST_F(Extraction, FolderWithADotAndFourDigitRunNumberNameTheOutputs) {
    std::filesystem::create_directories(dir / "logs.old");
    RunBytes r;
    r.record(kMeter1, "port one").timed(kArchiveMux1, 100, "x");
    ExtractionResult result = run(r, Choice::ArchivePlusRaw, "logs.old/run.1234");
    EXPECT_EQ(result.status, ExtractStatus::Extracted);
    EXPECT_EQ(result.runNumber, 1234);
    EXPECT_EQ(bytes("logs.old/Port1.1234"), B("port one"));
    EXPECT_TRUE(has("logs.old/archive.1234"));
}

TEST_F(Extraction, UnusableNameIsRefusedWithItsWarningAndWritesNothing) {
    std::filesystem::create_directories(dir / "v1.2");
    RunBytes r;
    r.record(kBattery, "12.0 V");
    ExtractionResult result = run(r, Choice::ArchivePlusRaw, "v1.2/run");
    EXPECT_EQ(result.status, ExtractStatus::UnusableName);
    const std::string path = (dir / "v1.2/run").string();
    EXPECT_TRUE(warnings.saw("Unusable File Name '" + path, "Extraction Requires name.xxx, where xxx=000-999"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "v1.2"), {}), 1);
}

TEST_F(Extraction, OutputsGoToTheChosenFolderWhenOneIsGiven) {
    RunBytes r;
    r.record(kBattery, "12.0 V");
    writeBytes(dir / "run.003", r.bytes);
    std::filesystem::create_directories(dir / "out");
    ExtractOptions options;
    options.outputDirectory = dir / "out";
    extractRunFile(dir / "run.003", Choice::ArchiveOnly, options, state, warnings);
    EXPECT_EQ(bytes("out/Battery.003"), B("12.0 V"));
    EXPECT_FALSE(has("Battery.003"));
}

TEST_F(Extraction, RunFileNamedLikeItsOwnOutputIsNotOverwritten) {
    RunBytes r;
    r.timed(kArchiveMux1, 100, "abc").record(kBattery, "v");
    ExtractionResult result = run(r, Choice::ArchiveOnly, "archive.007");
    EXPECT_EQ(bytes("archive.007"), r.bytes);
    EXPECT_TRUE(warnings.saw("File Extraction Error", "Unable to create archive.007"));
    EXPECT_EQ(bytes("Battery.007"), B("v"));
    EXPECT_EQ(result.status, ExtractStatus::Extracted);
}

TEST_F(Extraction, OutputThatCannotBeCreatedIsReportedOnceAndItsRecordsDropped) {
    RunBytes r;
    for (int i = 0; i < 5; ++i) r.record(kBattery, "v");
    writeBytes(dir / "run.007", r.bytes);
    ExtractOptions options;
    options.outputDirectory = dir / "missing-folder";
    ExtractionResult result = extractRunFile(dir / "run.007", Choice::ArchiveOnly, options, state, warnings);
    ASSERT_EQ(warnings.seen.size(), 1u);
    EXPECT_TRUE(warnings.saw("File Extraction Error", "Unable to create Battery.007"));
    EXPECT_TRUE(result.files.empty());
}

TEST_F(Extraction, FilesWithoutRecordsAreNotCreatedAndOldOnesAreLeftAlone) {
    writeBytes(dir / "Port2.007", B("from before"));
    RunBytes r;
    r.record(kMeter1, "one");
    run(r);
    EXPECT_TRUE(has("Port1.007"));
    EXPECT_EQ(bytes("Port2.007"), B("from before"));
    EXPECT_FALSE(has("archive.007"));  // no archive-bearing record
    EXPECT_FALSE(has("Battery.007"));
    EXPECT_FALSE(has("Summary.007"));
    EXPECT_FALSE(has("log.dat"));
}

TEST_F(Extraction, MissingRunFileDoesNothing) {
    ExtractionResult result = extractRunFile(dir / "run.001", Choice::ArchivePlusRaw, {}, state, warnings);
    EXPECT_EQ(result.status, ExtractStatus::CannotOpen);
    EXPECT_TRUE(warnings.seen.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// ---- raw files and the extraction choice -------------------------------------------------

TEST_F(Extraction, RawChoiceWritesEverySourceToItsFileInArrivalOrder) {
    RunBytes r;
    r.record(kMeter1, "a1").record(kMeter1 + 3, "p4").record(kMeter5, "p5").record(kMeter5 + 3, "p8");
    r.record(kAnalogRaw, "an").record(kTimeStamp, "ts").record(kBattery, "bt").record(kMeter1, "a2");
    run(r);
    EXPECT_EQ(bytes("Port1.007"), B("a1a2"));
    EXPECT_EQ(bytes("Port4.007"), B("p4"));
    EXPECT_EQ(bytes("Port5.007"), B("p5"));
    EXPECT_EQ(bytes("Port8.007"), B("p8"));
    EXPECT_EQ(bytes("analog.007"), B("an"));
    EXPECT_EQ(bytes("timestp.007"), B("ts"));
    EXPECT_EQ(bytes("Battery.007"), B("bt"));
}

TEST_F(Extraction, ArchiveOnlyChoiceWritesNoRawFilesButKeepsTheDataInTheArchive) {
    RunBytes r;
    r.record(kArchiveHeader, sim::archiveHeaderRunPayload(3, 40, 500, false));
    r.record(kMeter1, "meter data").record(kAnalogRaw, "analog").record(kTimeStamp, "ts").record(kBattery, "bt");
    run(r, Choice::ArchiveOnly);
    for (const char* name : {"Port1.007", "analog.007", "timestp.007"}) EXPECT_FALSE(has(name)) << name;
    EXPECT_EQ(bytes("Battery.007"), B("bt"));
    auto records = archive();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].section(1), B("meter data"));
    EXPECT_EQ(records[0].section(9), B("analog"));
}

// ---- where the outputs go ----------------------------------------------------------------

// Bytes in memory into a memory store must give what a run file on disk gives on disk: the same
// outputs, named the same, byte for byte, the listing included.
TEST(ExtractionOutputs, MemoryRunAndStoreGiveWhatFilesGive) {
    sim::RunFileOptions generated;
    generated.seed = 11;
    generated.targetSize = 60000;
    generated.style = sim::RunFileStyle::Mixed;
    generated.burstPercent = 4;
    std::vector<uint8_t> run = sim::RunFileGenerator(generated).bytes();
    run.insert(run.begin() + 5000, {0xFF, 0xFF, 0xFF});  // junk to skip and list
    TempDir dir;
    writeBytes(dir / "run.007", run);
    ExtractOptions options;
    options.debugListing = true;
    ExtractionState fileState, memoryState;
    RecordedWarnings fileWarnings, memoryWarnings;
    const ExtractionResult onDisk = extractRunFile(dir / "run.007", Choice::ArchivePlusRaw, options, fileState, fileWarnings);
    MemoryOutputStore outputs;
    const ExtractionResult inMemory = extractRunBytes("run.007", run.data(), run.size(), Choice::ArchivePlusRaw, options,
                                                      memoryState, memoryWarnings, outputs);

    ASSERT_EQ(inMemory.files.size(), onDisk.files.size());
    ASSERT_GE(onDisk.files.size(), 5u);
    for (size_t i = 0; i < onDisk.files.size(); ++i) {
        const std::string name = onDisk.files[i].filename().string();
        EXPECT_EQ(inMemory.files[i], name);
        EXPECT_EQ(outputs.bytes(name), readBytes(onDisk.files[i])) << name;
    }
    EXPECT_EQ(outputs.text("log.dat"), readText(dir / "log.dat"));
    EXPECT_EQ(outputs.count(), onDisk.files.size() + 1);
    EXPECT_EQ(inMemory.records, onDisk.records);
    EXPECT_EQ(inMemory.rejectedHeaders, 3u);
    EXPECT_EQ(memoryWarnings.seen, fileWarnings.seen);
    EXPECT_EQ(memoryState.windowCounter, fileState.windowCounter);
}

struct OutputFailureCase {
    const char* name;
    void (MemoryOutputStore::*refuse)(const std::string&);
    std::string output;
    std::string warning;
    uint64_t failures;
    bool listed;  // among the outputs the result names
};

void PrintTo(const OutputFailureCase& c, std::ostream* os) { *os << c.name; }

class OutputFailure : public ::testing::TestWithParam<OutputFailureCase> {};

// An output that cannot be created, written or closed is named in a warning and counted, and
// every other output is still written whole.
TEST_P(OutputFailure, IsWarnedAboutAndCountedWhileTheOtherOutputsAreWritten) {
    const OutputFailureCase& c = GetParam();
    sim::RunSummarySettings settings;
    RunBytes r;
    r.record(kSummaryRecord, sim::summaryRunPayload(settings)).record(kMeter1, "port one");
    r.timed(kArchiveMux1, 100, "mux").record(kBattery, "b1").record(kSummaryRecord, sim::summaryRunPayload(settings));
    r.record(kBattery, "b2");
    MemoryOutputStore outputs;
    (outputs.*c.refuse)(c.output);
    ExtractionState state;
    RecordedWarnings warnings;
    const ExtractionResult result =
        extractRunBytes("run.007", r.bytes.data(), r.bytes.size(), Choice::ArchivePlusRaw, {}, state, warnings, outputs);

    EXPECT_EQ(result.outputFailures, c.failures);
    ASSERT_EQ(warnings.seen.size(), c.failures);
    for (const auto& w : warnings.seen) EXPECT_EQ(w, std::make_pair(std::string("File Extraction Error"), c.warning));
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> whole{
        {"Port1.007", B("port one")}, {"Battery.007", B("b1b2")}};
    for (const auto& [name, bytes] : whole) {
        if (name != c.output) {
            EXPECT_EQ(outputs.bytes(name), bytes) << name;
        }
    }
    if (c.output != "archive.007") {
        EXPECT_EQ(outputs.bytes("archive.007").size(), 32u + 3);
    }
    if (c.output != "Summary.007") {
        EXPECT_EQ(outputs.text("Summary.007").rfind("Run # 7:", 0), 0u);
    }
    EXPECT_EQ(std::count(result.files.begin(), result.files.end(), std::filesystem::path(c.output)), c.listed ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Extraction, OutputFailure,
    ::testing::Values(
        OutputFailureCase{"ArchiveNotCreated", &MemoryOutputStore::refuseCreate, "archive.007", "Unable to create archive.007", 1, false},
        OutputFailureCase{"BatteryNotWritten", &MemoryOutputStore::refuseWrite, "Battery.007", "Unable to write Battery.007", 1, true},
        OutputFailureCase{"PortNotClosed", &MemoryOutputStore::refuseClose, "Port1.007", "Unable to write Port1.007", 1, true},
        // The summary is written once per Summary record.
        OutputFailureCase{"SummaryNotCreated", &MemoryOutputStore::refuseCreate, "Summary.007", "Unable to create Summary File", 2, false},
        OutputFailureCase{"SummaryNotWritten", &MemoryOutputStore::refuseWrite, "Summary.007", "Unable to create Summary File", 2, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A real file whose bytes cannot reach the disk: the failure shows when the buffered bytes are
// written out, and is reported, not taken for a written archive.
TEST_F(Extraction, ArchiveThatCannotReachTheDiskIsReportedAsNotWritten) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::filesystem::create_symlink("/dev/full", dir / "archive.007");
    RunBytes r;
    r.timed(kArchiveMux1, 100, "abc").record(kBattery, "v");
    const ExtractionResult result = run(r, Choice::ArchiveOnly);
    EXPECT_EQ(result.outputFailures, 1u);
    EXPECT_TRUE(warnings.saw("File Extraction Error", "Unable to write archive.007"));
    EXPECT_EQ(bytes("Battery.007"), B("v"));
}

} // namespace
} // namespace cv::test
