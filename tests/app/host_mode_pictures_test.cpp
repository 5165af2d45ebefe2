// Pictures of the main window in every host mode, for a look by eye and for comparing the
// window before and after a change:
//   CVHOST_PICTURES=/tmp/modes cvhost_tests_app --gtest_also_run_disabled_tests --gtest_filter='*HostModePictures*'
#include <gtest/gtest.h>

#include <QDir>
#include <QTabWidget>

#include "app/hostmain_window.h"
#include "setup/setup_screen_qt.h"
#include "support/fakes.h"

namespace cv {
namespace {

TEST(HostModePictures, DISABLED_SavesEveryHostModeAt1280x800) {
    const QString folder = qEnvironmentVariable("CVHOST_PICTURES", "/tmp/host-modes");
    QDir().mkpath(folder);
    for (int mode : {-1, 1, 2, 3, 4, 5, 6}) {
        test::FakeClock clock;
        test::FakeDialogs dialogs;
        test::FakeSerialFactory serial;
        TForm1 form{HostEnvironment{clock, dialogs, serial, nullptr}};
        form.resize(1280, 800);
        form.setupScreen()->setupDisplayMode(mode);
        form.Tabs->setCurrentIndex(0);
        EXPECT_TRUE(form.grab().save(QString("%1/mode%2.png").arg(folder).arg(mode)));
    }
}

} // namespace
} // namespace cv
