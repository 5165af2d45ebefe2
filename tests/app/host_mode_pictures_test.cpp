// Every page of every host mode at 1280 x 800 and at 1024 x 768: no control is cut off and none
// lies over another; the smaller screen scrolls up and down, never sideways.
// With CVHOST_PICTURES=/some/folder each page is also saved as a picture, for a look by eye and
// for comparing the window before and after a change.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QAction>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <tuple>

#include "app/hostmain_window.h"
#include "setup/setup_screen_qt.h"
#include "support/fakes.h"
#include "support/layout_check.h"

namespace cv {
namespace {

class HostModeLayout : public ::testing::TestWithParam<std::tuple<int, QSize>> {};

TEST_P(HostModeLayout, EveryPageShowsEachControlWholeAndApart) {
    const auto [hostMode, screen] = GetParam();
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    test::FakeSerialFactory serial;
    TForm1 form{HostEnvironment{clock, dialogs, serial, nullptr}};
    form.resize(screen);
    form.show();
    form.setupScreen()->setupDisplayMode(hostMode);
    test::settleLayouts();
    const QString mode = (hostMode < 0 ? QString("none") : QString("mode%1").arg(hostMode)) +
                         QString("-%1x%2").arg(screen.width()).arg(screen.height());
    auto check = [&](const QString& view) {
        test::settleLayouts();
        for (const std::string& fault : test::layoutFaults(&form)) ADD_FAILURE() << view.toStdString() << ": " << fault;
        test::savePictureIfAsked(&form, mode + "-" + view);
    };
    auto* client = form.findChild<QAbstractScrollArea*>("ClientScroll");
    ASSERT_NE(client, nullptr);
    EXPECT_FALSE(client->horizontalScrollBar()->isVisible()) << "the window scrolls sideways";
    if (screen.width() >= 1280) {
        EXPECT_FALSE(client->verticalScrollBar()->isVisible()) << "the window scrolls at 1280 x 800";
    }
    if (!form.Tabs->isVisible()) check("no-pages");
    for (int t = 0; t < form.Tabs->count(); ++t) {
        if (!form.Tabs->isTabVisible(t)) continue;
        form.Tabs->setCurrentIndex(t);
        check(form.Tabs->widget(t)->objectName());
    }
}

// Advanced User with both factory pages: every caption of the tab row shows whole, with no arrow
// to scroll it.
TEST(TabRow, EveryTabOfAdvancedUserAndTheFactoryPagesFitsAt1280x800) {
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    test::FakeSerialFactory serial;
    TForm1 form{HostEnvironment{clock, dialogs, serial, nullptr}};
    form.resize(1280, 800);
    form.show();
    form.setupScreen()->setupDisplayMode(5);
    for (const char* item : {"HardwareConfig", "AnalogCal"}) form.findChild<QAction*>(item)->trigger();
    test::settleLayouts();
    QTabBar* bar = form.Tabs->tabBar();
    for (int t = 0; t < bar->count(); ++t) {
        if (!bar->isTabVisible(t)) continue;
        EXPECT_TRUE(bar->rect().contains(bar->tabRect(t))) << bar->tabText(t).toStdString();
    }
    for (const QToolButton* arrow : bar->findChildren<QToolButton*>()) EXPECT_FALSE(arrow->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Modes, HostModeLayout,
                         ::testing::Combine(::testing::Values(-1, 1, 2, 3, 4, 5, 8),
                                            ::testing::Values(QSize(1280, 800), QSize(1024, 768))),
                         [](const auto& info) {
                             const int mode = std::get<0>(info.param);
                             const QSize screen = std::get<1>(info.param);
                             return (mode < 0 ? std::string("None") : "Mode" + std::to_string(mode)) + "At" +
                                    std::to_string(screen.width()) + "x" + std::to_string(screen.height());
                         });

} // namespace
} // namespace cv
