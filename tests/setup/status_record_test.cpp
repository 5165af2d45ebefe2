#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "ports/host_clock.h"
#include "base/logger_time.h"
#include "base/text_format.h"
#include "setup/record_builders.h"
#include "setup/status_record.h"
#include "support/fakes.h"
#include "support/case_name.h"

namespace cv::test {
namespace {

using namespace cv::status;

TEST(StatusTexts, StateNames) {
    EXPECT_EQ(stateText(9), "Standby");
    EXPECT_EQ(stateText(30), "End of Run");
    EXPECT_EQ(stateText(14), "8 volt Limit");
    EXPECT_EQ(stateText(27), "Zero Volt Cutoff");
    EXPECT_EQ(stateText(11), "Invalid Status 0b");
    EXPECT_EQ(stateText(300), "Invalid Status 12c");
    for (int s : {9, 10, 30}) EXPECT_TRUE(isStandbyState(s)) << s;
    for (int s : {2, 6, 8, 0}) EXPECT_FALSE(isStandbyState(s)) << s;
}

TEST(StatusTexts, TimeLeftKeepsHoursAndMinutesTwoWide) {
    EXPECT_EQ(timeLeftText(3725), " 1:02:05");
    EXPECT_EQ(timeLeftText(125), " 2:05");
    EXPECT_EQ(timeLeftText(0), " 0:00");
    EXPECT_EQ(timeLeftText(360000), "100:00:00");
}

TEST(StatusTexts, RunAndPowerReadouts) {
    EXPECT_EQ(powerText(0x03), "Power: 1100 0000");
    EXPECT_EQ(powerText(int16_t(0x80)), "Power: 0000 0001");
    EXPECT_EQ(runNumberText(-1), "Run Number:");
    EXPECT_EQ(runNumberText(7), "Run Number:  007");
    EXPECT_EQ(runStopText(1), "Run/Stop Switch: STOP");
    EXPECT_EQ(runStopText(4), "Run/Stop Switch: Disabled");
    EXPECT_EQ(runStopText(3), "Run/Stop Switch:  Error");
    EXPECT_EQ(voltageText(12345), "12.3 V");
    EXPECT_EQ(memoryText(2047), "1 K");
    EXPECT_EQ(hostTypeText(0x100), "Host:  RS422");
    EXPECT_EQ(hostTypeText(0xFF), "Host:  RS232");
    EXPECT_EQ(analogReadingText(2500), "2.500");
}

TEST(StatusTexts, RunSizeAddsEveryPortWithoutOverflow) {
    StatusFields f;
    f.analogFileSize = 1024;
    f.otherRunBytes = 1024;
    for (auto& s : f.portFileSize) s = 1024;
    EXPECT_EQ(runSizeText(f), "Run File Size:  10 K");
    for (auto& s : f.portFileSize) s = 2000000000;
    EXPECT_EQ(runSizeText(f), "Run File Size:  15625002 K");
}

TEST(StatusTexts, PortAndAnalogReadouts) {
    const PortReadout perRecord = portReadout(-48, 1023);
    EXPECT_EQ(perRecord.rateCaption, "Bytes/Record:");
    EXPECT_EQ(perRecord.rate, "48");
    EXPECT_EQ(perRecord.fileSize, "1023");
    const PortReadout perSecond = portReadout(120, 1024);
    EXPECT_EQ(perSecond.rateCaption, "Bytes/Second:");
    EXPECT_EQ(perSecond.fileSize, "1 K");
    EXPECT_EQ(analogFileSizeText(1024), "1 k");
    EXPECT_EQ(analogFileSizeText(1023), "1023");
}

TEST(StatusTexts, FirmwareBelowSevenIsIncompatible) {
    const uint32_t v690 = (6u << 28) | (90u << 20);
    const uint32_t v700 = 7u << 28;
    EXPECT_TRUE(firmwareIncompatible(v690));
    EXPECT_FALSE(firmwareIncompatible(v700));
    EXPECT_EQ(firmwareWarningText(v690), "This Host Program is incompatible with Firmware Version 6.90");
}

TEST(StatusTexts, PortRowNamesFollowTheMeterOnPortOne) {
    for (int meterType : {1, 3}) {
        const PortRowNames n = portRowNames(meterType);
        EXPECT_EQ(n.portSetup[0], "bq5:");
        EXPECT_EQ(n.portSetup[1], "Port 1:");
        EXPECT_EQ(n.dataStatus[7], "Port 7:");
    }
    const PortRowNames kr8 = portRowNames(2);
    EXPECT_EQ(kr8.portSetup[0], "Port 1:");
    EXPECT_EQ(kr8.dataStatus[7], "Port 8:");
}

class Tracker : public ::testing::Test {
protected:
    FakeClock clock;
    LoggerFacts facts;
    StatusTracker tracker;
    StatusView decode(StatusRecordBuilder b, bool autoSync = true, bool now = false) {
        b.clock(int32_t(clock.seconds));  // UTC fake clock: no drift unless a test says so
        return tracker.decode(b.build(), clock, facts, autoSync, now);
    }
};

TEST_F(Tracker, KeepsStateDeviceAndNameForOtherScreens) {
    decode(StatusRecordBuilder().state(6).deviceType(3));
    EXPECT_EQ(facts.state, 6);
    EXPECT_EQ(facts.deviceType, 3);
    EXPECT_EQ(facts.deviceName, "V-Irov");
    EXPECT_TRUE(facts.hasIntegratedMeter());
    const StatusView v = decode(StatusRecordBuilder().deviceType(9));
    EXPECT_EQ(facts.deviceType, 9);
    EXPECT_EQ(facts.deviceName, "V-Irov") << "an unknown device keeps the last name";
    EXPECT_FALSE(v.captions);
}

TEST_F(Tracker, RowNamesOnlyWhenTheDeviceTypeChanges) {
    EXPECT_TRUE(decode(StatusRecordBuilder().deviceType(2)).rowNames);
    EXPECT_FALSE(decode(StatusRecordBuilder().deviceType(2)).rowNames);
    const StatusView v = decode(StatusRecordBuilder().deviceType(1));
    ASSERT_TRUE(v.rowNames);
    EXPECT_EQ(v.rowNames->portSetup[0], "bq5:");
}

TEST_F(Tracker, RunStopShownOnlyWhenItChanges) {
    StatusView v = decode(StatusRecordBuilder().runStop(0));
    ASSERT_TRUE(v.runStop);
    EXPECT_EQ(v.runStop->visible, std::optional<bool>(false));
    EXPECT_FALSE(decode(StatusRecordBuilder().runStop(0)).runStop);
    v = decode(StatusRecordBuilder().runStop(2));
    EXPECT_EQ(v.runStop->visible, std::optional<bool>(true));
    EXPECT_EQ(v.runStop->text, "Run/Stop Switch: RUN");
    v = decode(StatusRecordBuilder().runStop(-1));
    EXPECT_FALSE(v.runStop->visible) << "a negative value changes the text only";
    EXPECT_EQ(v.runStop->text, "Run/Stop Switch:  Error");
}

TEST_F(Tracker, FirmwareWarningIsGivenOnce) {
    auto old = StatusRecordBuilder().firmware(6, 90, 1, 1, 5);
    const StatusView first = decode(old);
    ASSERT_TRUE(first.firmwareWarning);
    EXPECT_EQ(*first.firmwareWarning, "This Host Program is incompatible with Firmware Version 6.90");
    EXPECT_FALSE(decode(old).firmwareWarning);
    EXPECT_FALSE(StatusTracker().decode(StatusRecordBuilder().firmware(7, 0, 1, 1, 5).build(), clock, facts, false, false)
                     .firmwareWarning);
}

TEST_F(Tracker, LoggerIdOutsideOneTo254AsksForOne) {
    for (int id : {0, 255, -1}) EXPECT_TRUE(decode(StatusRecordBuilder().loggerId(id)).askForLoggerId) << id;
    for (int id : {1, 254}) EXPECT_FALSE(decode(StatusRecordBuilder().loggerId(id)).askForLoggerId) << id;
    EXPECT_EQ(decode(StatusRecordBuilder().loggerId(0)).currentLoggerId, "Current Logger ID:    0");
}

TEST_F(Tracker, MasksGiveInstalledRows) {
    const StatusView v = decode(StatusRecordBuilder().masks(0x0305, 0x41, 0x8));
    EXPECT_TRUE(v.portInstalled[0]);
    EXPECT_FALSE(v.portInstalled[1]);
    EXPECT_TRUE(v.portInstalled[2]);
    EXPECT_TRUE(v.analogInstalled[6]);
    EXPECT_TRUE(v.pumpInstalled[3]);
}

// The RS422 line and the remote host are two bits of their own; either may be set alone.
struct HostBitsCase {
    uint16_t serialMask;
    bool remoteHost;
    const char* hostType;
};
void PrintTo(const HostBitsCase& c, std::ostream* os) { *os << "mask " << c.serialMask; }

class HostBits : public Tracker, public ::testing::WithParamInterface<HostBitsCase> {};

TEST_P(HostBits, GiveTheHostLineAndTheRemoteHostPanel) {
    const StatusView v = decode(StatusRecordBuilder().masks(GetParam().serialMask, 0, 0));
    EXPECT_EQ(v.remoteHostOn, GetParam().remoteHost);
    EXPECT_EQ(v.hostType, GetParam().hostType);
}

INSTANTIATE_TEST_SUITE_P(Masks, HostBits,
                         ::testing::Values(HostBitsCase{0x0000, false, "Host:  RS232"},
                                           HostBitsCase{0x0100, false, "Host:  RS422"},
                                           HostBitsCase{0x0200, true, "Host:  RS232"},
                                           HostBitsCase{0x0305, true, "Host:  RS422"}),
                         [](const auto& i) { return "Mask" + std::to_string(i.param.serialMask); });

TEST_F(Tracker, HostClockTextsOncePerSecondAndLoggerTimeGoesStale) {
    clock.seconds = 1700000000;  // 11/14/23 22:13:20 UTC
    HostClockView v = tracker.hostClockTick(clock);
    ASSERT_TRUE(v.newSecond);
    EXPECT_EQ(v.hostDateTime, "11/14/23  22:13:20");
    EXPECT_EQ(v.hostTime, "22:13:20");
    EXPECT_EQ(v.hostDate, "11/14/23");
    EXPECT_TRUE(v.loggerTimeStale) << "no status yet";
    EXPECT_FALSE(tracker.hostClockTick(clock).newSecond);

    decode(StatusRecordBuilder());
    bool stale = false;
    int seconds = 0;
    while (!stale && seconds < 10) {
        clock.seconds++;
        stale = tracker.hostClockTick(clock).loggerTimeStale;
        ++seconds;
    }
    EXPECT_EQ(seconds, 3) << "two fresh seconds after a status, then yellow";
}

TEST_F(Tracker, AStatusLateFromAFullLineTellsNoDriftAndSetsTheClockOnlyWhenAsked) {
    const auto waited = [&](int64_t seconds) { return StatusRecordBuilder().clock(int32_t(clock.seconds - seconds)).build(); };
    StatusView v = tracker.decode(waited(18), clock, facts, true, false);
    EXPECT_EQ(v.drift, std::optional<std::string>("Drift:  00:00:18 Slow ")) << "unknown lateness reads as drift";
    EXPECT_TRUE(v.setTimeArgument);
    EXPECT_EQ(v.clockOffset, -18);

    v = tracker.decode(waited(18), clock, facts, true, false, StatusTiming{true, -2});
    EXPECT_FALSE(v.drift) << "two seconds off on a free line is within the allowed five";
    EXPECT_FALSE(v.setTimeArgument);
    v = tracker.decode(waited(18), clock, facts, true, false, StatusTiming{true, 30});
    EXPECT_EQ(v.drift, std::optional<std::string>("Drift:  00:00:30 Fast (held)"));
    EXPECT_FALSE(v.setTimeArgument);
    v = tracker.decode(waited(18), clock, facts, true, false, StatusTiming{true, std::nullopt});
    EXPECT_EQ(v.drift, std::optional<std::string>("Drift:  --:--:-- (line full)"));
    v = tracker.decode(waited(18), clock, facts, false, true, StatusTiming{true, std::nullopt});
    EXPECT_EQ(v.setTimeArgument, std::optional<uint32_t>(uint32_t(clock.seconds))) << "the PC's time, asked for";
}

// Time conversions under a zone with daylight saving in effect and under UTC.
struct Zone {
    const char* name;
    long offsetWest;
    bool dst;
};
class ZonedTime : public ::testing::TestWithParam<Zone> {
protected:
    void SetUp() override {
        clock.offsetWestSeconds = GetParam().offsetWest;
        clock.dst = GetParam().dst;
    }
    // The logger's clock `ahead` seconds off the PC's local wall clock.
    StatusView statusAhead(int64_t ahead, bool autoSync = true, bool now = false) {
        const int64_t wall = loggerClockOfPcTime(clock.seconds, zoneAt(clock, clock.seconds));
        return tracker.decode(StatusRecordBuilder().clock(int32_t(wall + ahead)).build(), clock, facts, autoSync, now);
    }
    FakeClock clock;
    LoggerFacts facts;
    StatusTracker tracker;
};

TEST_P(ZonedTime, LoggerWallClockShowsAsTheLoggerKeepsIt) {
    const int64_t wall = 1700000000;  // 11/14/23 22:13:20 on the logger's own clock
    const StatusView v =
        tracker.decode(StatusRecordBuilder().clock(int32_t(wall)).build(), clock, facts, false, false);
    EXPECT_EQ(v.loggerDateTime, "11/14/23   22:13:20");
    EXPECT_EQ(v.sleepTime, "22:13:20");
    EXPECT_EQ(v.sleepDate, "11/14/23");
    EXPECT_EQ(v.loggerInPc, wall + GetParam().offsetWest - (GetParam().dst ? 3600 : 0));
}

TEST_P(ZonedTime, DriftAndAutomaticSyncBeyondFiveSeconds) {
    StatusView v = statusAhead(4);
    EXPECT_FALSE(v.drift);
    EXPECT_FALSE(v.setTimeArgument);
    v = statusAhead(5);
    EXPECT_EQ(v.drift, std::optional<std::string>("Drift:  00:00:05 Fast "));
    EXPECT_FALSE(v.setTimeArgument) << "exactly five seconds sends nothing";
    v = statusAhead(6);
    EXPECT_EQ(v.drift, std::optional<std::string>("Drift:  00:00:06 Fast "));
    ASSERT_TRUE(v.setTimeArgument);
    const int64_t localNow = clock.seconds - GetParam().offsetWest + (GetParam().dst ? 3600 : 0);
    EXPECT_EQ(*v.setTimeArgument, uint32_t(localNow));
    v = statusAhead(-3725);
    EXPECT_EQ(v.drift, std::optional<std::string>("Drift:  01:02:05 Slow "));
    EXPECT_TRUE(v.setTimeArgument);
}

TEST_P(ZonedTime, SyncNowSendsEvenWithoutDriftAndAutoOffSendsNothing) {
    EXPECT_TRUE(statusAhead(0, false, true).setTimeArgument);
    EXPECT_FALSE(statusAhead(100, false, false).setTimeArgument);
}

INSTANTIATE_TEST_SUITE_P(Zones, ZonedTime,
                         ::testing::Values(Zone{"Utc", 0, false}, Zone{"EasternSummer", 18000, true},
                                           Zone{"CentralEuropeWinter", -3600, false}),
                         [](const auto& info) { return info.param.name; });

// The real C runtime clock with a zone set through TZ.
class RealZone : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) m_saved = tz;
    }
    void TearDown() override {
        if (m_saved)
            setenv("TZ", m_saved->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    void useZone(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }
    SystemClock clock;

private:
    std::optional<std::string> m_saved;
};

TEST_F(RealZone, EasternZoneSummerAndWinter) {
    useZone("EST5EDT,M3.2.0,M11.1.0");
    const int64_t summer = 1688212800;  // 2023-07-01 12:00 UTC, 08:00 EDT
    const int64_t winter = 1673784000;  // 2023-01-15 12:00 UTC, 07:00 EST
    const ZoneState s = zoneAt(clock, summer);
    EXPECT_EQ(s.offsetWest, 18000);
    EXPECT_TRUE(s.dst);
    EXPECT_EQ(loggerClockOfPcTime(summer, s), summer - 4 * 3600);
    EXPECT_EQ(formatTime("%H:%M", wallClockFields(loggerClockOfPcTime(summer, s))), "08:00");
    EXPECT_EQ(pcTimeOfLoggerClock(loggerClockOfPcTime(summer, s), s), summer);
    const ZoneState w = zoneAt(clock, winter);
    EXPECT_FALSE(w.dst);
    EXPECT_EQ(formatTime("%H:%M", wallClockFields(loggerClockOfPcTime(winter, w))), "07:00");
    // The C runtime's own local calendar fields, read back as if they were UTC, are the wall clock.
    const std::time_t t = std::time_t(summer);
    std::tm local{};
    localtime_r(&t, &local);
    EXPECT_EQ(loggerClockOfPcTime(summer, s), int64_t(timegm(&local))) << "agrees with the C runtime's local time";
}

TEST_F(RealZone, UtcNeedsNoCorrection) {
    useZone("UTC0");
    const ZoneState z = zoneAt(clock, 1688212800);
    EXPECT_EQ(z.offsetWest, 0);
    EXPECT_FALSE(z.dst);
    EXPECT_EQ(loggerClockOfPcTime(1688212800, z), 1688212800);
}

TEST_F(RealZone, StatusDecodedWithTheSystemClockShowsTheLoggerWallClock) {
    useZone("EST5EDT,M3.2.0,M11.1.0");
    LoggerFacts facts;
    StatusTracker tracker;
    const int64_t wall = loggerClockOfPcTime(clock.now(), zoneAt(clock, clock.now()));
    const StatusView v = tracker.decode(StatusRecordBuilder().clock(int32_t(wall)).build(), clock, facts, true, false);
    EXPECT_EQ(v.loggerDateTime, formatTime("%m/%d/%y   %H:%M:%S", wallClockFields(wall)));
    EXPECT_FALSE(v.drift);
    EXPECT_FALSE(v.setTimeArgument);
}

} // namespace
} // namespace cv::test
