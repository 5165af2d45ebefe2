#include <gtest/gtest.h>

#include "link/command_sender.h"
#include "link/port_map.h"
#include "link/port_slots.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "support/case_name.h"

#include <fstream>
#include <functional>

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
                                           SpeedCase{99, {9600, 'N', 8, 1}}),
                         [](const auto& i) { return "Choice" + std::to_string(i.param.choice); });

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

struct WriteCase {
    const char* name;
    std::function<void(test::FakeLine&, PortSlotTable&)> arrange;
    size_t bytesOut;  // what reached the line
    bool wentOut;
    friend void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }
};

class WriteResult : public SlotFixture, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteResult, TellsWhetherEveryByteWasQueued) {
    ports.openPortSlot(0, 1, 6);
    GetParam().arrange(*factory.line(1), ports);
    PortCommandSender sender(ports);
    EXPECT_EQ(sender.sendCommand(cmd::kBegin), GetParam().wentOut);
    EXPECT_EQ(factory.line(1)->written().size(), GetParam().bytesOut);
    EXPECT_TRUE(dialogs.boxes.empty()) << "the caller decides what to say";
}

INSTANTIATE_TEST_SUITE_P(
    Slot, WriteResult,
    ::testing::Values(WriteCase{"open", [](test::FakeLine&, PortSlotTable&) {}, 12, true},
                      WriteCase{"closed", [](test::FakeLine&, PortSlotTable& p) { p.closePortSlot(0); }, 0, false},
                      WriteCase{"lost", [](test::FakeLine& l, PortSlotTable&) { l.unplug(); }, 0, false},
                      WriteCase{"refused", [](test::FakeLine& l, PortSlotTable&) { l.refuseWrites = true; }, 0, false},
                      WriteCase{"queueFull", [](test::FakeLine& l, PortSlotTable&) { l.writeRoom = 5; }, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SlotFixture, LostSlotKeepsItsPortAndComesBackSilentlyWithItsSettings) {
    ports.openPortSlot(0, 3, 11);
    auto line = factory.line(3);
    line->unplug();
    EXPECT_TRUE(ports.isPortLost(0));
    EXPECT_TRUE(ports.isPortOpen(0));
    EXPECT_EQ(ports.openComNumber(0), 3);
    uint8_t buf[8];
    line->feed({1, 2, 3});
    EXPECT_EQ(ports.readPort(0, buf, sizeof buf), 0u);
    line->input.clear();
    EXPECT_FALSE(ports.retryLostPort(0)) << "still away";
    EXPECT_FALSE(ports.retryLostPort(1)) << "a closed slot is not lost";

    line->plugIn();
    line->settings = {};
    EXPECT_TRUE(ports.retryLostPort(0));
    EXPECT_FALSE(ports.isPortLost(0));
    EXPECT_EQ(line->settings, (LineSettings{115200, 'N', 8, 1}));
    EXPECT_EQ(line->openCount, 2);
    const uint8_t b[2] = {7, 8};
    EXPECT_TRUE(ports.writePort(0, b, 2));
    EXPECT_FALSE(ports.retryLostPort(0)) << "nothing to retry";
    EXPECT_EQ(line->openCount, 2);
    EXPECT_TRUE(dialogs.boxes.empty());
}

// Retries come every two seconds from the loss on, however many found nothing, and the
// device is taken back at the first one after it returned.
TEST_F(SlotFixture, LostDeviceIsRetriedEveryTwoSeconds) {
    ports.openPortSlot(0, 3, 11);
    auto line = factory.line(3);
    line->unplug();
    std::vector<int> tries;
    for (int second = 1; second <= 6; ++second) {
        const int before = line->reopenTries;
        EXPECT_FALSE(ports.retryLostPortWhenDue(0));
        if (line->reopenTries != before) tries.push_back(second);
    }
    EXPECT_EQ(tries, (std::vector<int>{2, 4, 6}));
    line->plugIn();
    EXPECT_FALSE(ports.retryLostPortWhenDue(0));
    EXPECT_TRUE(ports.retryLostPortWhenDue(0)) << "back at second 8";
    EXPECT_FALSE(ports.isPortLost(0));
}

struct LeaveCase {
    const char* name;
    std::function<void(PortSlotTable&)> choose;
    bool openAfter;
    friend void PrintTo(const LeaveCase& c, std::ostream* os) { *os << c.name; }
};

class ChoosingAPortEndsTheLostState : public SlotFixture, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(ChoosingAPortEndsTheLostState, AndNoRetryTouchesTheOldDevice) {
    ports.openPortSlot(0, 3, 6);
    factory.line(3)->unplug();
    ASSERT_TRUE(ports.isPortLost(0));
    GetParam().choose(ports);
    EXPECT_FALSE(ports.isPortLost(0));
    EXPECT_EQ(ports.isPortOpen(0), GetParam().openAfter);
    factory.line(3)->plugIn();
    EXPECT_FALSE(ports.retryLostPort(0));
    EXPECT_EQ(factory.line(3)->openCount, 1);
    EXPECT_TRUE(dialogs.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Slot, ChoosingAPortEndsTheLostState,
                         ::testing::Values(LeaveCase{"another", [](PortSlotTable& p) { p.openPortSlot(0, 4, 6); }, true},
                                           LeaveCase{"none", [](PortSlotTable& p) { p.openPortSlot(0, 0, 6); }, false},
                                           LeaveCase{"off", [](PortSlotTable& p) { p.openPortSlot(0, 3, 0); }, false},
                                           LeaveCase{"close", [](PortSlotTable& p) { p.closePortSlot(0); }, false}),
                         [](const auto& info) { return std::string(info.param.name); });

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
    EXPECT_FALSE(sender.sendCommand(cmd::kStop));  // closed: nothing goes out
    ports.openPortSlot(0, 1, 6);
    EXPECT_TRUE(sender.sendCommand(cmd::kBegin));
    EXPECT_TRUE(sender.sendRaw(kBreakText));
    ASSERT_EQ(factory.line(1)->writes.size(), 2u);
    EXPECT_EQ(factory.line(1)->writes[0], test::bytesOf("02 02 A2 A2 00 00 00 00 00 00 48 01"));
}

struct DeviceNameCase {
    int com;
    std::string name;
    friend void PrintTo(const DeviceNameCase& c, std::ostream* os) { *os << "COM" << c.com << " -> " << c.name; }
};

class ComDeviceName : public ::testing::TestWithParam<DeviceNameCase> {};

TEST_P(ComDeviceName, UsesTheDeviceNamespaceFromCom9) { EXPECT_EQ(comDeviceName(GetParam().com), GetParam().name); }

INSTANTIATE_TEST_SUITE_P(Numbers, ComDeviceName,
                         ::testing::Values(DeviceNameCase{0, "COMX"}, DeviceNameCase{1, "COM1"}, DeviceNameCase{8, "COM8"},
                                           DeviceNameCase{9, "\\\\.\\COM9"}, DeviceNameCase{10, "\\\\.\\COM10"},
                                           DeviceNameCase{12, "\\\\.\\COM12"}, DeviceNameCase{13, "COMX"}),
                         [](const auto& info) { return "COM" + std::to_string(info.param.com); });

TEST(PortMap, ReadsFileAndOverridesAndDefaultsToSerialDevices) {
    test::TempDir dir;
    std::ofstream(dir / "comports.cfg")
        << "# ports\nCOM3=/dev/ttyUSB0\r\n\n4 = /dev/pts/7\nCOM10=/dev/ttyUSB1\ncom11=/dev/ttyUSB2\n12=/dev/ttyUSB3\n";
    PortMap map;
    std::string error;
    ASSERT_TRUE(map.load(dir / "comports.cfg", &error)) << error;
    EXPECT_EQ(map.deviceFor(3), "/dev/ttyUSB0");
    EXPECT_EQ(map.deviceFor(4), "/dev/pts/7");
    EXPECT_EQ(map.deviceFor(10), "/dev/ttyUSB1");
    EXPECT_EQ(map.deviceFor(11), "/dev/ttyUSB2");
    EXPECT_EQ(map.deviceFor(12), "/dev/ttyUSB3");
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
