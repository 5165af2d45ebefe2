// The Port Map window on real pseudo-terminals: a COM number mapped to a newly plugged device
// moves the ports open on it there, and every COM box shows the new device at the same index.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <poll.h>
#include <unistd.h>

#include "app/hostmain_window.h"
#include "adapters/serial_port_qt.h"
#include "link/link_screen_qt.h"
#include "link/port_map_dialog.h"
#include "pclogger/pc_logger.h"
#include "pclogger/pclogger_page.h"
#include "pclogger/pclogger_screen_qt.h"
#include "support/fakes.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

namespace fs = std::filesystem;

// What reaches the far end of a pseudo-terminal within a generous deadline.
std::string arrivedAt(int masterFd, size_t expected) {
    std::string got;
    QElapsedTimer t;
    t.start();
    while (got.size() < expected && t.elapsed() < 3000) {
        pollfd p{masterFd, POLLIN, 20};
        if (::poll(&p, 1, 20) == 1) {
            char buf[64];
            const ssize_t n = ::read(masterFd, buf, sizeof buf);
            if (n > 0) got.append(buf, size_t(n));
        }
    }
    return got;
}

TEST(PortMapWindow, RemappingAnOpenComNumberReopensItsPortsOnTheNewDevice) {
    test::TempDir root;
    test::PtyPair oldLogger, newLogger, oldMeter, newMeter;
    fs::create_directories(root / "dev/serial/by-id");
    const std::string loggerLink = (root / "dev/serial/by-id/usb-Logger-if00").string();
    fs::create_symlink(newLogger.slavePath(), loggerLink);
    PortMap map;
    map.set(1, oldLogger.slavePath());
    map.set(3, oldMeter.slavePath());
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    QtSerialFactory serial{map};
    TForm1 form{HostEnvironment{clock, dialogs, serial, &map}};
    form.linkScreen()->selectLoggerPort(1, 11);
    PcLoggerPage& page = *form.pcLoggerScreen()->page();
    page.PortTypeCB[0]->setCurrentIndex(pclogger::kMeterInput);
    form.pcLoggerScreen()->PortType1CBChange();
    page.DeckPortCB[0]->setCurrentIndex(3);
    page.DeckSetupCB[0]->setCurrentIndex(11);
    page.BTLoadDeck->click();
    ASSERT_TRUE(form.ports().isPortOpen(kLoggerSlot));
    ASSERT_TRUE(form.ports().isPortOpen(1));

    PortMapDialog& window = *form.linkScreen()->portMapForm();
    window.setDeviceRoot(root.path());
    form.services().menu.MenuPortMap->trigger();
    ASSERT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isModal());
    EXPECT_EQ(window.findChild<QLabel*>("ComStatus1")->text(), "Logger port");

    // COM1 picked from the devices present, COM3 typed.
    QComboBox* com1 = window.deviceBox(1);
    const int listed = com1->findData(QString::fromStdString(loggerLink));
    ASSERT_GT(listed, 0);
    EXPECT_EQ(com1->itemText(listed).toStdString(), loggerLink + "  \u2192  " + newLogger.slavePath());
    com1->setCurrentIndex(listed);
    emit com1->activated(listed);
    QLineEdit* com3 = window.deviceBox(3)->lineEdit();
    com3->setText(QString::fromStdString(newMeter.slavePath()));
    QTest::keyClick(com3, Qt::Key_Return);

    QLineEdit* com12 = window.deviceBox(12)->lineEdit();
    com12->setText("/dev/ttyUSB7");
    QTest::keyClick(com12, Qt::Key_Return);

    EXPECT_EQ(map.deviceFor(1), loggerLink);
    EXPECT_EQ(map.deviceFor(3), newMeter.slavePath());
    EXPECT_EQ(map.deviceFor(12), "/dev/ttyUSB7");
    const uint8_t bytes[] = {'M', 'A', 'P'};
    ASSERT_TRUE(form.ports().writePort(kLoggerSlot, bytes, sizeof bytes));
    ASSERT_TRUE(form.ports().writePort(1, bytes, sizeof bytes));
    EXPECT_EQ(arrivedAt(newLogger.masterFd(), 3), "MAP");
    EXPECT_EQ(arrivedAt(newMeter.masterFd(), 3), "MAP");

    QComboBox* loggerPort = form.linkScreen()->LoggerPortCB;
    QComboBox* line1Port = page.DeckPortCB[0];
    EXPECT_EQ(loggerPort->count(), 13);
    EXPECT_EQ(loggerPort->currentIndex(), 1);
    EXPECT_EQ(loggerPort->itemText(1).toStdString(), "COM1  " + loggerLink);
    EXPECT_EQ(line1Port->count(), 13);
    EXPECT_EQ(line1Port->currentIndex(), 3);
    EXPECT_EQ(line1Port->itemText(3).toStdString(), "COM3  " + newMeter.slavePath());
    EXPECT_EQ(loggerPort->itemText(12).toStdString(), "COM12  /dev/ttyUSB7");
    EXPECT_EQ(com1->currentText().toStdString(), loggerLink);
    EXPECT_TRUE(dialogs.boxes.empty()) << dialogs.boxes.front().caption << ": " << dialogs.boxes.front().text;
}

} // namespace
} // namespace cv
