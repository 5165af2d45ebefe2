// Extraction of run files into per-source files and archive records.
#include <gtest/gtest.h>

#include <algorithm>

#include "extract/output_store.h"
#include "extract/run_extraction.h"
#include "extract/run_record.h"
#include "extract_test_support.h"
#include "run_file_generator.h"
#include "support/temp_dir.h"

namespace cv::test {
namespace {

using Choice = ExtractChoice;

class Extraction : public ::testing::Test {
protected:
    ExtractionResult run(const RunBytes& run, Choice choice = Choice::ArchivePlusRaw, const std::string& name = "run.007",
                         bool debug = false) {
        writeBytes(dir / name, run.bytes);
        ExtractOptions options;
        options.debugListing = debug;
        return extractRunFile(dir / name, choice, options, state, warnings);
    }
    bool has(const std::string& name) const { return std::filesystem::exists(dir / name); }
    std::vector<uint8_t> bytes(const std::string& name) const { return readBytes(dir / name); }
    std::vector<ArchiveRecord> archive(const std::string& name = "archive.007") const {
        std::vector<ArchiveRecord> records;
        EXPECT_TRUE(parseArchive(bytes(name), records)) << "archive framing broken";
        return records;
    }

    TempDir dir;
    ExtractionState state;
    RecordedWarnings warnings;
};

std::vector<uint8_t> B(const std::string& s) { return textBytes(s); }

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
                                           NameCase{"run123", -1}, NameCase{"run", -1}));

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

// ---- time windows and markers ------------------------------------------------------------

TEST_F(Extraction, RecordFiftyPastTheWindowStartClosesTheWindow) {
    RunBytes r;
    r.timed(kArchiveMux1, 100, "a").timed(kArchiveMux1 + 1, 120, "b").timed(kArchiveMux1, 149, "c");
    r.timed(kArchiveMux1, 150, "d");
    run(r);
    auto records = archive();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].time, 100u);
    EXPECT_EQ(records[0].section(1), B("ac"));
    EXPECT_EQ(records[0].section(2), B("b"));
    EXPECT_EQ(records[1].time, 150u);
    EXPECT_EQ(records[1].section(1), B("d"));
    for (const auto& rec : records) {
        EXPECT_EQ(rec.head[0], 1);
        EXPECT_EQ(rec.head[1], 0);
        EXPECT_EQ(rec.head[2], 2);  // unit ID until a Sender Unit ID record says otherwise
        EXPECT_EQ(rec.trailer, "####");
    }
    EXPECT_EQ(records[0].head[3], 0);
    EXPECT_EQ(records[1].head[3], 1);
}

struct TimedTypeCase {
    int type;
    int section;
};

void PrintTo(const TimedTypeCase& c, std::ostream* os) { *os << "type " << c.type; }

class TimedRecordSection : public ::testing::TestWithParam<TimedTypeCase> {};

TEST_P(TimedRecordSection, TimeTaggedRecordFillsItsSection) {
    TempDir dir;
    RunBytes r;
    r.timed(GetParam().type, 100, "data");
    writeBytes(dir / "run.001", r.bytes);
    ExtractionState state;
    RecordedWarnings warnings;
    extractRunFile(dir / "run.001", Choice::ArchiveOnly, {}, state, warnings);
    auto records = archiveRecords(dir / "archive.001");
    ASSERT_EQ(records.size(), 1u);
    for (int s = 1; s <= 9; ++s) EXPECT_EQ(records[0].section(s), s == GetParam().section ? B("data") : B("")) << s;
}

INSTANTIATE_TEST_SUITE_P(Extraction, TimedRecordSection,
                         ::testing::Values(TimedTypeCase{5, 1}, TimedTypeCase{8, 4}, TimedTypeCase{19, 5},
                                           TimedTypeCase{22, 8}, TimedTypeCase{13, 9}));

