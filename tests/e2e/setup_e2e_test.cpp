// The logger setup, status and clock keeping, from the operator's controls to the simulated
// logger's memory and back, over a real pseudo-terminal.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QRegularExpression>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <vector>

#include "base/bytes.h"
#include "link/link_screen_qt.h"
#include "widgets/colours.h"
#include "setup_e2e_support.h"
#include "support/logger_line.h"

namespace cv {
namespace {

using namespace std::chrono_literals;
using test::SetupE2eRig;

// Setup record layout as the logger defines it, written out here so that the expectations do not
// lean on the host's own tables.
namespace at {
constexpr size_t kMode = 2;
constexpr size_t kHourMask = 8;
constexpr size_t kSchedule = 12;  // six i32: delay, pre-flush, warm-up, flush, sample, interval
constexpr size_t kBaud = 36;      // nine i32, entry 0 = host port
constexpr size_t kType = 72;      // nine i16
constexpr size_t kBits = 90;
constexpr size_t kParity = 108;
constexpr size_t kCutOff = 126;
constexpr size_t kReserved144 = 144;
constexpr size_t kAnalog = 146;  // seven i16
constexpr size_t kPump = 160;    // four i16
constexpr size_t kRate = 170;
constexpr size_t kOutput = 172;
constexpr size_t kFile = 174;
constexpr size_t kAutoStart = 180;
constexpr size_t kTimeSource = 186;
constexpr size_t kLength = 192;
} // namespace at

// Bytes the host never interprets: they must travel back exactly as the logger sent them.
constexpr std::array<std::pair<size_t, size_t>, 5> kReservedRanges{{{4, 8}, {168, 170}, {176, 180}, {182, 186}, {188, 190}}};

constexpr uint16_t kStopCode = 0xA1A1;
constexpr uint16_t kSetMuxIdCode = 0xA6A6;
constexpr uint16_t kSetTimeCode = 0xAEAE;
constexpr uint16_t kGetSetupCode = 0xACAC;

struct PortEntry {
    int16_t type;
    int32_t baud;
    int16_t bits;
    int16_t parity;
};

void putPort(sim::SetupRecord& s, int entry, const PortEntry& e) {
    putI16le(s.data() + at::kType + 2 * size_t(entry), e.type);
    putI32le(s.data() + at::kBaud + 4 * size_t(entry), e.baud);
    putI16le(s.data() + at::kBits + 2 * size_t(entry), e.bits);
    putI16le(s.data() + at::kParity + 2 * size_t(entry), e.parity);
}

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

// Local wall-clock seconds as the logger counts them, computed from the C runtime directly.
int64_t loggerClockNowFromRuntime() {
    const time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    tzset();
    return int64_t(now) - int64_t(timezone) + (local.tm_isdst > 0 ? 3600 : 0);
}

std::string localText(time_t t, const char* pattern) {
    std::tm local{};
    localtime_r(&t, &local);
    char text[64];
    std::strftime(text, sizeof text, pattern, &local);
    return text;
}

// True when `shown` is the local time of one of the last few seconds in `pattern`; a clock label
// is refreshed once a second and a logger's time is as old as its last status.
bool showsRecentLocalTime(const QString& shown, const char* pattern) {
    const time_t now = std::time(nullptr);
    for (time_t t = now - 3; t <= now; ++t)
        if (shown == QString::fromStdString(localText(t, pattern))) return true;
    return false;
}

// A zone east of UTC that is in daylight saving for part of the year (southern summer).
constexpr const char* kZoneWithSummerTime = "AEST-10AEDT,M10.1.0,M4.1.0/3";

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
    EXPECT_EQ(rig.text("LBLowVoltage"), " 9.5 V");
    EXPECT_EQ(rig.spinner("UDAnalogRate")->value(), 1);
    EXPECT_EQ(rig.text("LBAnalogRate"), "1 Hz  1000 ms");

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
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), got))
        << "setup block differs:\n" << byteDifferences(got, expected.data(), at::kLength);
    for (const auto& [from, to] : kReservedRanges)
        for (size_t i = from; i < to; ++i) EXPECT_EQ(got[i], original[i]) << "reserved byte " << i;
    EXPECT_TRUE(packetChecksumOk(got, at::kLength));

    // The logger now holds the edits; reading them back shows them and makes the setup current.
    ASSERT_TRUE(rig.press("BTGetSetup2"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.text("PStore") == "Setup is Current"; }, 10s));
    EXPECT_EQ(rig.combo("ComboMeter3")->currentText(), "ASCII");
    EXPECT_EQ(rig.combo("CBPort3Setup")->currentText(), "38400");
    EXPECT_EQ(rig.text("M3TypeLabel"), "ASCII");
    EXPECT_EQ(rig.spinner("SampleUD")->value(), 10);
    EXPECT_EQ(rig.combo("SampleCombo")->currentText(), "Seconds");
    EXPECT_EQ(rig.combo("ModeCB")->currentText(), "Moored Mode");
    EXPECT_EQ(rig.text("LoggerMode"), "Moored Logging       ");
    EXPECT_TRUE(rig.w<QCheckBox>("SOPH2")->isChecked());
    EXPECT_EQ(rig.combo("ComboMeter1")->currentText(), "BQ5") << "untouched ports stay as they were";
    EXPECT_EQ(rig.combo("CBPort4Setup")->currentText(), "ON");
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

    ASSERT_TRUE(rig.press("BTGetSetup1"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.text("PStore") == "Setup is Current"; }, 10s));
    EXPECT_EQ(rig.combo("ComboMeter1")->currentText(), "BQ5");
    EXPECT_EQ(rig.text("LoggerMode"), "Direct To PORT1") << "mode 5 runs the first numbered port after the meter";
}

