// Extraction of run files into archive records: time windows, header blocks, logger-built
// records and the debug listing.
#include <gtest/gtest.h>

#include "extract/run_extraction.h"
#include "extract/run_record.h"
#include "extraction_fixture.h"
#include "run_file_generator.h"
#include "support/temp_dir.h"
#include "support/case_name.h"

namespace cv::test {
namespace {

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

class TimedRecordSection : public Extraction, public ::testing::WithParamInterface<TimedTypeCase> {};

TEST_P(TimedRecordSection, TimeTaggedRecordFillsItsSection) {
    RunBytes r;
    r.timed(GetParam().type, 100, "data");
    run(r, Choice::ArchiveOnly, "run.001");
    auto records = archive("archive.001");
    ASSERT_EQ(records.size(), 1u);
    for (int s = 1; s <= 9; ++s) EXPECT_EQ(records[0].section(s), s == GetParam().section ? B("data") : B("")) << s;
}

INSTANTIATE_TEST_SUITE_P(Extraction, TimedRecordSection,
                         ::testing::Values(TimedTypeCase{5, 1}, TimedTypeCase{8, 4}, TimedTypeCase{19, 5},
                                           TimedTypeCase{22, 8}, TimedTypeCase{13, 9}),
                         ::cv::test::ReadableName());

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

class DamagedKrMux : public Extraction, public ::testing::WithParamInterface<int> {};

// A KRMUX record whose size does not match its own data length would misframe every record after
// it in the archive: it is left out and reported once at the end.
TEST_P(DamagedKrMux, RecordNotMatchingItsDataLengthIsLeftOutAndReported) {
    auto good = sim::krMuxRunPayload(1, 0, 2, 5, 100, sections({{1, "good"}}));
    auto bad = sim::krMuxRunPayload(1, 0, 2, 6, 101, sections({{1, "bad record"}}));
    bad.resize(size_t(int(bad.size()) + GetParam()));
    RunBytes r;
    r.record(kArchiveKrMux, bad).record(kArchiveKrMux, good).record(kArchiveKrMux, bad);
    ExtractionResult result = run(r);
    auto records = archive();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].data, B("good"));
    EXPECT_EQ(bytes("Port1.007"), B("good"));
    EXPECT_EQ(result.damagedRecords, 2u);
    ASSERT_EQ(warnings.seen.size(), 1u);
    EXPECT_TRUE(warnings.saw("Run File Error", "2 Damaged Archive Records Not Saved"));
}

INSTANTIATE_TEST_SUITE_P(Extraction, DamagedKrMux, ::testing::Values(-1, 1, -20, -36),
                         [](const auto& i) { return "Length" + ::cv::test::caseName(::testing::PrintToString(i.param)); });

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

} // namespace
} // namespace cv::test
