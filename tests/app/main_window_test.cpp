#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTextBrowser>

#include "app/hostmain_window.h"
#include "link/factory_commands_qt.h"
#include "link/link_screen_qt.h"
#include "widgets/clickable_label.h"
#include "widgets/colours.h"
#include "widgets/window_room.h"
#include "setup/sleep_dialog.h"
#include "link/statistics_dialog.h"
#include "setup/setup_screen_qt.h"
#include "base/bytes.h"
#include "memory/upload_screen_qt.h"
#include "setup/data_status_page.h"
#include "memory/memory_fakes.h"
#include "support/fakes.h"
#include "support/window_rig.h"
#include "support/temp_dir.h"
#include "archive/recording_screen_qt.h"

namespace cv {
namespace {

std::vector<uint8_t> statusPacket(int16_t loggerId = 0) {
    std::vector<uint8_t> p(132, 0);
    putU16le(&p[4], 9);
    putU16le(&p[20], uint16_t(loggerId));
    frameBlock(p.data(), p.size(), 3);
    return p;
}

struct WindowFixture : ::testing::Test, test::WindowRig {

    // One second of the program: 200 fast ticks, then the two one-second timers.
    void second(const std::vector<uint8_t>& arriving = {}) {
        line->feed(arriving);
        for (int i = 0; i < 200; ++i) form.Timer10msTimer();
        form.Timer475msTimer();
        form.Timer1000msTimer();
    }
    void chooseLoggerPort(int com, int speed) {
        form.linkScreen()->LoggerPortCB->setCurrentIndex(com);
        form.linkScreen()->LoggerSetupCB->setCurrentIndex(speed);
        form.linkScreen()->LoggerPortCBChange();
    }
    std::vector<uint8_t> junk() { return std::vector<uint8_t>(50, 0x5A); }
};

TEST_F(WindowFixture, StartsWithTitleNoPortAndThePortGroupShown) {
    EXPECT_EQ(form.windowTitle(), "CV Logger Host v7.06");
    EXPECT_EQ(form.linkScreen()->LoggerPortCB->currentText(), "No Port Selected");
    EXPECT_EQ(form.linkScreen()->LoggerSetupCB->currentText(), "9600");
    EXPECT_FALSE(form.linkScreen()->LoggerPortGB->isHidden());
    EXPECT_EQ(form.ShowLoggerPortSetup->text(), "Hide Logger Port Setup");
    EXPECT_EQ(form.Timer10ms->interval(), 5);
    EXPECT_EQ(form.Timer475ms->interval(), 1000);
    EXPECT_EQ(form.Timer1000ms->interval(), 1000);
    EXPECT_EQ(form.TTimeout->interval(), 1500);
    for (const char* hidden : {"TSHardware", "TSAnalog", "TSPlotSetup"})
        EXPECT_FALSE(form.Tabs->isTabVisible(form.Tabs->indexOf(form.findChild<QWidget*>(hidden)))) << hidden;
}

TEST_F(WindowFixture, WithoutAHostModeTheWindowSaysWhereToStart) {
    auto* hint = form.findChild<QLabel*>("NoModeHint");
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->isVisibleTo(&form));
    EXPECT_FALSE(form.Tabs->isVisibleTo(&form));
    form.setupScreen()->setupDisplayMode(5);
    EXPECT_FALSE(hint->isVisibleTo(&form));
    EXPECT_TRUE(form.Tabs->isVisibleTo(&form));
}

TEST_F(WindowFixture, HelpOpensOneOperatorsGuideWindowWithTheGuide) {
    QAction* item = form.findChild<QAction*>("MenuOperatorGuide");
    ASSERT_NE(item, nullptr);
    item->trigger();
    item->trigger();
    const auto windows = form.findChildren<QWidget*>("OperatorGuideWindow");
    ASSERT_EQ(windows.size(), 1);
    EXPECT_TRUE(windows[0]->isVisible());
    EXPECT_FALSE(windows[0]->isModal());
    const QString guide = windows[0]->findChild<QTextBrowser*>("GuideText")->toPlainText();
    for (const char* part : {"First steps with a logger", "Upload Logger Data", "PC-Logger", "comports.cfg"})
        EXPECT_TRUE(guide.contains(part)) << part;
}

// A window larger than the screen opens whole on it, title bar included, even over a parent that
// stands in the screen's corner.
TEST(WindowOnScreen, ALargeWindowOpensWithinTheScreenOverAParentInItsCorner) {
    QWidget parent;
    const QRect screen = parent.screen()->availableGeometry();
    parent.setGeometry(QRect(screen.bottomRight() - QPoint(200, 150), QSize(200, 150)));
    parent.show();
    QWidget window(&parent, Qt::Window);
    openWithinScreen(&window, screen.size() + QSize(100, 15));
    EXPECT_TRUE(screen.contains(QRect(window.pos(), window.size() + QSize(0, 40))));
}

// The run list survives a look at another page: its rows still fetch their runs.
TEST_F(WindowFixture, TheRunListStaysWhenTheUploadPageIsShownAgain) {
    form.setupScreen()->setupDisplayMode(5);
    for (int16_t run : {1, 2}) {
        form.records().directoryEntry = test::entryPacket(run, 2048);
        form.onDirectoryEntry();
    }
    auto* runs = form.findChild<QListWidget*>("LBProfiles");
    ASSERT_EQ(runs->count(), 2);
    for (const char* page : {"TSUpload", "TSLoggerControl", "TSUpload"}) form.Tabs->setCurrentWidget(form.findChild<QWidget*>(page));
    EXPECT_EQ(runs->count(), 2);
}

TEST_F(WindowFixture, HealthyLinkShowsPortAndSpeed) {
    chooseLoggerPort(1, 6);
    second(statusPacket());
    EXPECT_EQ(form.linkScreen()->COMStatus->text(), "COM1 @ 9600 Baud");
    EXPECT_EQ(form.linkScreen()->PLoggerPort->text(), "Logger Port: COM1");
    EXPECT_FALSE(form.linkScreen()->PLoggerPort->isHidden());
    EXPECT_EQ(fieldColour(form.linkScreen()->LoggerPortCB), normalFieldColour());
}

TEST_F(WindowFixture, SilentLoggerTurnsPortRedInTheThirdSecond) {
    chooseLoggerPort(1, 6);
    form.linkScreen()->ShowLoggerPortSetupClick();  // hide the group: supervision shows it again
    ASSERT_TRUE(form.linkScreen()->LoggerPortGB->isHidden());
    second();
    second();
    EXPECT_EQ(fieldColour(form.linkScreen()->LoggerPortCB), normalFieldColour());
    second();
    EXPECT_EQ(fieldColour(form.linkScreen()->LoggerPortCB), kRed);
    EXPECT_EQ(panelColour(form.linkScreen()->PLoggerPort), kRed);
    EXPECT_EQ(fieldColour(form.linkScreen()->LoggerSetupCB), normalFieldColour());
    EXPECT_FALSE(form.linkScreen()->LoggerPortGB->isHidden());
    second(statusPacket());
    EXPECT_EQ(fieldColour(form.linkScreen()->LoggerPortCB), normalFieldColour());
    EXPECT_EQ(panelColour(form.linkScreen()->PLoggerPort), normalPanelColour());
}

TEST_F(WindowFixture, WrongSpeedWithAutoBaudStepsUntilAPacketFrames) {
    chooseLoggerPort(1, 6);
    // A status framed over two ticks leaves nothing arriving that could hold the search off.
    const auto status = statusPacket();
    line->feed({status.begin(), status.begin() + 60});
    form.Timer10msTimer();
    second({status.begin() + 60, status.end()});
    form.linkScreen()->AutoBaudRateDetectionClick();
    EXPECT_TRUE(form.AutoBaudRateDetection->isChecked());
    // Switching on neither reopens the port nor shows a speed the line does not have.
    EXPECT_EQ(form.linkScreen()->LoggerSetupCB->currentIndex(), 6);
    EXPECT_EQ(line->openCount, 1);
    std::vector<std::string> tried;
    for (int s = 0; s < 6 * 4; ++s) {
        const int before = line->openCount;
        second(junk());
        if (line->openCount != before) tried.push_back(form.linkScreen()->LoggerSetupCB->currentText().toStdString());
    }
    EXPECT_EQ(tried, (std::vector<std::string>{"57600", "38400", "19200", "9600,7,E,1"}));
    EXPECT_EQ(line->settings, (LineSettings{9600, 'E', 7, 1}));
    EXPECT_EQ(fieldColour(form.linkScreen()->LoggerSetupCB), kRed);
    second(statusPacket());
    EXPECT_FALSE(form.AutoBaudRateDetection->isChecked());
    EXPECT_FALSE(form.linkScreen()->supervisor().autoBaud());
    EXPECT_EQ(fieldColour(form.linkScreen()->LoggerSetupCB), normalFieldColour());
}

TEST_F(WindowFixture, UploadBlockStillArrivingIsNotCountedAsSilence) {
    chooseLoggerPort(1, 6);
    std::vector<uint8_t> block(1036, 0x21);
    frameBlock(block.data(), block.size(), 4);
    line->feed({block.begin(), block.begin() + 600});
    form.Timer10msTimer();
    for (int i = 0; i < 3; ++i) form.TTimeoutTimer();
    EXPECT_EQ(form.uploadScreen()->session().idleTicks(), 0);
    line->feed({block.begin() + 600, block.end()});
    form.Timer10msTimer();
    form.TTimeoutTimer();
    EXPECT_EQ(form.uploadScreen()->session().idleTicks(), 1);
}

TEST_F(WindowFixture, MissingDeviceGivesTheOpenMessageAndKeepsRunning) {
    serial.line(5)->present = false;
    chooseLoggerPort(5, 6);
    EXPECT_TRUE(dialogs.saw("Could Not Open COM5", "COM5 may already be assigned or may not exist"));
    EXPECT_FALSE(form.ports().isPortOpen(0));
    second();
}

TEST_F(WindowFixture, FlashErrorPacketShowsThePanelAtTheNextSecond) {
    chooseLoggerPort(1, 6);
    line->feed(test::bytesOf("02 02 03 00 00 00 00 00 00 00 07 00"));
    form.Timer10msTimer();
    EXPECT_TRUE(form.linkScreen()->FlashPanel->isHidden());
    form.Timer475msTimer();
    EXPECT_FALSE(form.linkScreen()->FlashPanel->isHidden());
    line->feed(test::bytesOf("02 02 00 00 00 00 00 00 00 00 04 00"));
    form.Timer10msTimer();
    form.Timer475msTimer();
    EXPECT_TRUE(form.linkScreen()->FlashPanel->isHidden());
}

TEST_F(WindowFixture, StatisticsAreWrittenOnlyAfterTheWindowIsOpened) {
    chooseLoggerPort(1, 6);
    StatsDialog* stats = form.linkScreen()->statsForm();
    second(statusPacket());
    EXPECT_TRUE(stats->line(1)->text().isEmpty());
    form.linkScreen()->HostPortStatsClick();
    EXPECT_EQ(stats->windowTitle(), "Host Port Statistics");
    second(statusPacket());
    EXPECT_EQ(stats->line(1)->text(), "Bytes/Sec:  132");
    EXPECT_EQ(stats->line(2)->text(), "Total Input: 264");
    EXPECT_EQ(stats->line(3)->text(), "Packets/Sec:  1");
    EXPECT_EQ(stats->line(5)->text(), "Packet Count: 2");
    EXPECT_EQ(stats->line(7)->text(), "Loops: 200 ");
    EXPECT_EQ(stats->line(9)->text(), "Bad Data Timer: 003");
    for (int n = 1; n <= 9; ++n) EXPECT_TRUE(stats->line(n)->isVisibleTo(stats)) << n;
    second();
    EXPECT_EQ(panelColour(stats->line(1)), kYellow);
    EXPECT_EQ(panelColour(stats->line(3)), kRed);
}

TEST(StatsDialogRules, OutOfRangeLineCountClosesAndOtherSourcesAreIgnored) {
    StatsDialog d;
    d.OpenStats(0, 9, "Host Port Statistics");
    d.SetStatsLine(1, 1, "other source");
    EXPECT_TRUE(d.line(1)->text().isEmpty());
    d.SetStatsLine(0, 10, "no such line");
    d.OpenStats(0, 0, "x");
    EXPECT_EQ(d.shownSource(), -1);
    EXPECT_EQ(d.windowTitle(), "Closed");
    EXPECT_FALSE(d.isVisible());
    d.OpenStats(0, 10, "x");
    EXPECT_EQ(d.shownSource(), -1);
    d.OpenStats(0, 4, "Four");
    EXPECT_TRUE(d.line(4)->isVisibleTo(&d));
    EXPECT_FALSE(d.line(5)->isVisibleTo(&d));
}

TEST_F(WindowFixture, MenuCommandsAreSentOnlyWhenConfirmed) {
    chooseLoggerPort(1, 6);
    dialogs.answers = {Answer::Cancel, Answer::Ok, Answer::Cancel, Answer::Ok};
    form.linkScreen()->factoryCommands()->ResetToMonitorClick();
    form.linkScreen()->factoryCommands()->ResetToMonitorClick();
    form.linkScreen()->factoryCommands()->LoadDefaultFlashSetupClick();
    form.linkScreen()->factoryCommands()->LoadDefaultFlashSetupClick();
    ASSERT_EQ(line->writes.size(), 2u);
    EXPECT_EQ(line->writes[0], test::bytesOf("02 02 B6 B6 00 00 00 00 00 00 70 01"));
    EXPECT_EQ(line->writes[1], test::bytesOf("02 02 AF AF 00 00 00 00 00 00 62 01"));
    EXPECT_EQ(dialogs.boxes[0].caption, "Data Logger Monitor");
    EXPECT_EQ(dialogs.boxes[2].caption, "Reset the Data Logger to it's Default Settings");
}

TEST_F(WindowFixture, ExitAsksAndClosesEveryPort) {
    chooseLoggerPort(1, 6);
    dialogs.answers = {Answer::Cancel};
    form.BTExitClick();
    EXPECT_TRUE(form.ports().isPortOpen(0));
    dialogs.answers = {Answer::Ok};
    form.BTExitClick();
    EXPECT_EQ(dialogs.boxes.back().text, "EXIT Program?");
    EXPECT_EQ(dialogs.boxes.back().caption, "Program Termination");
    EXPECT_FALSE(form.ports().isPortOpen(0));
    EXPECT_FALSE(line->isOpen);
}

// Ending the program names what it stops; while a recording runs Enter keeps it running.
TEST_F(WindowFixture, ExitNamesTheRecordingItEndsAndCancelsOnEnter) {
    test::TempDir dir;
    const std::string path = (dir / "night.arc").string();
    dialogs.fileAnswers = {path};
    form.recordingScreen()->BTRecordArchiveClick();
    dialogs.answers = {Answer::Cancel};
    form.BTExitClick();
    EXPECT_EQ(dialogs.boxes.back().text,
              "EXIT Program?\n\nThis stops:\n  - the recording, and its file is closed (Archive File:  " + path + ")");
    EXPECT_EQ(dialogs.boxes.back().defaultAnswer, Answer::Cancel);
    EXPECT_EQ(form.recordingScreen()->recordingMode(), recording::kContinuous);
}

TEST_F(WindowFixture, LeftColumnStacksOnlyVisibleItems) {
    form.FormResize();
    const int portTop = form.linkScreen()->LoggerPortGB->geometry().top();
    EXPECT_EQ(portTop, form.HostStatusGB->geometry().bottom() + 1 + 4);
    form.linkScreen()->ShowLoggerPortSetupClick();
    EXPECT_EQ(form.findChild<QWidget*>("LoggerStatusGB")->geometry().top(), form.HostStatusGB->geometry().bottom() + 1 + 4);
    EXPECT_GE(form.Tabs->geometry().left(), form.HostStatusGB->geometry().right() + 8);

    // An alarm panel appearing moves no control of the column.
    form.linkScreen()->ShowLoggerPortSetupClick();
    form.FormResize();
    const QRect portBox = form.linkScreen()->LoggerPortGB->geometry();
    const QRect marker = form.setupScreen()->PStore->geometry();
    form.linkScreen()->FlashPanel->show();
    form.setupScreen()->RemoteHostPanel->show();
    form.FormResize();
    EXPECT_EQ(form.linkScreen()->LoggerPortGB->geometry(), portBox);
    EXPECT_EQ(form.setupScreen()->PStore->geometry(), marker);
}

// The operator's commands on a port that takes nothing: one box each, and nothing carries on
// as if the logger had them. Time sync, which nobody asked for, stays silent.
TEST_F(WindowFixture, CommandsThatCannotBeSentDoNotCarryOn) {
    chooseLoggerPort(1, 6);
    line->unplug();
    const auto notSent = [&] {
        int n = 0;
        for (const auto& b : dialogs.boxes) n += b.caption == "Nothing Sent to the Logger" ? 1 : 0;
        return n;
    };

    dialogs.answers = {Answer::Yes};
    form.uploadScreen()->BTClearMemoryClick();
    EXPECT_EQ(notSent(), 1);
    EXPECT_FALSE(dialogs.saw("**** WARNING ****",
                             "The status must return to Standby before removing power or any other action is taken"));

    SleepDialog* sleep = form.setupScreen()->sleepDialog();
    sleep->show();
    sleep->METime->setText("23:59:59");
    sleep->MEDate->setText("12/31/30");
    dialogs.answers = {Answer::Ok};
    sleep->SleepButtonClick();
    EXPECT_EQ(notSent(), 2);
    EXPECT_TRUE(sleep->isVisible()) << "the logger is not asleep";

    form.findChild<QPushButton*>("BTStop")->click();
    EXPECT_EQ(notSent(), 3) << "one box for the stop command and its break text";

    // The status's logger clock is far from the PC's: automatic time sync wants to send.
    second(statusPacket());
    EXPECT_EQ(notSent(), 3);
}

// A device that goes away is shown as lost, its status as stale, and it is reopened by itself
// when it comes back, with no box for each attempt; choosing no port ends the attempts.
TEST_F(WindowFixture, LostLoggerComesBackByItself) {
    chooseLoggerPort(1, 6);
    second(statusPacket());
    QWidget* statusBody = form.findChild<QWidget*>("LoggerStatusBody");
    ASSERT_NE(statusBody, nullptr);
    line->unplug();
    second();
    EXPECT_EQ(form.linkScreen()->COMStatus->text(), "COM1 lost - waiting for the device");
    EXPECT_FALSE(statusBody->isEnabled()) << "values that no longer follow the logger are greyed";
    const size_t boxes = dialogs.boxes.size();
    for (int s = 0; s < 6; ++s) second();
    EXPECT_EQ(dialogs.boxes.size(), boxes) << "no box for each failed attempt";

    const int opens = line->openCount;
    line->plugIn();
    second();
    second();
    EXPECT_GT(line->openCount, opens);
    EXPECT_EQ(line->settings, (LineSettings{9600, 'N', 8, 1}));
    second(statusPacket());
    EXPECT_EQ(form.linkScreen()->COMStatus->text(), "COM1 @ 9600 Baud");
    EXPECT_TRUE(statusBody->isEnabled());
    EXPECT_EQ(fieldColour(form.linkScreen()->LoggerPortCB), normalFieldColour());

    // The first attempt comes two seconds after the device went, even when it is back at once.
    line->unplug();
    line->plugIn();
    const int backAtOnce = line->openCount;
    second();
    EXPECT_EQ(line->openCount, backAtOnce);
    EXPECT_EQ(form.linkScreen()->COMStatus->text().toStdString(), "COM1 lost - waiting for the device");
    second();
    EXPECT_EQ(line->openCount, backAtOnce + 1);
    EXPECT_EQ(form.linkScreen()->COMStatus->text().toStdString(), "COM1 @ 9600 Baud");

    line->unplug();
    second();
    chooseLoggerPort(0, 6);
    line->plugIn();
    const int before = line->openCount;
    for (int s = 0; s < 4; ++s) second();
    EXPECT_EQ(line->openCount, before) << "no port chosen: no more attempts";
    EXPECT_EQ(form.linkScreen()->COMStatus->text(), "No Port @ 9600 Baud");
}

// The port map sends the logger port to another device: what answers there is checked as after a
// loss, and a logger with another ID is named once.
TEST_F(WindowFixture, PortOpenedOnAnotherDeviceChecksWhoAnswers) {
    chooseLoggerPort(1, 6);
    second(statusPacket(2));
    QLabel* analogReading = form.setupScreen()->dataStatusPage()->Analog[0];
    QListWidget* runs = form.findChild<QListWidget*>("LBProfiles");
    runs->addItem("  1   run.001   1024");
    form.linkScreen()->reopenLoggerPort();
    second();
    EXPECT_FALSE(form.findChild<QWidget*>("LoggerStatusBody")->isEnabled());
    EXPECT_FALSE(analogReading->isEnabled()) << "Data Status greyed until the logger is known";
    second(statusPacket(9));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_NE(dialogs.boxes[0].text.find("logger ID 9"), std::string::npos);
    EXPECT_TRUE(form.findChild<QWidget*>("LoggerStatusBody")->isEnabled());
    EXPECT_TRUE(analogReading->isEnabled()) << "its values are this logger's";
    EXPECT_EQ(runs->count(), 0) << "the old logger's runs are not listed as its";
}

// The Port Map window's Status column follows the ports while it is up, without a Refresh.
TEST_F(WindowFixture, PortMapStatusFollowsAPortThatOpensIsLostAndCloses) {
    form.services().menu.MenuPortMap->trigger();
    QLabel* com1 = form.findChild<QLabel*>("ComStatus1");
    ASSERT_NE(com1, nullptr);
    EXPECT_EQ(com1->text(), "");
    chooseLoggerPort(1, 6);
    second();
    EXPECT_EQ(com1->text(), "Logger port");
    line->unplug();
    second();
    EXPECT_EQ(com1->text(), "Logger port (lost)");
    chooseLoggerPort(0, 6);
    second();
    EXPECT_EQ(com1->text(), "");
}

} // namespace
} // namespace cv
