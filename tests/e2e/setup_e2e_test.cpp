// The logger setup from the operator's controls to the simulated logger's memory and back,
// over a real pseudo-terminal.
#include <gtest/gtest.h>

#include <QCheckBox>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "base/bytes.h"
#include "link/link_screen_qt.h"
#include "widgets/colours.h"
#include "setup_e2e_support.h"
#include "support/logger_line.h"

namespace cv {
namespace {

using namespace std::chrono_literals;
using namespace test;

constexpr uint16_t kGetSetupCode = 0xACAC;

std::string byteDifferences(const uint8_t* got, const uint8_t* want, size_t n) {
    std::ostringstream out;
    for (size_t i = 0; i < n; ++i) {
        if (got[i] == want[i]) continue;
        char line[64];
        std::snprintf(line, sizeof line, "  offset %zu: got 0x%02X, expected 0x%02X\n", i, got[i], want[i]);
        out << line;
    }
    return out.str();
}

// The line settings the host left on the pseudo-terminal, read from a second descriptor.
speed_t lineSpeedOf(const std::string& device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return B0;
    termios tio{};
    const speed_t speed = tcgetattr(fd, &tio) == 0 ? cfgetospeed(&tio) : B0;
    ::close(fd);
    return speed;
}

// ---- getting the setup ----

// A setup with something to notice in every field the screen shows; the reserved bytes keep the
// simulator's non-zero values.
sim::SetupRecord distinctiveSetup() {
    sim::SetupRecord s = sim::defaultSetup();
    uint8_t* p = s.data();
    putI16le(p + at::kMode, 12);  // Polled Moored Mode
    putU32le(p + at::kHourMask, (1u << 1) | (1u << 8) | (1u << 19));
    const int32_t schedule[6] = {0, 90, 120, 30, 7200, 86400};
    for (size_t i = 0; i < 6; ++i) putI32le(p + at::kSchedule + 4 * i, schedule[i]);
    const PortEntry ports[9] = {{0, 19200, 8, 0}, {1, 19200, 8, 0}, {2, 9600, 8, 0},  {6, 4800, 7, 2},  {7, 0, 7, 0},
                                {3, 0, 8, 0},     {0, 9600, 8, 0},  {12, 115200, 8, 0}, {13, 38400, 8, 0}};
    // The host port's and an unused port's cut-offs are higher, but only used ports count.
    const int16_t cutOff[9] = {140, 70, 95, 70, 70, 70, 120, 70, 70};
    for (int e = 0; e < 9; ++e) {
        putPort(s, e, ports[e]);
        putI16le(p + at::kCutOff + 2 * size_t(e), cutOff[e]);
    }
    const int16_t analog[7] = {1, 0, 2, 0, 1, 0, 2};
    for (size_t c = 0; c < 7; ++c) putI16le(p + at::kAnalog + 2 * c, analog[c]);
    const int16_t pumps[4] = {1, 0, 0, 3};
    for (size_t k = 0; k < 4; ++k) putI16le(p + at::kPump + 2 * k, pumps[k]);
    putI16le(p + at::kRate, 0);
    putI16le(p + at::kOutput, 4);
    putI16le(p + at::kFile, 0);
    putI16le(p + at::kAutoStart, 1);
    putI16le(p + at::kTimeSource, 2);
    frameBlock(p, at::kLength, 1);
    return s;
}

TEST(SetupEndToEnd, GetSetupShowsTheLoggersSetupAndTheLinkFollowsItsHostPort) {
    SetupE2eRig rig;
    rig.sim.logger().setSetup(distinctiveSetup());
    ASSERT_TRUE(rig.start("MenuAdvanced"));
    EXPECT_EQ(rig.text("PStore"), "Setup is Not Current");

    ASSERT_TRUE(rig.press("BTGetSetup1"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.text("PStore") == "Setup is Current"; }, 10s)) << rig.text("PStore").toStdString();
    EXPECT_EQ(shownColour(rig.w<QWidget>("PStore")), QColor(0xC0, 0xC0, 0xC0));

    const char* const typeTexts[8] = {"BQ5", "MFX", "GPS", "Pump", "ASCII", "OFF", "Wake / Binary", ""};
    const char* const speedTexts[8] = {"19200", "9600", "4800,7,E,1", "ON", "OFF", "OFF", "115200", "38400"};
    const char* const dataStatusNames[8] = {"bq5", "mfx", "GPS", "Pump", "ASCII", "Off", "Wake-Binary", "CV-Logger"};
    for (int n = 1; n <= 8; ++n) {
        SCOPED_TRACE("port " + std::to_string(n));
        const std::string meter = "ComboMeter" + std::to_string(n);
        const std::string speed = "CBPort" + std::to_string(n) + "Setup";
        const std::string type = "M" + std::to_string(n) + "TypeLabel";
        EXPECT_EQ(rig.combo(meter.c_str())->currentText(), typeTexts[n - 1]);
        EXPECT_EQ(rig.combo(speed.c_str())->currentText(), speedTexts[n - 1]);
        EXPECT_EQ(rig.text(type.c_str()), dataStatusNames[n - 1]);
    }
    EXPECT_EQ(rig.combo("ComboMeter8")->currentIndex(), -1) << "a CV-Logger port has no item to show";

