#include <gtest/gtest.h>

#include "link/supervision.h"

namespace cv {
namespace {

TEST(ComStatus, DescribesPortAndSpeed) {
    EXPECT_EQ(comStatusText(1, 6), "COM1 @ 9600 Baud");
    EXPECT_EQ(comStatusText(0, 0), "No Port is OFF");
    EXPECT_EQ(comStatusText(12, 7), "COM12 @ 9600,7,E,1");
    EXPECT_EQ(comStatusText(3, 5), "COM3 @ 4800,7,E,1");
    EXPECT_EQ(comStatusText(3, 11), "COM3 @ 115200 Baud");
    EXPECT_EQ(comStatusText(3, 12), "COM3 @ Unknown Baud");
    EXPECT_EQ(comStatusText(3, -1), "COM3 @ Unknown Baud");
    EXPECT_EQ(loggerPortPanelText(4), "Logger Port: COM4");
}

struct Line {
    LinkCounters counters;
    LinkSupervisor sup;
    // One second of the link: bytes arrive or not, a packet frames or not.
    SecondReport second(bool bytes, bool packet, int port = 1, int speed = 6) {
        for (int tick = 0; tick < 200; ++tick) {
            int result = kNothingRead;
            if (bytes && tick == 100) {
                counters.bytesReceived += 40;
                result = kBytesNoPacket;
                if (packet) {
                    counters.packetsFramed++;
                    result = kPacketFramed;
                }
            }
            sup.countTick();
            sup.afterReceive(result);
        }
        return sup.secondTick(counters, port, speed, 0);
    }
};

TEST(Supervision, SilentPortTurnsRedInTheThirdSecondAndEveryThirdAfter) {
    Line l;
    std::vector<int> silentSeconds;
    for (int s = 1; s <= 9; ++s) {
        SecondReport r = l.second(false, false);
        if (r.portSilent) silentSeconds.push_back(s);
        EXPECT_FALSE(r.nonFraming) << "second " << s;
        EXPECT_EQ(r.autoBaudChoice, -1);
    }
    EXPECT_EQ(silentSeconds, (std::vector<int>{3, 6, 9}));
}

TEST(Supervision, SilentPortWithNoPortChosenIsNotColoured) {
    Line l;
    for (int s = 1; s <= 3; ++s) EXPECT_FALSE(l.second(false, false, 0).portSilent);
}

TEST(Supervision, BytesThatNeverFrameTurnSpeedRedInTheFourthSecond) {
    Line l;
    for (int s = 1; s <= 3; ++s) EXPECT_FALSE(l.second(true, false).nonFraming);
    EXPECT_TRUE(l.second(true, false).nonFraming);
}

// An upload block at 600 baud is 17 s on the line: while its bytes are still due, the seconds
// without a framed packet do not say the speed is wrong.
TEST(Supervision, PacketStillArrivingIsNotBadData) {
    Line l;
    LinkCounters& c = l.counters;
    for (int s = 1; s <= 20; ++s) {
        c.bytesReceived += 60;
        const SecondReport r = l.sup.secondTick(c, 1, 1, 0, true);
        EXPECT_FALSE(r.nonFraming) << "second " << s;
        EXPECT_FALSE(r.portSilent) << "second " << s;
    }
}

TEST(Supervision, AutoBaudStepsInTheSixthSecondThenWalksDownSixSecondsApartAndWraps) {
    Line l;
    l.sup.setAutoBaud(true);
    int speed = 6;  // switching it on leaves the box at the speed the line has
    std::vector<int> steps;
    std::vector<int> at;
    for (int s = 1; s <= 6 * 13; ++s) {
        SecondReport r = l.second(true, false, 1, speed);
        if (r.autoBaudChoice >= 0) {
            speed = r.autoBaudChoice;
            steps.push_back(speed);
            at.push_back(s);
        }
    }
    EXPECT_EQ(steps, (std::vector<int>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 11, 10, 9}));
    ASSERT_FALSE(at.empty());
    EXPECT_EQ(at.front(), 6);
    for (size_t i = 1; i < at.size(); ++i) EXPECT_EQ(at[i] - at[i - 1], 6);
}

TEST(Supervision, FramedPacketEndsAutoBaudAtOnce) {
    Line l;
    l.sup.setAutoBaud(true);
    EXPECT_TRUE(l.sup.afterReceive(kPacketFramed));
    EXPECT_FALSE(l.sup.autoBaud());
    EXPECT_EQ(l.sup.badDataCountdown(), 3);
}

TEST(Supervision, MaxBytesPerPacketResetsEachSecondButKeepsTheLargestEver) {
    Line l;
    l.counters.largestMuxThisSecond = 120;
    SecondReport r = l.second(true, true);
    EXPECT_EQ(r.statisticsLines[3], "Max Bytes/Packet: 120   120");
    r = l.second(true, true);
    EXPECT_EQ(r.statisticsLines[3], "Max Bytes/Packet: 0   120");
}

TEST(Supervision, StatisticsLinesShowTheSecondsCounts) {
    Line l;
    SecondReport r = l.second(true, true);
    EXPECT_EQ(r.statisticsLines[0], "Bytes/Sec:  40");
    EXPECT_EQ(r.statisticsLines[1], "Total Input: 40");
    EXPECT_EQ(r.statisticsLines[2], "Packets/Sec:  1");
    EXPECT_EQ(r.statisticsLines[6], "Loops: 200 ");
    EXPECT_EQ(r.statisticsLines[7], "No Data Timer: 002");
    EXPECT_EQ(r.statisticsLines[8], "Bad Data Timer: 003");
    r = l.second(false, false);
    EXPECT_FALSE(r.bytesFlowed);
    EXPECT_EQ(r.statisticsLines[7], "No Data Timer: 001");
    EXPECT_EQ(r.statisticsLines[8], "Bad Data Timer: 002");
}

} // namespace
} // namespace cv
