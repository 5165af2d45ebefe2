// The window without a mouse: the clickable panels take the focus and act on Space and Enter.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QTest>

#include "app/hostmain_window.h"
#include "link/link_screen_qt.h"
#include "support/fakes.h"
#include "widgets/clickable_label.h"

namespace cv {
namespace {

struct Keyboard : ::testing::TestWithParam<Qt::Key> {
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    test::FakeSerialFactory serial;
    TForm1 form{HostEnvironment{clock, dialogs, serial, nullptr}};
};

TEST_P(Keyboard, EveryClickablePanelIsReachedByTabAndActsOnTheKey) {
    for (ClickableLabel* panel : form.findChildren<ClickableLabel*>()) {
        EXPECT_TRUE(panel->focusPolicy() & Qt::TabFocus) << panel->objectName().toStdString();
        EXPECT_FALSE(QAccessible::queryAccessibleInterface(panel)->text(QAccessible::Name).isEmpty())
            << panel->objectName().toStdString();
        int clicks = 0;
        QObject::connect(panel, &ClickableLabel::clicked, [&clicks] { ++clicks; });
        QTest::keyClick(panel, GetParam());
        EXPECT_EQ(clicks, 1) << panel->objectName().toStdString();
    }
}

TEST_P(Keyboard, TheRedXHidesThePortSetupFromTheKeyboard) {
    QGroupBox* group = form.linkScreen()->LoggerPortGB;
    ASSERT_FALSE(group->isHidden());
    QTest::keyClick(form.linkScreen()->CloseLoggerPortSetup, GetParam());
    EXPECT_TRUE(group->isHidden());
}

INSTANTIATE_TEST_SUITE_P(SpaceAndEnter, Keyboard, ::testing::Values(Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter));

} // namespace
} // namespace cv
