#include <gtest/gtest.h>

#include "link/command_sender.h"
#include "link/port_map.h"
#include "link/port_slots.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

#include <fstream>

namespace cv {
namespace {

struct SlotFixture : ::testing::Test {
    test::FakeSerialFactory factory;
    test::FakeDialogs dialogs;
    PortSlotTable ports{factory, dialogs};
};

struct SpeedCase {
    int choice;
    LineSettings expected;
};

class SpeedChoiceOpens : public SlotFixture, public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(SpeedChoiceOpens, WithItsLineSettings) {
    EXPECT_EQ(ports.openPortSlot(0, 3, GetParam().choice), GetParam().choice);
    ASSERT_TRUE(ports.isPortOpen(0));
    EXPECT_EQ(factory.line(3)->settings, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, SpeedChoiceOpens,
                         ::testing::Values(SpeedCase{1, {600, 'N', 8, 1}}, SpeedCase{2, {1200, 'N', 8, 1}},
                                           SpeedCase{3, {2400, 'N', 8, 1}}, SpeedCase{4, {4800, 'N', 8, 1}},
                                           SpeedCase{5, {4800, 'E', 7, 1}}, SpeedCase{6, {9600, 'N', 8, 1}},
                                           SpeedCase{7, {9600, 'E', 7, 1}}, SpeedCase{8, {19200, 'N', 8, 1}},
                                           SpeedCase{9, {38400, 'N', 8, 1}}, SpeedCase{10, {57600, 'N', 8, 1}},
                                           SpeedCase{11, {115200, 'N', 8, 1}}, SpeedCase{12, {9600, 'N', 8, 1}},
                                           SpeedCase{99, {9600, 'N', 8, 1}}));

TEST_F(SlotFixture, OffOrNoPortLeavesTheSlotClosed) {
    ports.openPortSlot(0, 2, 6);
    ASSERT_TRUE(ports.isPortOpen(0));
    EXPECT_EQ(ports.openPortSlot(0, 2, 0), 0);
    EXPECT_FALSE(ports.isPortOpen(0));
    EXPECT_EQ(ports.openPortSlot(0, 0, 6), 0);
    EXPECT_FALSE(ports.isPortOpen(0));
    EXPECT_EQ(ports.openPortSlot(0, 13, 6), 0);
    EXPECT_FALSE(ports.isPortOpen(0));
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(SlotFixture, MissingDeviceIsReportedAndTheSlotStaysClosed) {
    factory.line(10)->present = false;
    EXPECT_EQ(ports.openPortSlot(0, 10, 6), 6);
    EXPECT_FALSE(ports.isPortOpen(0));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "Could Not Open COM10");
    EXPECT_EQ(dialogs.boxes[0].text, "COM10 may already be assigned or may not exist");
    // A failed open keeps the new speed.
    EXPECT_EQ(ports.settingsIndex(0), 6);
}

TEST_F(SlotFixture, ClosedSlotDropsWritesAndReadsNothing) {
    const uint8_t b[3] = {1, 2, 3};
    ports.writePort(0, b, 3);
    uint8_t buf[8];
    EXPECT_EQ(ports.readPort(0, buf, sizeof buf), 0u);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(SlotFixture, ReopeningTheSamePortLosesPendingInput) {
    ports.openPortSlot(0, 1, 6);
    factory.line(1)->feed({1, 2, 3});
    ports.openPortSlot(0, 1, 6);
    EXPECT_EQ(factory.line(1)->openCount, 2);
}

TEST_F(SlotFixture, CloseFailureIsReportedAndTheSlotCountsAsClosed) {
    ports.openPortSlot(4, 4, 6);
    factory.line(4)->failClose = true;
    ports.closePortSlot(4);
    EXPECT_FALSE(ports.isPortOpen(4));
    EXPECT_TRUE(dialogs.saw("Comm Error", "Could Not Close Comm  Port"));
}

TEST_F(SlotFixture, SetSpeedFollowsTheBaudAndKeepsUnknownOnes) {
    ports.setPortSpeed(0, 9600, 7);
    EXPECT_EQ(ports.settingsIndex(0), 7);
    ports.setPortSpeed(0, 31250, 8);
    EXPECT_EQ(ports.settingsIndex(0), 7);
    ports.setPortSpeed(0, 4800, 8);
    EXPECT_EQ(ports.settingsIndex(0), 4);
}

TEST_F(SlotFixture, CommandsGoOutOnTheLoggerPortInOneWrite) {
    PortCommandSender sender(ports);
    sender.sendCommand(cmd::kStop);  // closed: dropped
    ports.openPortSlot(0, 1, 6);
    sender.sendCommand(cmd::kBegin);
    sender.sendRaw(kBreakText);
    ASSERT_EQ(factory.line(1)->writes.size(), 2u);
    EXPECT_EQ(factory.line(1)->writes[0], test::bytesOf("02 02 A2 A2 00 00 00 00 00 00 48 01"));
}

TEST(ComDeviceName, UsesTheDeviceNamespaceFromCom9) {
    EXPECT_EQ(comDeviceName(8), "COM8");
    EXPECT_EQ(comDeviceName(10), "\\\\.\\COM10");
}

TEST(PortMap, ReadsFileAndOverridesAndDefaultsToSerialDevices) {
    test::TempDir dir;
    std::ofstream(dir / "comports.cfg") << "# ports\nCOM3=/dev/ttyUSB0\r\n\n4 = /dev/pts/7\n";
    PortMap map;
    ASSERT_TRUE(map.load(dir / "comports.cfg"));
    EXPECT_EQ(map.deviceFor(3), "/dev/ttyUSB0");
    EXPECT_EQ(map.deviceFor(4), "/dev/pts/7");
    EXPECT_EQ(map.deviceFor(1), "/dev/ttyS0");
    ASSERT_TRUE(map.addMapping("3=/dev/ttyACM0"));
    EXPECT_EQ(map.deviceFor(3), "/dev/ttyACM0");
}

TEST(PortMap, RejectsMalformedLinesWithTheirLineNumber) {
    test::TempDir dir;
    std::ofstream(dir / "comports.cfg") << "COM3=/dev/ttyUSB0\nCOM13=/dev/x\n";
    PortMap map;
    std::string error;
    EXPECT_FALSE(map.load(dir / "comports.cfg", &error));
    EXPECT_NE(error.find(":2:"), std::string::npos);
    EXPECT_FALSE(map.addMapping("COM0=/dev/x"));
    EXPECT_FALSE(map.addMapping("COM2="));
    EXPECT_FALSE(map.addMapping("junk"));
}

} // namespace
} // namespace cv
