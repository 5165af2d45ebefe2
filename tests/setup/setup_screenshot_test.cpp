// The setup pages filled from a logger's setup and status, and the setup dialogs: every control
// shows whole and apart. With CVHOST_PICTURES=/some/folder each one is also saved as a picture.
#include <gtest/gtest.h>

#include <QTabWidget>

#include "setup/firmware_warning_dialog.h"
#include "setup/logger_id_dialog.h"
#include "setup/sleep_dialog.h"
#include "setup/record_builders.h"
#include "setup/setup_fixture.h"
#include "setup/setup_screen_qt.h"
#include "support/layout_check.h"

namespace cv::test {
namespace {

void expectTidy(QWidget* w, const QString& name) {
    settleLayouts();
    for (const std::string& fault : layoutFaults(w)) ADD_FAILURE() << name.toStdString() << ": " << fault;
    savePictureIfAsked(w, "setup-" + name);
}

TEST(SetupLayout, FilledPagesAndDialogsShowEachControlWholeAndApart) {
    SetupRig rig;
    rig.window->resize(1280, 800);
    rig.window->show();
    rig.screen->setupDisplayMode(5);
    rig.deliverSetup(SetupRecordBuilder()
                         .mode(12)
                         .port(1, 1, 19200)
                         .port(2, 4, 9600)
                         .port(3, 7, 0, 7, 0)
                         .analog(1, 1)
                         .pump(4, 5)
                         .schedule(5, 3600)
                         .rate(11)
                         .build());
    rig.deliverStatus(StatusRecordBuilder()
                          .clock(int32_t(rig.clock.seconds + 3725))
                          .deviceType(1)
                          .runNumber(4)
                          .runStop(2)
                          .masks(0x00FF, 0x7F, 0x0F)
                          .volts(12400, 12800, 0)
                          .memory(1 << 22, 1 << 24)
                          .timeLeft(3725)
                          .build());
    for (const char* page : {"TSPortSetup", "TSLoggerControl", "TSDataStatus"}) {
        rig.window->Tabs->setCurrentWidget(rig.window->findChild<QWidget*>(page));
        expectTidy(rig.window.get(), page);
    }
    rig.screen->sleepDialog()->show();
    expectTidy(rig.screen->sleepDialog(), "sleep");
    rig.screen->loggerIdDialog()->show();
    expectTidy(rig.screen->loggerIdDialog(), "loggerid");
    rig.screen->firmwareWarningDialog()->showWarning("This Host Program is incompatible with Firmware Version 6.90");
    expectTidy(rig.screen->firmwareWarningDialog(), "firmware");
}

// An arriving setup in a moored mode shows the interval row, Sleep and the polled buttons, and the
// moored time source shows its row: nothing the operator was about to click may move for them.
TEST(SetupLayout, ControlsShownByASetupLeaveEveryOtherControlOfLoggerControlInPlace) {
    SetupRig rig;
    rig.screen->setupDisplayMode(5);
    QWidget* page = rig.window->findChild<QWidget*>("TSLoggerControl");
    rig.window->Tabs->setCurrentWidget(page);
    settleLayouts();
    ASSERT_FALSE(rig.shown("BTSleep"));
    const auto before = controlPlaces(page);
    rig.deliverSetup(SetupRecordBuilder().mode(12).build());
    rig.trigger("MenuMooredTimeUpdate");
    settleLayouts();
    for (const char* shown : {"BTSleep", "Button1", "IntervalUD", "TimeSourceCB"})
        EXPECT_TRUE(rig.shown(shown)) << shown;
    EXPECT_EQ(movedControls(before, page), std::vector<std::string>{});
}

} // namespace
} // namespace cv::test