    struct Row {
        const char* spinner;
        const char* unit;
        int number;
        const char* unitText;
    };
    const Row schedule[] = {{"DelayUD", "DelayCombo", 0, "Seconds"},      {"PreFlushUD", "PreFlushCombo", 90, "Seconds"},
                            {"WarmupUD", "WarmupCombo", 2, "Minutes"},    {"FlushUD", "FlushCombo", 30, "Seconds"},
                            {"SampleUD", "SampleCombo", 2, "Hours"},      {"IntervalUD", "IntervalCombo", 24, "Hours"}};
    for (const Row& r : schedule) {
        SCOPED_TRACE(r.spinner);
        EXPECT_EQ(rig.spinner(r.spinner)->value(), r.number);
        EXPECT_EQ(rig.combo(r.unit)->currentText(), r.unitText);
    }

    const int analog[7] = {1, 0, 2, 0, 1, 0, 2};
    for (int c = 1; c <= 7; ++c)
        EXPECT_EQ(rig.combo(("CBAnalog" + std::to_string(c)).c_str())->currentIndex(), analog[c - 1]) << "analog " << c;
    const int pumps[4] = {1, 0, 0, 3};
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(rig.combo(("CBPump" + std::to_string(k)).c_str())->currentIndex(), pumps[k - 1]) << "pump " << k;
    EXPECT_EQ(rig.combo("CBPump4")->currentText(), "Purge 1000 ms");

    EXPECT_EQ(rig.combo("ModeCB")->currentText(), "Polled Moored Mode");
    EXPECT_EQ(rig.combo("OutputCB")->currentText(), "Output Logger Port 1");
    EXPECT_EQ(rig.combo("FileCB")->currentText(), "No Data Storage");
    EXPECT_EQ(rig.combo("TimeSourceCB")->currentText(), "GPS Time");
    EXPECT_TRUE(rig.w<QCheckBox>("CBAutoStart")->isChecked());
    EXPECT_EQ(rig.spinner("UDLVCutOff")->value(), 95);
    EXPECT_EQ(rig.spinner("UDAnalogRate")->value(), 1);

    // A polled moored logger: once-per-hour column, polled buttons, sleep button.
    EXPECT_EQ(rig.text("LoggerMode"), "Polled-Moored Logging");
    for (const char* name : {"SOPH2", "AOPH1", "POPH4"}) {
        EXPECT_TRUE(rig.w<QCheckBox>(name)->isChecked()) << name;
        EXPECT_TRUE(rig.reachable(rig.w<QWidget>(name), name));
    }
    for (const char* name : {"SOPH1", "SOPH3", "AOPH2", "POPH1"}) EXPECT_FALSE(rig.w<QCheckBox>(name)->isChecked()) << name;
    for (const char* name : {"Button1", "Button2", "BTSleep"}) EXPECT_TRUE(rig.reachable(rig.w<QWidget>(name), name));

    // The logger's host port runs at 19200: both speed choices show it and the line follows.
    EXPECT_EQ(rig.combo("CBHostPortSetup")->currentText(), "19200");
    EXPECT_EQ(rig.form.linkScreen()->LoggerSetupCB->currentText(), "19200");
    EXPECT_EQ(lineSpeedOf(rig.sim.line().devicePath()), speed_t(B19200));
    EXPECT_TRUE(rig.runUntil([&] { return rig.text("COMStatus") == "COM1 @ 19200 Baud"; }, 5s))
        << rig.text("COMStatus").toStdString();
    EXPECT_TRUE(rig.waitForStatusDisplays(1, 5s)) << "statuses stopped after the port was reopened";
}

// ---- sending it back ----

TEST(SetupEndToEnd, SendSetupCarriesTheEditsAndReturnsEveryReservedByte) {
    SetupE2eRig rig;
    ASSERT_TRUE(rig.start("MenuAdvanced"));
    ASSERT_TRUE(rig.press("BTGetSetup1"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.text("PStore") == "Setup is Current"; }, 10s));
    const sim::SetupRecord original = rig.sim.logger().setup();

    ASSERT_TRUE(rig.choose("ComboMeter3", 3));    // ASCII
    ASSERT_TRUE(rig.choose("CBPort3Setup", 9));   // 38400
    ASSERT_TRUE(rig.spin("SampleUD", 10));
    ASSERT_TRUE(rig.choose("SampleCombo", 0));    // Seconds
    ASSERT_TRUE(rig.choose("ModeCB", 1));         // Moored Mode
    ASSERT_TRUE(rig.press("SOPH2"));              // port 2 once per hour
    EXPECT_EQ(rig.text("PStore"), "Setup is Not Current");

