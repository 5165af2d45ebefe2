// The line-load rules with a fake millisecond clock: a line near its capacity for the hold time
// is full, a burst is not, and the wait of the data is told by the status clocks.
#include <gtest/gtest.h>

#include "link/line_load.h"
#include "support/case_name.h"

namespace cv {
namespace {

constexpr int kCom = 1;
constexpr int k9600 = 6;

struct Line {
    LineLoad load;
    uint32_t bytes = 0;
    uint32_t ms = 0;
    // `seconds` one-second ticks, each having received `perSecond` bytes.
    void run(int seconds, uint32_t perSecond, int speedChoice = k9600, bool uploading = false) {
        for (int s = 0; s < seconds; ++s) {
            bytes += perSecond;
            ms += 1000;
            load.sample(bytes, ms, kCom, speedChoice, uploading);
        }
    }
};

struct Capacity {
    int speedChoice;
    uint32_t bytesPerSecond;
};
class LineCapacity : public ::testing::TestWithParam<Capacity> {};
TEST_P(LineCapacity, TenBitsABytePerSecond) {
    EXPECT_EQ(lineBytesPerSecond(GetParam().speedChoice), GetParam().bytesPerSecond);
}
INSTANTIATE_TEST_SUITE_P(Speeds, LineCapacity,
                         ::testing::Values(Capacity{0, 0}, Capacity{1, 60}, Capacity{6, 960}, Capacity{7, 960},
                                           Capacity{11, 11520}),
                         [](const auto& i) { return "Choice" + std::to_string(i.param.speedChoice); });

TEST(LineLoad, FullOnlyAfterTheHoldTimeAndClearsWhenTheRateFalls) {
    Line line;
    line.run(1, 0);
    line.run(10, 960);
    EXPECT_TRUE(line.load.busy());
    EXPECT_FALSE(line.load.full()) << "near capacity, but not yet for ten seconds";
    line.run(1, 960);
    EXPECT_TRUE(line.load.full());
    EXPECT_EQ(line.load.percent(), 100);
    EXPECT_EQ(lineFullText(line.load), "Line full: data late") << "no status has told the wait";
    line.run(3, 300);
    EXPECT_FALSE(line.load.full());
    EXPECT_EQ(lineFullText(line.load), "");
}

TEST(LineLoad, ABurstIsNotAFullLineNorIsAFastLineOrAnUpload) {
    Line line;
    line.run(8, 960);  // eight seconds of a full line, then quiet
    line.run(20, 50);
    EXPECT_FALSE(line.load.full());
    Line fast;
    fast.run(30, 960, 11);  // 960 B/s on a 115200 line is a twelfth of it
    EXPECT_FALSE(fast.load.busy());
    EXPECT_FALSE(fast.load.full());
    Line upload;
    upload.run(30, 950, k9600, true);  // blocks fill the line on purpose
    EXPECT_FALSE(upload.load.full());
}

TEST(LineLoad, TheStatusClockTellsTheWaitAgainstTheOffsetOfAFreeLine) {
    Line line;
    line.run(3, 200);
    line.load.noteStatusOffset(-2);  // the clock's own: two seconds slow
    line.run(15, 960);
    ASSERT_TRUE(line.load.full());
    line.load.noteStatusOffset(-20);
    EXPECT_EQ(line.load.clockOffset(), std::optional<int64_t>(-2)) << "a late status leaves the clock's offset";
    EXPECT_EQ(line.load.lateSeconds(), std::optional<int64_t>(18));
    EXPECT_EQ(lineFullText(line.load), "Line full: data about 18 s late");

    line.load.clockSet();
    EXPECT_FALSE(line.load.lateSeconds()) << "after a set-time the old offset tells nothing";
    line.run(1, 960, 8);
    EXPECT_FALSE(line.load.busy()) << "another speed starts afresh";
}

} // namespace
} // namespace cv