// ---- status ----

TEST(SetupEndToEnd, StatusIsShownAndFollowsTheLogger) {
    SetupE2eRig rig;
    rig.sim.logger().setSupplyMillivolts(12520);  // 12.5 V at rest, 12.4 V while sampling, whatever the jitter
    rig.sim.logger().setMemory(8 * 1024 * 1024, 5 * 1024 * 1024 + 512);
    ASSERT_TRUE(rig.start("MenuAdvanced"));

    EXPECT_EQ(rig.text("LBOperation"), "Standby");
    EXPECT_EQ(rig.text("LBCurrentMuxID"), "Current Logger ID:    2");
    EXPECT_EQ(rig.text("BTGetDirectory"), "Get KR-8 Directory");
    EXPECT_EQ(rig.text("BTClearMemory"), "Clear KR-8 Memory");
    EXPECT_EQ(rig.text("LBCurrentV"), "12.5 V");
    EXPECT_EQ(rig.text("LBStartV"), " 0.0 V");
    EXPECT_EQ(rig.text("LBEndV"), " 0.0 V");
    EXPECT_EQ(rig.text("LBFreeDisk"), "5120 K");
    EXPECT_EQ(rig.text("LBTotalDisk"), "8192 K");
    EXPECT_EQ(rig.text("HostType"), "Host:  RS232");
    EXPECT_EQ(rig.text("LBPower"), "Power: 1100 0000");
    EXPECT_EQ(rig.text("LBRunStop"), "Run/Stop Switch: RUN");
    EXPECT_EQ(rig.text("LBRunNumber"), "Run Number:");
    EXPECT_EQ(rig.text("LBTimeLeft"), " 0:00");
    EXPECT_FALSE(rig.shown("LBDrift"));
    EXPECT_FALSE(rig.shown("RemoteHostPanel"));
    EXPECT_FALSE(rig.windowShown("TMuxIDForm"));
    EXPECT_FALSE(rig.windowShown("TForm2")) << "firmware 7.06 needs no warning";
    for (const char* name : {"LBS8", "ComboMeter8", "CBPort8Setup", "LBAnalog7", "CBAnalog7", "LBPump4", "CBPump4", "M8Label"})
        EXPECT_TRUE(rig.shown(name)) << name << " belongs to a KR-8";

    // The logger turns into a bq5Plus that samples and talks RS-422.
    rig.sim.logger().setDeviceType(1);
    rig.sim.logger().setState(sim::state::kSampling);
    ASSERT_TRUE(rig.trigger("ChangeHostInterface"));
    ASSERT_TRUE(rig.press("RS422Button"));
    ASSERT_TRUE(rig.sim.probe().waitUntil([&] { return rig.sim.logger().isRs422(); }, 5s)) << "the switch command did not reach the logger";

    ASSERT_TRUE(rig.runUntil(
        [&] {
            return rig.text("LBOperation") == "Sampling" && rig.text("HostType") == "Host:  RS422" &&
                   rig.text("BTGetDirectory") == "Get BQ5+ Directory";
        },
        10s))
        << rig.text("LBOperation").toStdString() << " / " << rig.text("HostType").toStdString() << " / "
        << rig.text("BTGetDirectory").toStdString();
    EXPECT_EQ(rig.text("BTClearMemory"), "Clear BQ5+ Memory");
    EXPECT_EQ(rig.text("LBPower"), "Power: 1110 0000");
    EXPECT_EQ(rig.text("LBCurrentV"), "12.4 V");
    EXPECT_EQ(rig.text("LBStartV"), "12.5 V");
    EXPECT_TRUE(QRegularExpression("^Run Number:  \\d{3}$").match(rig.text("LBRunNumber")).hasMatch())
        << rig.text("LBRunNumber").toStdString();
    EXPECT_TRUE(QRegularExpression("^ [0-5]:\\d\\d$").match(rig.text("LBTimeLeft")).hasMatch())
        << rig.text("LBTimeLeft").toStdString();
    // A bq5Plus has four serial ports, four analog channels and two pumps.
    for (const char* name : {"LBS4", "ComboMeter4", "LBAnalog4", "CBPump2", "M4Label"}) EXPECT_TRUE(rig.shown(name)) << name;
    for (const char* name : {"LBS5", "ComboMeter5", "CBPort5Setup", "LBAnalog5", "CBAnalog5", "CBPump3", "M5Label"})
        EXPECT_FALSE(rig.shown(name)) << name;

    // A remote host on an installed port is announced in the left column.
    sim::SetupRecord withRemote = rig.sim.logger().setup();
    putPort(withRemote, 2, {8, 9600, 8, 0});
    frameBlock(withRemote.data(), at::kLength, 1);
    rig.sim.logger().setSetup(withRemote);
    ASSERT_TRUE(rig.runUntil([&] { return rig.shown("RemoteHostPanel"); }, 5s));
    EXPECT_EQ(rig.text("RemoteHostPanel"), "Remote Host Is On");

    // When statuses stop nothing is cleared; only the logger's time turns yellow.
    Kr8SimFaults quiet = rig.sim.probe().faults();
    quiet.silent = true;
    rig.sim.probe().setFaults(quiet);
    EXPECT_TRUE(rig.runUntil([&] { return shownColour(rig.w<QWidget>("LBDandT")) == QColor(0xFF, 0xFF, 0x00); }, 8s));
    EXPECT_EQ(rig.text("LBOperation"), "Sampling");
}

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
    test::ZoneGuard zone(kZoneWithSummerTime);
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
        EXPECT_TRUE(QRegularExpression("^Drift:  00:01:0[01] Slow $").match(rig.text("LBDrift")).hasMatch())
            << rig.text("LBDrift").toStdString();
        return;
    }

    ASSERT_TRUE(rig.runUntil([&] { return !rig.sim.probe().receivedCommands(kSetTimeCode).empty(); }, 10s))
        << "no set-time command reached the logger";
    const int64_t expected = loggerClockNowFromRuntime();
    const auto first = rig.sim.probe().receivedCommands(kSetTimeCode).front();
    EXPECT_NEAR(double(first.arg32), double(expected), 2.0) << "set-time argument is not the PC's local wall clock";
    EXPECT_EQ(first.bytes, test::commandBytes(kSetTimeCode, 0, first.arg32));
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

