// Saves pictures of the setup pages and dialogs for a look by eye:
//   cvhost_tests_setup --gtest_also_run_disabled_tests --gtest_filter='*Screenshot*'
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTabWidget>

#include "dialogs/firmware_warning_dialog.h"
#include "dialogs/logger_id_dialog.h"
#include "dialogs/sleep_dialog.h"
#include "setup/record_builders.h"
#include "setup/setup_fixture.h"
#include "setup/setup_screen_qt.h"

namespace cv::test {
namespace {

TEST(SetupScreenshot, DISABLED_SavesPagesAt1280x800) {
    SetupRig rig;
    rig.screen->setupDisplayMode(-1);
    rig.window->grab().save("/tmp/setup-startup.png");
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
    rig.window->resize(1280, 800);
    for (const char* page : {"TSPortSetup", "TSLoggerControl", "TSDataStatus"}) {
        rig.window->Tabs->setCurrentWidget(rig.window->findChild<QWidget*>(page));
        rig.window->grab().save(QString("/tmp/setup-%1.png").arg(page));
    }
    rig.screen->sleepDialog()->show();
    rig.screen->sleepDialog()->grab().save("/tmp/setup-sleep.png");
    rig.screen->loggerIdDialog()->show();
    rig.screen->loggerIdDialog()->grab().save("/tmp/setup-loggerid.png");
    rig.screen->firmwareWarningDialog()->showWarning("This Host Program is incompatible with Firmware Version 6.90");
    rig.screen->firmwareWarningDialog()->grab().save("/tmp/setup-firmware.png");
}

} // namespace
} // namespace cv::test