TEST_F(Extraction, MarkerRecordIsIgnoredAndDoesNotStartTheWindow) {
    RunBytes r;
    r.record(kArchiveMux1, sim::timedRunPayload(kMarkerTime, B("junk")));
    r.timed(kArchiveMux1, 100, "a").timed(kArchiveMux1, 140, "b");
    r.record(kArchiveTime, sim::timedRunPayload(kMarkerTime));
    run(r);
    auto records = archive();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].time, 100u);
    EXPECT_EQ(records[0].data, B("ab"));
}

TEST_F(Extraction, EmptyTimedRecordAndArchiveTimeCloseWindowsWithoutAddingBytes) {
    RunBytes r;
    r.timed(kArchiveMux1, 100, "a").timed(kArchiveMux1, 160).timed(kArchiveMux1, 170, "b").timed(kArchiveTime, 300);
    r.timed(kAnalogTimed, 310, "c");
    run(r);
    auto records = archive();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].time, 100u);
    EXPECT_EQ(records[0].data, B("a"));
    EXPECT_EQ(records[1].time, 160u);
    EXPECT_EQ(records[1].data, B("b"));
    EXPECT_EQ(records[2].time, 300u);
    EXPECT_EQ(records[2].section(9), B("c"));
}

TEST_F(Extraction, TimedRecordTooShortForATimeIsSkipped) {
    RunBytes r;
    r.timed(kArchiveMux1, 100, "a").record(kArchiveMux1, "xy").timed(kArchiveMux1, 110, "b");
    ExtractionResult result = run(r);
    auto records = archive();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].data, B("ab"));
    EXPECT_EQ(result.damagedRecords, 1u);
}

TEST_F(Extraction, SenderUnitIdNamesTheLoggerOfLaterRecords) {
    RunBytes r;
    r.record(kSenderUnitId, std::vector<uint8_t>{0, 4}).timed(kArchiveMux1, 100, "a");
    run(r);
    auto records = archive();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].head[2], 4);
}

TEST_F(Extraction, WindowSequenceNumbersCarryOnIntoTheNextExtraction) {
    RunBytes r;
    r.timed(kArchiveMux1, 100, "a").timed(kArchiveMux1, 200, "b");
    run(r, Choice::ArchiveOnly, "run.001");
    run(r, Choice::ArchiveOnly, "run.002");
    auto second = archive("archive.002");
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].head[3], 2);
    EXPECT_EQ(second[1].head[3], 3);
    EXPECT_EQ(state.windowCounter, 4);
}

TEST_F(Extraction, WindowCounterWrapsAfter255) {
    state.windowCounter = 255;
    RunBytes r;
    r.timed(kArchiveMux1, 100, "a").timed(kArchiveMux1, 200, "b");
    run(r);
    auto records = archive();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].head[3], 255);
    EXPECT_EQ(records[1].head[3], 0);
}

// One port delivers more inside one window than a section holds: the gathered record is written
// out early and nothing is lost or reordered.
TEST_F(Extraction, FullSectionWritesTheWindowOutEarlyWithoutLosingBytes) {
    RunBytes r;
    std::vector<uint8_t> expected;
    for (int i = 0; i < 7; ++i) {
        std::string data(2000, char('A' + i));
        r.timed(kArchiveMux1, 100, data);
        expected.insert(expected.end(), data.begin(), data.end());
    }
    r.timed(kArchiveMux1 + 1, 101, "second port");
    ExtractionResult result = run(r);
    auto records = archive();
    ASSERT_EQ(records.size(), 2u);
    std::vector<uint8_t> port1;
    for (const auto& rec : records) {
        EXPECT_LE(rec.sectionLengths[0], 10000);
        EXPECT_TRUE(rec.sectionsAddUp());
        EXPECT_EQ(rec.time, 100u);
        auto s = rec.section(1);
        port1.insert(port1.end(), s.begin(), s.end());
    }
    EXPECT_EQ(port1, expected);
    EXPECT_EQ(records[0].sectionLengths[0], 10000);
    EXPECT_EQ(records[1].section(2), B("second port"));
    EXPECT_EQ(result.earlyWindowRecords, 1u);
    EXPECT_EQ(bytes("archive.007").size(), 2 * 32 + expected.size() + 11);
}