INSTANTIATE_TEST_SUITE_P(SetupEndToEnd, TimeSyncEndToEnd,
                         testing::Values(TimeSyncCase{"AutomaticCorrectsALoggerAMinuteFast", 60, true, false, 1},
                                         TimeSyncCase{"SynchronizeNowSendsOnce", 30, false, true, 1},
                                         TimeSyncCase{"ManualLeavesTheDriftShown", -60, false, false, 0}),
                         [](const testing::TestParamInfo<TimeSyncCase>& info) { return std::string(info.param.name); });

// ---- logger ID ----

TEST(SetupEndToEnd, LoggerWithoutIdAsksForOneUntilItHasIt) {
    Kr8SimOptions options;
    options.loggerId = 0;
    SetupE2eRig rig(options);
    ASSERT_TRUE(rig.start("MenuAdvanced"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.windowShown("TMuxIDForm"); }, 5s));
    auto* dialog = rig.w<QDialog>("TMuxIDForm");
    EXPECT_EQ(dialog->windowTitle(), "Set Logger ID");
    EXPECT_EQ(rig.text("LBCurrentMuxID"), "Current Logger ID:    0");

    // Closed while the ID is still missing, it comes back with the next status.
    dialog->hide();
    EXPECT_TRUE(rig.runUntil([&] { return dialog->isVisible(); }, 5s));

    rig.sim.probe().clearReceived();
    ASSERT_TRUE(rig.spin("UDMuxID", 3));
    EXPECT_EQ(rig.text("LBNewMuxID"), "  3");
    ASSERT_TRUE(rig.press("BTSendMuxID"));
    ASSERT_TRUE(rig.sim.probe().waitUntil([&] { return rig.sim.logger().loggerId() == 3; }, 5s));
    const auto sent = rig.sim.probe().receivedCommands(kSetMuxIdCode);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent.front().bytes, test::bytesOf("02 02 A6 A6 00 00 00 00 03 00 53 01"));

    ASSERT_TRUE(rig.runUntil([&] { return rig.text("LBCurrentMuxID") == "Current Logger ID:    3"; }, 5s));
    dialog->hide();
    ASSERT_TRUE(rig.waitForStatusDisplays(3, 10s));
    EXPECT_FALSE(dialog->isVisible()) << "the dialog reopened for a logger that has an ID";
}

