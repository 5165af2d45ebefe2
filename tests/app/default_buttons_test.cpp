// A stray Enter on a question or window that can do harm answers with the harmless button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/hostmain_window.h"
#include "app/operator_dialogs_qt.h"
#include "link/rs422_dialog.h"
#include "memory/upload_page.h"
#include "memory/upload_screen_qt.h"
#include "support/fakes.h"

namespace cv {
namespace {

// The boxes and windows closed here are the only ones open: closing them must not end the
// application that the later tests run in.
struct DefaultButtons : ::testing::Test {
    void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }
    void TearDown() override { QApplication::setQuitOnLastWindowClosed(true); }
};

// Presses Enter in the box that ask() is about to open.
Answer askAndPressEnter(Buttons buttons, std::optional<Answer> defaultAnswer) {
    QtOperatorDialogs dialogs;
    QTimer::singleShot(0, [] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        QTest::keyClick(box, Qt::Key_Return);
    });
    return defaultAnswer ? dialogs.ask("Question", "Go on?", buttons, Icon::Question, *defaultAnswer)
                         : dialogs.ask("Question", "Go on?", buttons, Icon::Question);
}

TEST_F(DefaultButtons, EnterInAQuestionPressesTheChosenDefault) {
    EXPECT_EQ(askAndPressEnter(Buttons::YesNo, Answer::No), Answer::No);
    EXPECT_EQ(askAndPressEnter(Buttons::OkCancel, Answer::Cancel), Answer::Cancel);
    EXPECT_EQ(askAndPressEnter(Buttons::YesNo, std::nullopt), Answer::Yes);  // unchanged for the others
}

TEST_F(DefaultButtons, ClearLoggerMemoryAsksWithNoAsTheDefault) {
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    test::FakeSerialFactory serial;
    TForm1 form{HostEnvironment{clock, dialogs, serial, nullptr}};
    dialogs.answers.push_back(Answer::No);
    form.uploadScreen()->page()->BTClearMemory->click();
    ASSERT_TRUE(dialogs.saw("Clear Memory", "Are you sure you want to clear the flash memory?"));
    EXPECT_EQ(dialogs.boxes.back().defaultAnswer, Answer::No);
}

TEST_F(DefaultButtons, EnterInTheInterfaceWindowSwitchesNothing) {
    test::RecordingSink sink;
    Rs422Dialog window(sink);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window) || QGuiApplication::platformName() == "offscreen");
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_TRUE(sink.writes.empty());
    EXPECT_FALSE(window.isVisible());
}

} // namespace
} // namespace cv