// Seven sections close to full add up to more than the 16-bit data length of one record.
TEST_F(Extraction, WindowLargerThanOneRecordCanStateIsSplitAtTheLengthLimit) {
    RunBytes r;
    const int types[] = {5, 6, 7, 8, 19, 20, 21};
    std::array<std::vector<uint8_t>, 9> expected;
    for (int round = 0; round < 5; ++round) {
        for (int k = 0; k < 7; ++k) {
            std::string data(1980, char('a' + k + round));
            r.timed(types[k], 100, data);
            auto& e = expected[size_t(timedSection(types[k]) - 1)];
            e.insert(e.end(), data.begin(), data.end());
        }
    }
    run(r);
    auto records = archive();
    ASSERT_GE(records.size(), 2u);
    std::array<std::vector<uint8_t>, 9> got;
    for (const auto& rec : records) {
        EXPECT_TRUE(rec.sectionsAddUp());
        EXPECT_EQ(rec.stored.size(), size_t(rec.length) + 32);
        for (int s = 1; s <= 9; ++s) {
            auto sec = rec.section(s);
            got[size_t(s - 1)].insert(got[size_t(s - 1)].end(), sec.begin(), sec.end());
        }
    }
    EXPECT_EQ(got, expected);
}

// ---- header blocks -----------------------------------------------------------------------

TEST_F(Extraction, OnlyTheLastMeterRecordOfABlockReachesTheArchiveButPortFilesGetBoth) {
    RunBytes r;
    r.record(kArchiveHeader, sim::archiveHeaderRunPayload(2, 10, 1000, false));
    r.record(kMeter1, "first").record(kMeter1, "second");
    r.record(kArchiveHeader, sim::archiveHeaderRunPayload(2, 11, 1050, false));
    run(r);
    auto records = archive();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].section(1), B("second"));
    EXPECT_EQ(bytes("Port1.007"), B("firstsecond"));
}

TEST_F(Extraction, HeaderBlockRecordCarriesTheFieldsAndTimeOfItsOwnHeader) {
    RunBytes r;
    r.record(kArchiveHeader, sim::archiveHeaderRunPayload(3, 20, 1000, true, 0x55));
    r.record(kMeter5, "block one");
    r.record(kArchiveHeader, sim::archiveHeaderRunPayload(4, 30, 2000, false));
    r.record(kMeter1, "block two").record(kAnalogRaw, "an");
    run(r);
    auto records = archive();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].head, (std::array<uint8_t, 4>{1, 1, 3, 20}));
    EXPECT_EQ(records[0].time, 1000u);
    EXPECT_EQ(records[0].section(5), B("block one"));
    EXPECT_EQ(records[1].head, (std::array<uint8_t, 4>{1, 0, 4, 30}));
    EXPECT_EQ(records[1].time, 2000u);
    EXPECT_EQ(records[1].section(1), B("block two"));
    EXPECT_EQ(records[1].section(9), B("an"));
    // The end of the run closes the last block and starts the next run's counting afresh.
    EXPECT_EQ(state.headerTime, 0u);
    EXPECT_EQ(state.headerCounter, 0);
}

// Header blocks between time-tagged records must not move the time window: each window record
// carries the time of its first data and closes 50 ticks after it.
TEST_F(Extraction, HeaderBlocksInAMixedRunLeaveTheTimeWindowsAlone) {
    RunBytes r;
    r.record(kArchiveHeader, sim::archiveHeaderRunPayload(2, 10, 1000, false)).record(kMeter1, "m1");
    r.timed(kArchiveMux1, 5000, "a");
    r.record(kArchiveHeader, sim::archiveHeaderRunPayload(2, 11, 1100, false)).record(kMeter1, "m2");
    r.timed(kArchiveMux1, 5020, "b").timed(kArchiveMux1, 5049, "c").timed(kArchiveMux1, 5050, "d");
    run(r);
    auto records = archive();
    ASSERT_EQ(records.size(), 4u);
    const std::vector<std::pair<uint32_t, std::string>> expected{{1000, "m1"}, {5000, "abc"}, {5050, "d"}, {1100, "m2"}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(records[i].time, expected[i].first) << i;
        EXPECT_EQ(records[i].data, B(expected[i].second)) << i;
    }
}