// ---- firmware ----

TEST(SetupEndToEnd, OldFirmwareIsWarnedAboutOnce) {
    Kr8SimOptions options;
    options.firmwareWord = sim::firmwareWord(6, 90, 3, 15, 6);
    SetupE2eRig rig(options);
    ASSERT_TRUE(rig.start("MenuAdvanced"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.windowShown("TForm2"); }, 5s));
    auto* warning = rig.w<QDialog>("TForm2");
    EXPECT_EQ(warning->windowTitle(), "WARNING!!!");
    auto* text = warning->findChild<QLabel*>("WarningText");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), "This Host Program is incompatible with Firmware Version 6.90");

    ASSERT_TRUE(rig.press(warning->findChild<QAbstractButton*>("OKButton"), "OKButton"));
    EXPECT_FALSE(warning->isVisible());
    ASSERT_TRUE(rig.waitForStatusDisplays(3, 10s));
    EXPECT_FALSE(warning->isVisible()) << "the warning came back";
    EXPECT_EQ(rig.text("LBOperation"), "Standby") << "the host keeps working with the old logger";
}

// ---- stop ----

struct LineStopCase {
    const char* name;
    int hostPortChoice;  // setup screen's host port; -1 keeps what the logger reported
    bool packetAndBreak;
};

void PrintTo(const LineStopCase& c, std::ostream* os) { *os << c.name; }

