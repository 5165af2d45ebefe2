// The logger's clock against the PC's over a real pseudo-terminal, in a zone with summer time:
// keeping it in step and sleeping until a wall-clock time. The drift and wake-time arithmetic
// is checked with fake clocks; here the real C runtime and the simulated logger agree on it.
#include <gtest/gtest.h>

#include <QLineEdit>

#include <ctime>

#include "setup_e2e_support.h"

namespace cv {
namespace {

using namespace std::chrono_literals;
using namespace test;

constexpr uint16_t kSetTimeCode = 0xAEAE;

// ---- time keeping ----

struct TimeSyncCase {
    const char* name;
    int64_t loggerOffset;  // logger clock minus the PC's wall clock
    bool automatic;        // "Automatic Time Sync" left checked
    bool now;              // "Synchronize Time Now" chosen
    size_t setTimes;       // set-time commands the logger receives
};

void PrintTo(const TimeSyncCase& c, std::ostream* os) { *os << c.name; }

class TimeSyncEndToEnd : public testing::TestWithParam<TimeSyncCase> {};

TEST_P(TimeSyncEndToEnd, SetTimeReachesTheLoggerOnlyWhenDue) {
    const TimeSyncCase& c = GetParam();
    ZoneGuard zone(kZoneWithSummerTime);
    Kr8SimOptions options;
    options.clockOffsetSeconds = c.loggerOffset;
    SetupE2eRig rig(options);
    ASSERT_TRUE(rig.trigger("MenuAdvanced"));
    if (!c.automatic) {
        ASSERT_TRUE(rig.trigger("MenuAutoTimeUpdate"));
        ASSERT_FALSE(rig.action("MenuAutoTimeUpdate")->isChecked());
    }
    if (c.now) {
        ASSERT_TRUE(rig.trigger("MenuUpdateTimeNow"));
        ASSERT_TRUE(rig.action("MenuUpdateTimeNow")->isChecked());
    }
    ASSERT_TRUE(rig.openLoggerPort());

    if (c.setTimes == 0) {
        ASSERT_TRUE(rig.waitForStatusDisplays(3, 10s));
        EXPECT_TRUE(rig.sim.probe().receivedCommands(kSetTimeCode).empty());
        EXPECT_EQ(rig.sim.logger().clockOffset(), c.loggerOffset);
        EXPECT_TRUE(rig.shown("LBDrift"));
        return;
    }

    ASSERT_TRUE(rig.runUntil([&] { return !rig.sim.probe().receivedCommands(kSetTimeCode).empty(); }, 10s))
        << "no set-time command reached the logger";
    // The logger counts the PC's local wall clock once the set-time is applied.
    EXPECT_NEAR(double(rig.sim.logger().clockOffset()), 0.0, 2.0) << "the logger's clock is not in step after the set-time";

    // Statuses with the corrected clock follow: no drift, and nothing more is sent.
    ASSERT_TRUE(rig.runUntil([&] { return !rig.shown("LBDrift"); }, 5s)) << rig.text("LBDrift").toStdString();
    // A status the logger built in the instant before it applied the set-time may still ask for
    // one more; once the drift is gone nothing more may follow.
    const size_t sentWhileDrifting = rig.sim.probe().receivedCommands(kSetTimeCode).size();
    EXPECT_GE(sentWhileDrifting, c.setTimes);
    EXPECT_LE(sentWhileDrifting, c.automatic ? c.setTimes + 1 : c.setTimes);
    ASSERT_TRUE(rig.waitForStatusDisplays(3, 10s));
    EXPECT_EQ(rig.sim.probe().receivedCommands(kSetTimeCode).size(), sentWhileDrifting);
    EXPECT_FALSE(rig.action("MenuUpdateTimeNow")->isChecked()) << "the one-shot request stays pending";
    EXPECT_EQ(rig.action("MenuAutoTimeUpdate")->isChecked(), c.automatic);

    // Both clocks are shown in the PC's local terms.
    EXPECT_TRUE(showsRecentLocalTime(rig.text("LBDandT"), "%m/%d/%y   %H:%M:%S")) << rig.text("LBDandT").toStdString();
    EXPECT_TRUE(showsRecentLocalTime(rig.text("LBHostDandT"), "%m/%d/%y  %H:%M:%S")) << rig.text("LBHostDandT").toStdString();
}

INSTANTIATE_TEST_SUITE_P(ClockEndToEnd, TimeSyncEndToEnd,
                         testing::Values(TimeSyncCase{"AutomaticCorrectsALoggerAMinuteFast", 60, true, false, 1},
                                         TimeSyncCase{"SynchronizeNowSendsOnce", 30, false, true, 1},
                                         TimeSyncCase{"ManualLeavesTheDriftShown", -60, false, false, 0}),
                         [](const testing::TestParamInfo<TimeSyncCase>& info) { return std::string(info.param.name); });

// ---- sleep ----

TEST(ClockEndToEnd, MooredLoggerSleepsUntilTheEnteredWallClockTime) {
    ZoneGuard zone(kZoneWithSummerTime);
    SetupE2eRig rig;
    ASSERT_TRUE(rig.start("MenuMoored"));
    ASSERT_TRUE(rig.press("BTSleep"));
    ASSERT_TRUE(rig.windowShown("TSleepForm"));
    ASSERT_TRUE(rig.waitForStatusDisplays(1, 5s));
    EXPECT_TRUE(showsRecentLocalTime(rig.text("HostTime") + " " + rig.text("HostDate"), "%H:%M:%S %m/%d/%y"));
    EXPECT_TRUE(showsRecentLocalTime(rig.text("SleepTime") + " " + rig.text("SleepDate"), "%H:%M:%S %m/%d/%y"))
        << "logger clock " << rig.text("SleepTime").toStdString() << " " << rig.text("SleepDate").toStdString();

    const time_t wake = std::time(nullptr) + 120;
    std::tm local{};
    localtime_r(&wake, &local);
    const std::string time = localText(wake, "%H:%M:%S");
    const std::string date = localText(wake, "%m/%d/%y");
    std::tm wall = local;
    const int64_t expectedWake = int64_t(timegm(&wall));  // the entered fields counted as a wall clock

    rig.w<QLineEdit>("METime")->setText(QString::fromStdString(time));
    rig.w<QLineEdit>("MEDate")->setText(QString::fromStdString(date));
    rig.dialogs.answers = {Answer::Ok};
    ASSERT_TRUE(rig.press("SleepButton"));

    ASSERT_TRUE(rig.sim.logger().waitForState(sim::state::kSleeping, 5s)) << "the logger did not go to sleep";
    ASSERT_TRUE(rig.sim.logger().wakeTime().has_value());
    EXPECT_EQ(*rig.sim.logger().wakeTime(), expectedWake) << "entered " << date << " " << time;
    EXPECT_FALSE(rig.windowShown("TSleepForm"));
    EXPECT_TRUE(rig.runUntil([&] { return rig.text("LBOperation") == "Sleeping"; }, 5s)) << rig.text("LBOperation").toStdString();
}

} // namespace
} // namespace cv