TEST_F(Extraction, MeterRecordsBeforeTheArchiveStartsReachOnlyTheirPortFile) {
    RunBytes r;
    r.record(kMeter1, "early");
    r.record(kArchiveHeader, sim::archiveHeaderRunPayload(2, 1, 100, false));
    r.record(kMeter1 + 1, "late");
    run(r);
    auto records = archive();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].section(2), B("late"));
    EXPECT_EQ(records[0].section(1), B(""));
    EXPECT_EQ(bytes("Port1.007"), B("early"));
}

TEST_F(Extraction, HeaderFlagOfA7ByteHeaderOutlivesTheExtraction) {
    RunBytes r;
    r.record(kArchiveHeader, sim::archiveHeaderRunPayload(2, 1, 100, true));
    run(r);
    EXPECT_EQ(state.headerFlag, 1);
    EXPECT_TRUE(has("archive.007"));
    EXPECT_TRUE(archive().empty());
}

// ---- ARCHIVE KRMUX -----------------------------------------------------------------------

sim::RunFileSections sections(std::initializer_list<std::pair<int, std::string>> parts) {
    sim::RunFileSections s;
    for (const auto& [section, text] : parts) s[size_t(section - 1)] = B(text);
    return s;
}

TEST_F(Extraction, KrMuxRecordIsStoredLittleEndianAndSplitIntoRawFiles) {
    RunBytes r;
    auto payload = sim::krMuxRunPayload(7, 8, 2, 99, 0x01020304, sections({{1, "one"}, {3, "three"}, {9, "analog"}}));
    r.record(kArchiveKrMux, payload);
    ExtractionResult result = run(r);
    auto records = archive();
    ASSERT_EQ(records.size(), 1u);
    const auto& rec = records[0];
    EXPECT_EQ(rec.head, (std::array<uint8_t, 4>{7, 8, 2, 99}));
    EXPECT_EQ(rec.length, 14);
    EXPECT_EQ(rec.time, 0x01020304u);
    EXPECT_EQ(rec.sectionLengths, (std::array<uint16_t, 9>{3, 0, 5, 0, 0, 0, 0, 0, 6}));
    EXPECT_EQ(rec.data, B("onethreeanalog"));
    EXPECT_EQ(bytes("Port1.007"), B("one"));
    EXPECT_EQ(bytes("Port3.007"), B("three"));
    EXPECT_EQ(bytes("analog.007"), B("analog"));
    EXPECT_FALSE(has("Port2.007"));
    EXPECT_EQ(result.archiveRecords, 1u);
}

TEST_F(Extraction, KrMuxWithSectionLengthsNotAddingUpIsArchivedButNotSplit) {
    RunBytes r;
    std::array<uint16_t, 9> stated{3, 1, 0, 0, 0, 0, 0, 0, 0};
    r.record(kArchiveKrMux, sim::krMuxRunPayload(1, 0, 2, 5, 100, sections({{1, "one"}}), &stated));
    run(r);
    auto records = archive();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].sectionLengths[1], 1);
    EXPECT_FALSE(has("Port1.007"));
    EXPECT_FALSE(has("Port2.007"));
}

TEST_F(Extraction, KrMuxWithTheArchiveOnlyChoiceIsNotSplit) {
    RunBytes r;
    r.record(kArchiveKrMux, sim::krMuxRunPayload(1, 0, 2, 5, 100, sections({{1, "one"}})));
    run(r, Choice::ArchiveOnly);
    EXPECT_EQ(archive().size(), 1u);
    EXPECT_FALSE(has("Port1.007"));
}

class DamagedKrMux : public ::testing::TestWithParam<int> {};

