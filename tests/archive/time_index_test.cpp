// The time index beside an archive file as a reader sees it: index files built by hand, the time
// each record of the file gets from it, and the indexes it must not trust.
#include <gtest/gtest.h>

#include <fstream>

#include "archive/time_index.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

struct PlaceCase {
    const char* name;
    std::string index;
    uint64_t archiveLength;
    std::vector<uint64_t> records;    // offsets, in file order
    std::vector<std::string> times;   // what each record is given ("" none)
};
class TimeIndexPlaces : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(TimeIndexPlaces, EachRecordItsTime) {
    test::TempDir dir;
    const std::string archive = (dir / "site26_342.014").string();
    std::ofstream(TimeIndex::pathBeside(archive), std::ios::binary) << GetParam().index;
    std::string fault;
    std::optional<TimeIndex> index = TimeIndex::load(archive, GetParam().archiveLength, fault);
    ASSERT_TRUE(index) << fault;
    EXPECT_EQ(fault, "");
    for (uint64_t offset : GetParam().records) index->countRecord(offset);
    std::vector<std::string> times;
    for (uint64_t offset : GetParam().records) {
        const std::optional<int64_t> ms = index->place(offset);
        times.push_back(ms ? utcText(*ms) : "");
    }
    EXPECT_EQ(times, GetParam().times);
}

// Records of 100, 300 and 100 bytes between two anchors 2 s apart: spread by their order, not
// by their bytes.
INSTANTIATE_TEST_SUITE_P(
    Indexes, TimeIndexPlaces,
    ::testing::Values(
        PlaceCase{"BetweenAnchorsByRecordOrder",
                  "KR-8 time index 1\r\n0 1796738400000\r\n500 1796738402000\r\n", 600, {0, 100, 400, 500, 550},
                  {"2026-12-08T14:00:00.000Z", "2026-12-08T14:00:00.667Z", "2026-12-08T14:00:01.333Z",
                   "2026-12-08T14:00:02.000Z", "2026-12-08T14:00:02.000Z"}},
        PlaceCase{"LineFeedsAndAnchorOfOneRecordTwice", "KR-8 time index 1\n0 1796738400710\n0 1796738401000\n", 64,
                  {0, 32}, {"2026-12-08T14:00:00.710Z", "2026-12-08T14:00:00.710Z"}},
        PlaceCase{"BeforeTheFirstAnchorNoTime", "KR-8 time index 1\r\n32 1796738400000\r\n", 64, {0, 32},
                  {"", "2026-12-08T14:00:00.000Z"}},
        PlaceCase{"CutLastLineLeftOut", "KR-8 time index 1\r\n0 1796738400000\r\n32 17967384", 64, {0, 32},
                  {"2026-12-08T14:00:00.000Z", "2026-12-08T14:00:00.000Z"}},
        PlaceCase{"AnchorPastTheFileLeftOut", "KR-8 time index 1\r\n0 1796738400000\r\n64 1796738409000\r\n", 64,
                  {0, 32}, {"2026-12-08T14:00:00.000Z", "2026-12-08T14:00:00.000Z"}},
        PlaceCase{"IndexJustBegun", "KR-8 time in", 64, {0}, {""}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FaultCase {
    const char* name;
    std::string index;
    const char* fault;
};
class TimeIndexFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(TimeIndexFaults, NotTrusted) {
    std::string fault;
    EXPECT_FALSE(TimeIndex::parse(GetParam().index, fault));
    EXPECT_EQ(fault, GetParam().fault);
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, TimeIndexFaults,
    ::testing::Values(
        FaultCase{"OtherFile", "offset,utc\n", "not a time index (its first line is not \"KR-8 time index 1\")"},
        FaultCase{"OtherVersion", "KR-8 time index 2\r\n", "not a time index (its first line is not \"KR-8 time index 1\")"},
        FaultCase{"NotNumbers", "KR-8 time index 1\r\n0 1796738400000\r\n40 soon\r\n",
                  "line 3 is not an offset and a time in milliseconds"},
        FaultCase{"NegativeTime", "KR-8 time index 1\r\n0 -5\r\n", "line 2 is not an offset and a time in milliseconds"},
        FaultCase{"FallingOffsets", "KR-8 time index 1\r\n40 1796738400000\r\n0 1796738401000\r\n",
                  "line 3: the offsets fall"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TimeIndex, NoneBesideTheFileIsNoFault) {
    test::TempDir dir;
    std::string fault = "stale";
    EXPECT_FALSE(TimeIndex::load((dir / "archive.003").string(), 100, fault));
    EXPECT_EQ(fault, "");
}

} // namespace
} // namespace cv
