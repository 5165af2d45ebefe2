// The hardware configuration, the calibration and the port test between the real window and the
// simulated logger over a pseudo-terminal: what the operator edits lands in the logger and comes
// back, and a tested port's text reaches the memo.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "base/bytes.h"
#include "hardware/test_port_dialog.h"
#include "e2e_support.h"
#include "hardware/analog_page.h"
#include "hardware/hardware_page.h"
#include "hardware/hardware_screen_qt.h"
#include "link/link_screen_qt.h"
#include "setup/logger_status_panel.h"
#include "setup/setup_screen_qt.h"
#include "widgets/colours.h"
#include "stream/real_time_page.h"
#include "stream/stream_screen_qt.h"

namespace cv {
namespace {

using namespace std::chrono_literals;
constexpr uint16_t kStopCode = 0xA1A1;

struct HardwareE2e : ::testing::Test {
    test::HostAndLogger rig;
    HardwareScreen& hw = *rig.form.hardwareScreen();
    void SetUp() override {
        rig.form.linkScreen()->selectLoggerPort(1, 6);
        ASSERT_TRUE(rig.runUntil([&] { return rig.form.receiver().counters().packetsFramed >= 1; }, 10s));
    }
};

TEST_F(HardwareE2e, ConfigurationIsEditedSentAndReadBackWithTheLoggersReservedBytes) {
    HardwarePage& p = *hw.hardwarePage();
    const sim::HardwareRecord original = rig.sim.logger().hardware();
    p.BTGetHardware->click();
    ASSERT_TRUE(rig.runUntil([&] { return hw.hardwareCurrent(); }, 10s));
    EXPECT_EQ(p.UDSerialNumber->value(), getI16le(&original[2]));

    p.UDSerialNumber->setValue(333);
    p.relays[2]->setCurrentIndex(9);
    p.HWPassword->setText("BlueHeron");
    p.BTSendHardwareSetup->click();
    ASSERT_TRUE(rig.runUntil([&] { return getI16le(&rig.sim.logger().hardware()[2]) == 333; }, 10s));
    const sim::HardwareRecord adopted = rig.sim.logger().hardware();
    EXPECT_TRUE(std::equal(original.begin() + 10, original.begin() + 14, adopted.begin() + 10));
    EXPECT_EQ(getI16le(&adopted[16 + 4]), 9);
    EXPECT_TRUE(packetChecksumOk(adopted.data(), adopted.size()));

    p.UDSerialNumber->setValue(1);
    p.BTGetHardware->click();
    ASSERT_TRUE(rig.runUntil([&] { return hw.hardwareCurrent(); }, 10s));
    EXPECT_EQ(p.UDSerialNumber->value(), 333);
    EXPECT_EQ(p.relays[2]->currentText(), "Self Powered");
}

TEST_F(HardwareE2e, CalibrationIsEditedSentAndReadBack) {
    AnalogPage& p = *hw.analogPage();
    p.MEScale[3]->setText("");
    p.BTGetAnalog->click();
    ASSERT_TRUE(rig.runUntil([&] { return hw.calibrationCurrent(); }, 10s));
    EXPECT_EQ(p.MEScale[3]->displayText(), " 5325");

    p.MEScale[3]->selectAll();
    QTest::keyClick(p.MEScale[3], Qt::Key_Backspace);
    p.MEScale[3]->home(false);
    QTest::keyClicks(p.MEScale[3], "1234");
    p.ALGPassword->setText("BlueHeron");
    p.BTSendAnalogCalibration->click();
    ASSERT_TRUE(rig.runUntil([&] { return getI16le(&rig.sim.logger().analog()[24 + 6]) == 1234; }, 10s));

    p.MEScale[3]->setText("9");
    p.BTGetAnalog->click();
    ASSERT_TRUE(rig.runUntil([&] { return hw.calibrationCurrent(); }, 10s));
    EXPECT_EQ(p.MEScale[3]->displayText(), " 1234");
}

TEST_F(HardwareE2e, PortTestTextReachesTheMemoUntilStopped) {
    TTestPortForm& t = *hw.testPortForm();
    hw.MenuTestOneSerialPortClick();
    t.CBTestPort->setCurrentIndex(2);
    t.CBTestPortSetup->setCurrentText("19200");
    t.BTTestPort->click();
    RealTimePage* page = rig.form.streamScreen()->page();
    page->BTDisplayRaw->click();
    ASSERT_TRUE(rig.runUntil([&] { return page->Memo1->toPlainText().contains("PORT 3 TEST 19200,8,N,1 LINE"); }, 10s));
    ASSERT_TRUE(rig.sim.probe().waitForBlock(10, 1s));
    // Long enough for a silent or non-framing line to turn red and for a status to be late.
    rig.runUntil([] { return false; }, 4500ms);
    LinkScreen& link = *rig.form.linkScreen();
    EXPECT_NE(panelColour(link.PLoggerPort), kRed) << "a port test is not a failing link";
    EXPECT_EQ(fieldColour(link.LoggerSetupCB), normalFieldColour());
    EXPECT_NE(shownColour(rig.form.setupScreen()->loggerStatusPanel()->LBDandT), kYellow);
    EXPECT_EQ(link.COMStatus->text(), "COM1 @ 9600 Baud - port test");

    t.BTStopTest->click();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.sim.probe().receivedCommands(kStopCode).empty(); }, 5s));
    rig.runUntil([] { return false; }, 1500ms);  // a line already on its way arrives
    const QString settled = page->Memo1->toPlainText();
    rig.runUntil([] { return false; }, 2500ms);
    EXPECT_EQ(page->Memo1->toPlainText().count("PORT 3 TEST"), settled.count("PORT 3 TEST"));
    EXPECT_EQ(link.COMStatus->text(), "COM1 @ 9600 Baud");
}

} // namespace
} // namespace cv