// A KRMUX record whose size does not match its own data length would misframe every record after
// it in the archive: it is left out and reported once at the end.
TEST_P(DamagedKrMux, RecordNotMatchingItsDataLengthIsLeftOutAndReported) {
    TempDir dir;
    auto good = sim::krMuxRunPayload(1, 0, 2, 5, 100, sections({{1, "good"}}));
    auto bad = sim::krMuxRunPayload(1, 0, 2, 6, 101, sections({{1, "bad record"}}));
    bad.resize(size_t(int(bad.size()) + GetParam()));
    RunBytes r;
    r.record(kArchiveKrMux, bad).record(kArchiveKrMux, good).record(kArchiveKrMux, bad);
    writeBytes(dir / "run.007", r.bytes);
    ExtractionState state;
    RecordedWarnings warnings;
    ExtractionResult result = extractRunFile(dir / "run.007", Choice::ArchivePlusRaw, {}, state, warnings);
    auto records = archiveRecords(dir / "archive.007");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].data, B("good"));
    EXPECT_EQ(readBytes(dir / "Port1.007"), B("good"));
    EXPECT_EQ(result.damagedRecords, 2u);
    ASSERT_EQ(warnings.seen.size(), 1u);
    EXPECT_TRUE(warnings.saw("Run File Error", "2 Damaged Archive Records Not Saved"));
}

INSTANTIATE_TEST_SUITE_P(Extraction, DamagedKrMux, ::testing::Values(-1, 1, -20, -36));

// ---- other records -----------------------------------------------------------------------

TEST_F(Extraction, UnknownTypeIsReportedPerRecordAndExtractionGoesOn) {
    RunBytes r;
    r.record(26, "??").record(kBattery, "b1").record(26, "??");
    ExtractionResult result = run(r);
    ASSERT_EQ(warnings.seen.size(), 2u);
    EXPECT_TRUE(warnings.saw("Unknown Type:  26 1a", "Record Not Saved"));
    EXPECT_EQ(bytes("Battery.007"), B("b1"));
    EXPECT_EQ(result.unknownRecords, 2u);
}

TEST_F(Extraction, SummaryRecordWritesTheSummaryNamedAfterTheRunFile) {
    sim::RunSummarySettings settings;
    settings.runNumber = 99;
    RunBytes r;
    r.record(kSummaryRecord, sim::summaryRunPayload(settings));
    run(r, Choice::ArchiveOnly, "run.012");
    const std::string text = readText(dir / "Summary.012");
    EXPECT_EQ(text.rfind("Run # 99:  Profile on 02/14/06 at 09:00:00\r\n\r\n", 0), 0u);
}

TEST_F(Extraction, FileStartingWithSizeZeroIsRefusedAndYieldsNoOutput) {
    RunBytes r;
    r.header(0, 1).record(kBattery, "b");
    ExtractionResult result = run(r);
    EXPECT_EQ(result.status, ExtractStatus::Refused);
    EXPECT_TRUE(warnings.saw("Run File Error", "Unable to Process the Run"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// ---- debug listing -----------------------------------------------------------------------

TEST_F(Extraction, ListingShowsKrMuxTimesInTenthsWithTheirStep) {
    RunBytes r;
    r.record(kArchiveKrMux, sim::krMuxRunPayload(1, 0, 2, 1, 100, sections({{1, "a"}})));
    r.header(3000, kArchiveKrMux).raw({0, 0});  // rejected: its line still ends
    r.record(kArchiveKrMux, sim::krMuxRunPayload(1, 0, 2, 2, 130, sections({{1, "b"}})));
    r.record(kBattery, "b");
    run(r, Choice::ArchiveOnly, "run.007", true);
    const std::string listing = readText(dir / "log.dat");
    EXPECT_EQ(listing.substr(0, listing.find("Unknown")),
              "ARCHIVE KRMUX Size 33\tTime = 1000 1000\r\n"
              "ARCHIVE KRMUX Size 3000\r\n");
    EXPECT_NE(listing.find("ARCHIVE KRMUX Size 33\tTime = 1300 300\r\nBATTERY Size 1\r\n"), std::string::npos);
}

TEST_F(Extraction, ListingIsStartedAfreshForEachExtraction) {
    RunBytes r;
    r.record(kBattery, "b");
    run(r, Choice::ArchiveOnly, "run.001", true);
    run(r, Choice::ArchiveOnly, "run.002", true);
    EXPECT_EQ(readText(dir / "log.dat"), "BATTERY Size 1\r\n");
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
