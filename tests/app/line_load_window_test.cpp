// A logger port line that runs full, seen in the main window: the word beside the port and on
// the statistics window, and a late status that neither reports drift nor sets the clock.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>

#include "link/link_screen_qt.h"
#include "link/statistics_dialog.h"
#include "setup/record_builders.h"
#include "support/window_rig.h"

namespace cv {
namespace {

struct LineLoadWindow : ::testing::Test, test::WindowRig {
    void SetUp() override {
        form.linkScreen()->LoggerPortCB->setCurrentIndex(1);
        form.linkScreen()->LoggerSetupCB->setCurrentIndex(6);  // 9600: 960 bytes a second
        form.linkScreen()->LoggerPortCBChange();
        form.findChild<QAction*>("MenuAutoTimeUpdate")->setChecked(true);
        form.linkScreen()->HostPortStatsClick();
    }
    // One second of a line carrying `bytes` that frame no packet.
    void second(size_t bytes) {
        line->feed(std::vector<uint8_t>(bytes, 0x41));
        for (int i = 0; i < 10; ++i) form.Timer10msTimer();
        clock.ms += 1000;
        clock.seconds += 1;
        form.Timer1000msTimer();
    }
    // A status whose logger clock reads `behind` seconds before the PC's.
    void status(int64_t behind) {
        form.records().status = test::StatusRecordBuilder().clock(int32_t(clock.seconds - behind)).build();
        form.records().statusArrived = true;
        form.Timer475msTimer();
    }
    QString label(const char* name) const { return form.findChild<QLabel*>(name)->text(); }
};

TEST_F(LineLoadWindow, AFullLineIsNamedBesideThePortAndItsLateStatusSetsNoClock) {
    second(100);
    status(2);  // a free line: the logger clock is two seconds slow
    for (int s = 0; s < 12; ++s) second(960);
    EXPECT_EQ(label("LBLineLoad"), "Line full: data late");

    line->writes.clear();
    status(20);
    EXPECT_TRUE(line->writes.empty()) << "no set-time from a status that waited in the line";
    EXPECT_TRUE(form.findChild<QLabel*>("LBDrift")->isHidden()) << "the clock's own two seconds are no drift";
    second(960);
    EXPECT_EQ(label("LBLineLoad"), "Line full: data about 18 s late");
    EXPECT_EQ(label("SFLBNote"), "Line full: data about 18 s late");

    for (int s = 0; s < 5; ++s) second(100);
    EXPECT_EQ(label("LBLineLoad"), "");
    EXPECT_TRUE(form.findChild<QLabel*>("SFLBNote")->isHidden());
}

} // namespace
} // namespace cv