    rig.sim.probe().clearReceived();
    ASSERT_TRUE(rig.press("BTSendSetup1"));
    const auto block = rig.sim.probe().waitForBlock(1, 5s);
    ASSERT_TRUE(block.has_value()) << "no setup block reached the logger";
    ASSERT_EQ(block->bytes.size(), at::kLength);
    EXPECT_EQ(rig.sim.probe().receivedSetups().size(), 1u);
    EXPECT_EQ(rig.text("PStore"), "Setup is Not Current") << "sending does not make the setup current";

    // Expected: the logger's record with only the host's fields patched.
    sim::SetupRecord expected = original;
    uint8_t* e = expected.data();
    putI16le(e + at::kMode, 1);
    putU32le(e + at::kHourMask, 1u << 1);
    putI32le(e + at::kSchedule + 4 * 4, 10);
    putPort(expected, 3, {3, 38400, 8, 0});
    putI16le(e + at::kReserved144, 0);
    putI16le(e + at::kTimeSource, 0);
    frameBlock(e, at::kLength, 1);

    const uint8_t* got = block->bytes.data();
    // Every byte the host does not own, reserved ones included, goes back as the logger sent it.
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), got))
        << "setup block differs:\n" << byteDifferences(got, expected.data(), at::kLength);

    // The logger now holds the edits; reading them back shows them and makes the setup current.
    ASSERT_TRUE(rig.press("BTGetSetup2"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.text("PStore") == "Setup is Current"; }, 10s));
    EXPECT_EQ(rig.combo("ComboMeter3")->currentText(), "ASCII");
    EXPECT_EQ(rig.combo("CBPort3Setup")->currentText(), "38400");
    EXPECT_EQ(rig.spinner("SampleUD")->value(), 10);
    EXPECT_EQ(rig.combo("ModeCB")->currentText(), "Moored Mode");
    EXPECT_TRUE(rig.w<QCheckBox>("SOPH2")->isChecked());
}

TEST(SetupEndToEnd, IntegratedMeterPortGoesOutAsA19200Bq5) {
    Kr8SimOptions options;
    options.deviceType = 1;  // bq5Plus: the meter sits on port 1
    SetupE2eRig rig(options);
    ASSERT_TRUE(rig.start("MenuAdvanced"));
    ASSERT_TRUE(rig.press("BTGetSetup1"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.text("PStore") == "Setup is Current"; }, 10s));
    const sim::SetupRecord original = rig.sim.logger().setup();

    ASSERT_TRUE(rig.choose("ComboMeter1", 2));   // MFX
    ASSERT_TRUE(rig.choose("CBPort1Setup", 6));  // 9600
    ASSERT_TRUE(rig.choose("ModeCB", 5));        // Run Logger Port 2
    rig.sim.probe().clearReceived();
    ASSERT_TRUE(rig.press("BTSendSetup1"));
    const auto block = rig.sim.probe().waitForBlock(1, 5s);
    ASSERT_TRUE(block.has_value());
    EXPECT_EQ(rig.combo("CBPort1Setup")->currentText(), "19200");

    sim::SetupRecord expected = original;
    putI16le(expected.data() + at::kMode, 5);
    putPort(expected, 1, {1, 19200, 8, 0});
    putI16le(expected.data() + at::kReserved144, 0);
    putI16le(expected.data() + at::kTimeSource, 0);
    frameBlock(expected.data(), at::kLength, 1);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), block->bytes.begin()))
        << "setup block differs:\n" << byteDifferences(block->bytes.data(), expected.data(), at::kLength);
}

// ---- stop ----

// The host port speed comes from the logger's setup; which text each speed needs is checked on
// the screen alone, the logger's reading of it with the simulator alone.
TEST(SetupEndToEnd, StopEndsSamplingAndTheMarkerFollowsTheLoggersState) {
    SetupE2eRig rig;
    ASSERT_TRUE(rig.start("MenuAdvanced"));
    ASSERT_TRUE(rig.press("BTGetSetup1"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.text("PStore") == "Setup is Current"; }, 10s));

    ASSERT_TRUE(rig.press("BTBegin"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.text("LBOperation") == "Sampling"; }, 10s));

    // The setup marker asks for the setup only in a standby state.
    rig.sim.probe().clearReceived();
    ASSERT_TRUE(rig.clickPanel("PStore"));
    EXPECT_TRUE(rig.dialogs.saw("Unable to Complete Command", "The Logger Must be in Standby before Sending a new Logger Setup"));

    ASSERT_TRUE(rig.press("BTStop"));
    EXPECT_EQ(rig.combo("CBHostPortSetup")->currentText(), "9600");
    ASSERT_TRUE(rig.sim.probe().waitForText("BREAKBREAKBREAK", 5s));
    EXPECT_TRUE(rig.sim.probe().receivedCommands(kGetSetupCode).empty()) << "the marker asked a sampling logger for its setup";
    ASSERT_TRUE(rig.runUntil([&] { return rig.text("LBOperation") == "End of Run"; }, 10s))
        << rig.text("LBOperation").toStdString();

    ASSERT_TRUE(rig.clickPanel("PStore"));
    EXPECT_TRUE(rig.sim.probe().waitForCommand(kGetSetupCode, 5s).has_value()) << "End of Run is a standby state";
}

} // namespace
} // namespace cv
