#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>

#include "widgets/colours.h"
#include "link/factory_commands_qt.h"
#include "link/link_screen_qt.h"
#include "e2e_support.h"
#include "protocol/commands.h"

namespace cv {
namespace {

using namespace std::chrono_literals;

TEST(LinkEndToEnd, StatusPacketsFrameAndTheLinkStaysHealthy) {
    test::HostAndLogger rig;
    rig.form.linkScreen()->selectLoggerPort(1, 6);
    ASSERT_TRUE(rig.form.ports().isPortOpen(0)) << "could not open the pseudo-terminal";
    EXPECT_TRUE(rig.runUntil([&] { return rig.form.receiver().counters().packetsFramed >= 3; }, 10s));
    EXPECT_EQ(rig.form.receiver().counters().badUploadBlocks, 0u);
    EXPECT_GE(rig.form.linkScreen()->supervisor().noDataCountdown(), 0);
    EXPECT_GE(rig.form.linkScreen()->supervisor().badDataCountdown(), 0);
    EXPECT_EQ(fieldColour(rig.form.linkScreen()->LoggerPortCB), normalFieldColour());
    EXPECT_EQ(fieldColour(rig.form.linkScreen()->LoggerSetupCB), normalFieldColour());
    EXPECT_EQ(rig.form.linkScreen()->COMStatus->text(), "COM1 @ 9600 Baud");
}

TEST(LinkEndToEnd, ConfirmedMenuCommandReachesTheLoggerByteForByte) {
    test::HostAndLogger rig;
    rig.form.linkScreen()->selectLoggerPort(1, 6);
    rig.dialogs.answers = {Answer::Ok};
    rig.form.linkScreen()->factoryCommands()->ResetToMonitorClick();
    auto got = rig.sim.probe().waitForCommand(cmd::kResetToMonitor, 5s);
    ASSERT_TRUE(got.has_value());
    const CommandPacket expected = buildCommandPacket(cmd::kResetToMonitor);
    EXPECT_EQ(got->bytes, std::vector<uint8_t>(expected.begin(), expected.end()));
}

TEST(LinkEndToEnd, SilentLoggerIsShownRed) {
    Kr8SimOptions o;
    o.faults.silent = true;
    test::HostAndLogger rig(o);
    rig.form.linkScreen()->selectLoggerPort(1, 6);
    EXPECT_TRUE(rig.runUntil([&] { return fieldColour(rig.form.linkScreen()->LoggerPortCB) == kRed; }, 8s));
    EXPECT_EQ(fieldColour(rig.form.linkScreen()->LoggerSetupCB), normalFieldColour());
}

TEST(LinkEndToEnd, BytesThatNeverFrameTurnTheSpeedRed) {
    Kr8SimOptions o;
    o.faults.baudMismatch = true;
    test::HostAndLogger rig(o);
    rig.form.linkScreen()->selectLoggerPort(1, 6);
    EXPECT_TRUE(rig.runUntil([&] { return fieldColour(rig.form.linkScreen()->LoggerSetupCB) == kRed; }, 10s));
    EXPECT_EQ(rig.form.receiver().counters().packetsFramed, 0u);
}

} // namespace
} // namespace cv
