// The logger's status from the simulated logger to the screen over a real pseudo-terminal: what
// follows the logger, and what the host asks of a logger with no ID or old firmware. How each
// readout is worded is checked with the status record alone.
#include <gtest/gtest.h>

#include <QDialog>

#include "widgets/colours.h"
#include "setup_e2e_support.h"
#include "support/logger_line.h"

namespace cv {
namespace {

using namespace std::chrono_literals;
using namespace test;

constexpr uint16_t kSetMuxIdCode = 0xA6A6;

// ---- status ----

TEST(StatusEndToEnd, StatusIsShownAndFollowsTheLogger) {
    SetupE2eRig rig;
    rig.sim.logger().setSupplyMillivolts(12520);  // 12.5 V at rest, 12.4 V while sampling, whatever the jitter
    rig.sim.logger().setMemory(8 * 1024 * 1024, 5 * 1024 * 1024 + 512);
    ASSERT_TRUE(rig.start("MenuAdvanced"));

    EXPECT_EQ(rig.text("LBOperation"), "Standby");
    EXPECT_EQ(rig.text("LBCurrentV"), "12.5 V");
    EXPECT_EQ(rig.text("LBFreeDisk"), "5120 K");
    EXPECT_EQ(rig.text("LBTotalDisk"), "8192 K");
    EXPECT_FALSE(rig.shown("LBDrift"));
    EXPECT_FALSE(rig.shown("RemoteHostPanel"));
    EXPECT_FALSE(rig.windowShown("TMuxIDForm"));
    EXPECT_FALSE(rig.windowShown("TForm2")) << "firmware 7.06 needs no warning";
    for (const char* name : {"LBS8", "LBAnalog7", "LBPump4"}) EXPECT_TRUE(rig.shown(name)) << name << " belongs to a KR-8";

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
    EXPECT_EQ(rig.text("LBStartV"), "12.5 V");
    // A bq5Plus has four serial ports, four analog channels and two pumps.
    for (const char* name : {"LBS4", "LBAnalog4", "CBPump2"}) EXPECT_TRUE(rig.shown(name)) << name;
    for (const char* name : {"LBS5", "LBAnalog5", "CBPump3"}) EXPECT_FALSE(rig.shown(name)) << name;

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

// ---- logger ID ----

TEST(StatusEndToEnd, LoggerWithoutIdAsksForOneUntilItHasIt) {
    Kr8SimOptions options;
    options.loggerId = 0;
    SetupE2eRig rig(options);
    ASSERT_TRUE(rig.start("MenuAdvanced"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.windowShown("TMuxIDForm"); }, 5s));
    auto* dialog = rig.w<QDialog>("TMuxIDForm");
    EXPECT_EQ(dialog->windowTitle(), "Set Logger ID");

    // Closed while the ID is still missing, it comes back with the next status.
    dialog->hide();
    EXPECT_TRUE(rig.runUntil([&] { return dialog->isVisible(); }, 5s));

    rig.sim.probe().clearReceived();
    ASSERT_TRUE(rig.spin("UDMuxID", 3));
    ASSERT_TRUE(rig.press("BTSendMuxID"));
    ASSERT_TRUE(rig.sim.probe().waitUntil([&] { return rig.sim.logger().loggerId() == 3; }, 5s));
    EXPECT_EQ(rig.sim.probe().receivedCommands(kSetMuxIdCode).size(), 1u);

    ASSERT_TRUE(rig.runUntil([&] { return rig.text("LBCurrentMuxID") == "Current Logger ID:    3"; }, 5s));
    dialog->hide();
    ASSERT_TRUE(rig.waitForStatusDisplays(3, 10s));
    EXPECT_FALSE(dialog->isVisible()) << "the dialog reopened for a logger that has an ID";
}

// ---- firmware ----

TEST(StatusEndToEnd, OldFirmwareIsWarnedAboutOnce) {
    Kr8SimOptions options;
    options.firmwareWord = sim::firmwareWord(6, 90, 3, 15, 6);
    SetupE2eRig rig(options);
    ASSERT_TRUE(rig.start("MenuAdvanced"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.windowShown("TForm2"); }, 5s));
    auto* warning = rig.w<QDialog>("TForm2");
    auto* text = warning->findChild<QLabel*>("WarningText");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), "This Host Program is incompatible with Firmware Version 6.90");

    ASSERT_TRUE(rig.press(warning->findChild<QAbstractButton*>("OKButton"), "OKButton"));
    ASSERT_TRUE(rig.waitForStatusDisplays(3, 10s));
    EXPECT_FALSE(warning->isVisible()) << "the warning came back";
    EXPECT_EQ(rig.text("LBOperation"), "Standby") << "the host keeps working with the old logger";
}

} // namespace
} // namespace cv
