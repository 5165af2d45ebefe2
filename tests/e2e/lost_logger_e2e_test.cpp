// The simulated logger's line is pulled and plugged in again behind the same link path: the
// running window shows the port lost, reopens it by itself and frames status packets again,
// with no operator action and no box.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <chrono>
#include <filesystem>
#include <cstdio>

#include "e2e_support.h"
#include "link/link_screen_qt.h"
#include "setup/logger_status_panel.h"
#include "setup/port_setup_page.h"
#include "setup/setup_screen_qt.h"
#include "widgets/clickable_label.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

using namespace std::chrono_literals;

TEST(LostLoggerEndToEnd, ComesBackBehindTheSameLinkWithNoOperatorAction) {
    test::TempDir dir;
    const std::string link = (dir.path() / "kr8").string();
    test::HostAndLogger rig;
    test::replugSimulator(rig.sim, link);
    rig.map.set(1, link);
    rig.form.linkScreen()->selectLoggerPort(1, 6);
    auto framed = [&] { return rig.form.receiver().counters().packetsFramed; };
    ASSERT_TRUE(rig.runUntil([&] { return framed() >= 2; }, 10s));

    // Pulled: the device and its link go away, as a by-id link does with a USB adapter. A stale
    // link could meet a pseudo-terminal of another test that got the same number meanwhile.
    rig.sim.line().stop();
    std::filesystem::remove(link);
    ASSERT_TRUE(rig.runUntil([&] { return rig.form.linkScreen()->portLost(); }, 5s));
    EXPECT_EQ(rig.form.linkScreen()->COMStatus->text(), "COM1 lost - waiting for the device");
    rig.runUntil([] { return false; }, 2500ms);  // a few failed attempts in the meantime

    const uint32_t before = framed();
    test::replugSimulator(rig.sim, link);
    const auto back = std::chrono::steady_clock::now();
    ASSERT_TRUE(rig.runUntil([&] { return framed() > before; }, 10s)) << "status packets frame again";
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - back);
    std::fprintf(stderr, "device return to first framed packet: %lld ms\n", (long long)ms.count());
    EXPECT_FALSE(rig.form.linkScreen()->portLost());
    EXPECT_EQ(rig.form.linkScreen()->COMStatus->text(), "COM1 @ 9600 Baud");
    EXPECT_TRUE(rig.dialogs.boxes.empty()) << "no box for the loss or for each attempt";
}


// The simulator's end of the line closes under a sampling logger (the program ended): the port is
// lost at the next second, its values greyed. What answers when the port comes back must show
// that it is the same logger before its values and setup count as current again.
struct FarEndGone : ::testing::TestWithParam<bool> {
    static Kr8SimOptions sampling() {
        Kr8SimOptions o;
        o.state = sim::state::kSampling;
        return o;
    }
    test::HostAndLogger rig{sampling()};
    LinkScreen& link = *rig.form.linkScreen();
    SetupScreen& setup = *rig.form.setupScreen();
    QWidget* statusBody = rig.form.findChild<QWidget*>("LoggerStatusBody");
    QLabel* operation = setup.loggerStatusPanel()->LBOperation;

    void SetUp() override {
        link.selectLoggerPort(1, 6);
        setup.portSetupPage()->BTGetSetup1->click();
        ASSERT_TRUE(rig.runUntil([&] { return setup.PStore->text() == "Setup is Current" && operation->text() == "Sampling"; }, 10s));
        rig.sim.line().stop();
        ASSERT_TRUE(rig.runUntil([&] { return link.portLost(); }, 3s)) << "lost at once, not after a silence";
        EXPECT_EQ(link.COMStatus->text(), "COM1 lost - waiting for the device");
        EXPECT_FALSE(statusBody->isEnabled());
    }
};

TEST_P(FarEndGone, WhatAnswersAfterwardsIsCheckedToBeTheSameLogger) {
    const bool sameLogger = GetParam();
    Kr8SimOptions otherOptions;
    otherOptions.loggerId = 7;  // in Standby
    Kr8Simulator other(otherOptions);
    rig.map.set(1, sameLogger ? rig.sim.line().startPty() : other.line().startPty());
    ASSERT_TRUE(rig.runUntil([&] { return !link.portLost(); }, 5s));
    EXPECT_FALSE(statusBody->isEnabled()) << "greyed until a status says who answers";
    EXPECT_EQ(setup.PStore->text(), "Setup is Not Current");
    ASSERT_TRUE(rig.runUntil([&] { return statusBody->isEnabled(); }, 5s));

    if (sameLogger) {
        EXPECT_EQ(operation->text(), "Sampling");
        EXPECT_EQ(setup.PStore->text(), "Setup is Current");
        EXPECT_TRUE(rig.dialogs.boxes.empty());
        return;
    }
    EXPECT_EQ(operation->text(), "Standby");
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u) << "one message names the other logger";
    EXPECT_EQ(rig.dialogs.boxes[0].caption, "Another Logger on the Line");
    EXPECT_NE(rig.dialogs.boxes[0].text.find("is a KR-8 with logger ID 7"), std::string::npos) << rig.dialogs.boxes[0].text;
    EXPECT_NE(rig.dialogs.boxes[0].text.find("not the KR-8 with logger ID 2"), std::string::npos);
    // Its own setup replaces the other's on the pages.
    EXPECT_TRUE(other.probe().waitForCommand(0xACAC, 5s));
    EXPECT_TRUE(rig.runUntil([&] { return setup.PStore->text() == "Setup is Current"; }, 5s));
    rig.runUntil([] { return false; }, 1500ms);
    EXPECT_EQ(rig.dialogs.boxes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Reopened, FarEndGone, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "SameLogger" : "OtherLogger"; });

} // namespace
} // namespace cv
