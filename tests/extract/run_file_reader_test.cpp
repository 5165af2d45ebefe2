// The run-file reader: record walk, header bounds, resynchronisation and its listing.
#include <gtest/gtest.h>

#include "extract/debug_listing.h"
#include "extract/output_store.h"
#include "extract/run_file_reader.h"
#include "extract_test_support.h"
#include "support/temp_dir.h"
#include "support/case_name.h"

namespace cv::test {
namespace {

struct ReadOutcome {
    std::vector<RunRecord> records;
    std::vector<std::vector<uint8_t>> payloads;
    // The bytes after each payload while it was current (the record's payload pointer is only
    // good until the next read).
    std::vector<std::vector<uint8_t>> paddings;
    RunFileReadStats stats;
    std::string listing;
    RecordedWarnings warnings;
};

ReadOutcome readAll(const std::vector<uint8_t>& bytes) {
    TempDir dir;
    writeBytes(dir / "run.001", bytes);
    ReadOutcome out;
    MemoryOutputStore outputs;
    DebugListing listing;
    listing.start(outputs);
    RunFileReader reader(out.warnings, &listing);
    EXPECT_TRUE(reader.open(dir / "run.001"));
    RunRecord r;
    while (reader.next(r)) {
        out.records.push_back(r);
        out.payloads.emplace_back(r.payload, r.payload + r.size);
        out.paddings.emplace_back(r.payload + r.size, r.payload + r.size + RunFileReader::kPayloadPadding);
    }
    listing.finish();
    out.stats = reader.stats();
    out.listing = outputs.text(DebugListing::kFileName);
    return out;
}

TEST(RunFileReader, ThreeStrayBytesAreSkippedOneHeaderAtATimeAndListed) {
    RunBytes run;
    run.record(9, "abc").raw({0xFF, 0xFF, 0xFF}).record(1, "hi");
    ReadOutcome out = readAll(run.bytes);

    ASSERT_EQ(out.records.size(), 2u);
    EXPECT_EQ(out.records[1].type, 1);
    EXPECT_EQ(out.payloads[1], textBytes("hi"));
    EXPECT_EQ(out.stats.rejectedHeaders, 3u);
    EXPECT_TRUE(out.warnings.seen.empty());
    EXPECT_EQ(out.listing,
              "BATTERY Size 3\r\n"
              "Unknown Type 767 Size -1 0xffffffff\r\n"
              "METER2 Size -1\r\n"
              "Unknown Type 256 Size 767 0x02ff\r\n"
              "METER1 Size 2\r\n");
}

struct HeaderCase {
    int size;
    int type;
    bool accepted;
};

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << "size " << c.size << " type " << c.type; }

class HeaderBounds : public ::testing::TestWithParam<HeaderCase> {};

// A header in the middle of a file, followed by zero bytes that can never form a header.
TEST_P(HeaderBounds, HeaderIsAcceptedOnlyInsideTheSizeAndTypeRange) {
    const HeaderCase c = GetParam();
    RunBytes run;
    run.record(9, "first").header(c.size, c.type).raw(std::vector<uint8_t>(c.size > 0 && c.size <= 2100 ? size_t(c.size) : 8, 0x00));
    ReadOutcome out = readAll(run.bytes);
    if (c.accepted) {
        ASSERT_EQ(out.records.size(), 2u);
        EXPECT_EQ(out.records[1].type, c.type);
        EXPECT_EQ(out.records[1].size, c.size);
    } else {
        EXPECT_EQ(out.records.size(), 1u);
        EXPECT_GE(out.stats.rejectedHeaders, 1u);
    }
    EXPECT_FALSE(out.stats.refused);
    EXPECT_TRUE(out.warnings.seen.empty());
}

INSTANTIATE_TEST_SUITE_P(RunFileReader, HeaderBounds,
                         ::testing::Values(HeaderCase{1, 9, true}, HeaderCase{2080, 9, true}, HeaderCase{2081, 9, false},
                                           HeaderCase{0, 9, false}, HeaderCase{-1, 9, false}, HeaderCase{5, 0, false},
                                           HeaderCase{5, 1, true}, HeaderCase{5, 26, true}, HeaderCase{5, 27, false},
                                           HeaderCase{5, -1, false}),
                         ::cv::test::ReadableName());

TEST(RunFileReader, BadFirstHeaderRefusesTheWholeFile) {
    RunBytes run;
    run.header(0, 9).record(9, "never read").record(1, "nor this");
    ReadOutcome out = readAll(run.bytes);
    EXPECT_TRUE(out.records.empty());
    EXPECT_TRUE(out.stats.refused);
    ASSERT_EQ(out.warnings.seen.size(), 1u);
    EXPECT_TRUE(out.warnings.saw("Run File Error", "Unable to Process the Run"));
    EXPECT_EQ(out.listing, "BATTERY Size 0\r\n");
}

TEST(RunFileReader, PayloadCutShortByTheEndIsHandedOnWithWhatIsThere) {
    RunBytes run;
    run.record(1, "whole").header(10, 2).raw(textBytes("half"));
    ReadOutcome out = readAll(run.bytes);
    ASSERT_EQ(out.records.size(), 2u);
    EXPECT_EQ(out.records[1].declaredSize, 10);
    EXPECT_EQ(out.payloads[1], textBytes("half"));
    EXPECT_TRUE(out.stats.cutShort);
}

TEST(RunFileReader, HeaderWithNoPayloadAtTheEndYieldsNoRecord) {
    RunBytes run;
    run.record(1, "whole").header(10, 9);
    ReadOutcome out = readAll(run.bytes);
    EXPECT_EQ(out.records.size(), 1u);
    EXPECT_TRUE(out.stats.cutShort);
}

class TrailingBytes : public ::testing::TestWithParam<int> {};

TEST_P(TrailingBytes, PartialHeaderAtTheEndIsIgnoredSilently) {
    RunBytes run;
    run.record(1, "data").raw(std::vector<uint8_t>(size_t(GetParam()), 0x05));
    ReadOutcome out = readAll(run.bytes);
    EXPECT_EQ(out.records.size(), 1u);
    EXPECT_TRUE(out.warnings.seen.empty());
    EXPECT_EQ(out.stats.rejectedHeaders, 0u);
    EXPECT_TRUE(out.stats.cutShort);  // a run file that ends inside a header is not whole
}

INSTANTIATE_TEST_SUITE_P(RunFileReader, TrailingBytes, ::testing::Values(1, 2, 3),
                         [](const auto& i) { return "Bytes" + ::cv::test::caseName(::testing::PrintToString(i.param)); });

TEST(RunFileReader, ShortPayloadIsFollowedByZerosNotByTheLongerRecordBeforeIt) {
    RunBytes run;
    run.record(1, std::string(300, 'A')).record(25, "\x02\x05");
    ReadOutcome out = readAll(run.bytes);
    ASSERT_EQ(out.records.size(), 2u);
    EXPECT_EQ(out.paddings[1], std::vector<uint8_t>(RunFileReader::kPayloadPadding, 0));
}

class BufferBoundary : public ::testing::TestWithParam<int> {};

// The stray bytes sit at and around the point where the reader refills its buffer, so stepping
// back to the next header position has to reach bytes of the previous chunk.
TEST_P(BufferBoundary, ResynchronisesAcrossTheReadBufferRefill) {
    const size_t strayAt = InputFile::kChunkSize + InputFile::kLookBack + size_t(GetParam());
    RunBytes run;
    std::vector<std::string> payloads;
    for (size_t n = 0; strayAt - run.bytes.size() >= 2004 + 4 + 50; ++n) {
        payloads.push_back(std::string(2000, char('a' + n % 26)));
        run.record(1, payloads.back());
    }
    payloads.push_back(std::string(strayAt - run.bytes.size() - 4, 'f'));
    run.record(2, payloads.back());
    ASSERT_EQ(run.bytes.size(), strayAt);
    run.raw({0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    payloads.push_back("after the gap");
    run.record(3, payloads.back());

    ReadOutcome out = readAll(run.bytes);
    ASSERT_EQ(out.records.size(), payloads.size());
    for (size_t i = 0; i < payloads.size(); ++i) EXPECT_EQ(out.payloads[i], textBytes(payloads[i])) << i;
    EXPECT_EQ(out.stats.rejectedHeaders, 5u);
}

INSTANTIATE_TEST_SUITE_P(RunFileReader, BufferBoundary, ::testing::Values(-9, -6, -4, -3, -1, 0, 1, 3),
                         [](const auto& i) { return "Offset" + ::cv::test::caseName(::testing::PrintToString(i.param)); });

TEST(RunFileReader, EmptyFileYieldsNothingAndNoWarning) {
    ReadOutcome out = readAll({});
    EXPECT_TRUE(out.records.empty());
    EXPECT_TRUE(out.warnings.seen.empty());
    EXPECT_FALSE(out.stats.refused);
}

TEST(RunFileReader, MissingFileCannotBeOpened) {
    RecordedWarnings warnings;
    RunFileReader reader(warnings);
    EXPECT_FALSE(reader.open("/nonexistent/run.001"));
    EXPECT_TRUE(warnings.seen.empty());
}

} // namespace
} // namespace cv::test