class StopEndToEnd : public testing::TestWithParam<LineStopCase> {};

TEST_P(StopEndToEnd, StopEndsSamplingWithTheTextTheHostPortNeeds) {
    const LineStopCase& c = GetParam();
    SetupE2eRig rig;
    ASSERT_TRUE(rig.start("MenuAdvanced"));
    ASSERT_TRUE(rig.press("BTGetSetup1"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.text("PStore") == "Setup is Current"; }, 10s));
    if (c.hostPortChoice >= 0) {
        ASSERT_TRUE(rig.choose("CBHostPortSetup", c.hostPortChoice));
    }

    ASSERT_TRUE(rig.press("BTBegin"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.text("LBOperation") == "Sampling"; }, 10s));

    // The setup marker asks for the setup only in a standby state.
    rig.sim.probe().clearReceived();
    ASSERT_TRUE(rig.clickPanel("PStore"));
    EXPECT_TRUE(rig.dialogs.saw("Unable to Complete Command", "The Logger Must be in Standby before Sending a new Logger Setup"));

    ASSERT_TRUE(rig.press("BTStop"));
    if (c.packetAndBreak) {
        EXPECT_EQ(rig.combo("CBHostPortSetup")->currentText(), "9600");
        ASSERT_TRUE(rig.sim.probe().waitForText("BREAKBREAKBREAK", 5s));
        const auto got = rig.sim.probe().received();
        ASSERT_GE(got.size(), 2u);
        EXPECT_EQ(got[0].kind, Kr8SimReceived::Kind::Command);
        EXPECT_EQ(got[0].bytes, test::bytesOf("02 02 A1 A1 00 00 00 00 00 00 46 01"));
        EXPECT_EQ(got[1].kind, Kr8SimReceived::Kind::Text);
        EXPECT_EQ(got[1].text(), "    BREAKBREAKBREAK");
    } else {
        EXPECT_EQ(rig.combo("CBHostPortSetup")->currentText(), "9600,7,E,1");
        ASSERT_TRUE(rig.sim.probe().waitForText("STOP7E1", 5s));
        EXPECT_TRUE(rig.sim.probe().receivedCommands(kStopCode).empty()) << "a 7,E,1 line gets no stop packet";
        EXPECT_EQ(rig.sim.probe().receivedTexts(), std::vector<std::string>{"    STOP7E1STOP7E1"});
    }
    EXPECT_TRUE(rig.sim.probe().receivedCommands(kGetSetupCode).empty()) << "the marker asked a sampling logger for its setup";
    ASSERT_TRUE(rig.runUntil([&] { return rig.text("LBOperation") == "End of Run"; }, 10s))
        << rig.text("LBOperation").toStdString();

    ASSERT_TRUE(rig.clickPanel("PStore"));
    EXPECT_TRUE(rig.sim.probe().waitForCommand(kGetSetupCode, 5s).has_value()) << "End of Run is a standby state";
}

INSTANTIATE_TEST_SUITE_P(SetupEndToEnd, StopEndToEnd,
                         testing::Values(LineStopCase{"At9600SendsPacketThenBreak", -1, true},
                                         LineStopCase{"At9600SevenEvenSendsStop7E1Only", 7, false}),
                         [](const testing::TestParamInfo<LineStopCase>& info) { return std::string(info.param.name); });

// ---- sleep ----

TEST(SetupEndToEnd, MooredLoggerSleepsUntilTheEnteredWallClockTime) {
    test::ZoneGuard zone(kZoneWithSummerTime);
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
    EXPECT_TRUE(rig.dialogs.saw("KR-8 Sleep Option", "Sleep Until " + time + " on " + date + " ?"));
    EXPECT_FALSE(rig.windowShown("TSleepForm"));
    EXPECT_TRUE(rig.runUntil([&] { return rig.text("LBOperation") == "Sleeping"; }, 5s)) << rig.text("LBOperation").toStdString();
}

} // namespace
} // namespace cv
