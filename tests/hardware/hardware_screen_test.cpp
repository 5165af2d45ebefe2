// The hardware and calibration pages and the port test window inside the real main window,
// driven through their controls with fake lines, dialogs and clock.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <fstream>
#include <functional>

#include "app/hostmain_window.h"
#include "base/bytes.h"
#include "hardware/test_port_dialog.h"
#include "hardware/analog_page.h"
#include "hardware/hardware_page.h"
#include "hardware/hardware_screen_qt.h"
#include "hardware/password.h"
#include "stream/real_time_page.h"
#include "stream/stream_screen_qt.h"
#include "setup/setup_screen_qt.h"
#include "link/link_screen_qt.h"
#include "support/fakes.h"
#include "support/layout_check.h"
#include "support/window_rig.h"
#include "support/temp_dir.h"
#include "widgets/colours.h"
#include "support/case_name.h"

namespace cv {
namespace {

std::vector<uint8_t> hardwarePacket(int16_t serialNumber) {
    std::vector<uint8_t> p(58, 0);
    putI16le(&p[2], serialNumber);
    putI16le(&p[4], 3);  // "DOD Erer"
    putI16le(&p[6], 1);
    putI16le(&p[8], 2);
    p[10] = 0xAA, p[13] = 0x55;
    for (int k = 0; k < 19; ++k) putI16le(&p[k < 8 ? 16 + 2 * k : k < 15 ? 34 + 2 * (k - 8) : 48 + 2 * (k - 15)], int16_t(k % 10));
    frameBlock(p.data(), p.size(), 7);
    return p;
}

std::vector<uint8_t> analogPacket() {
    std::vector<uint8_t> p(44, 0);
    for (int e = 0; e < 8; ++e) {
        putI16le(&p[8 + 2 * e], int16_t(10 * e));
        putI16le(&p[24 + 2 * e], int16_t(790 + e));
    }
    frameBlock(p.data(), p.size(), 6);
    return p;
}

std::vector<uint8_t> statusPacket(int16_t loggerId) {
    std::vector<uint8_t> p(132, 0);
    putU16le(&p[4], 9);
    putU16le(&p[20], uint16_t(loggerId));
    frameBlock(p.data(), p.size(), 3);
    return p;
}

struct HardwareWindow : ::testing::Test, test::WindowRig {
    HardwareScreen& hw = *form.hardwareScreen();
    HardwarePage& hp = *hw.hardwarePage();
    AnalogPage& ap = *hw.analogPage();

    void SetUp() override {
        form.linkScreen()->LoggerPortCB->setCurrentIndex(1);
        form.linkScreen()->LoggerSetupCB->setCurrentIndex(6);
        form.linkScreen()->LoggerPortCBChange();
        line->writes.clear();
    }
    void fastTicks(const std::vector<uint8_t>& arriving) {
        line->feed(arriving);
        for (int i = 0; i < 100; ++i) form.Timer10msTimer();
    }
    bool tabShown(const char* name) const { return form.Tabs->isTabVisible(form.Tabs->indexOf(form.findChild<QWidget*>(name))); }
    QString current() const { return form.Tabs->currentWidget()->objectName(); }
    void type(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        edit->home(false);
        QTest::keyClicks(edit, text);
    }
};

struct ToggleCase {
    const char* menu;
    const char* page;
    const char* done;
    const char* hideCaption;
    const char* showCaption;
};
class PageToggle : public HardwareWindow, public ::testing::WithParamInterface<ToggleCase> {};
TEST_P(PageToggle, MenuShowsThePageAndDoneHidesIt) {
    const ToggleCase& c = GetParam();
    form.setupScreen()->setupDisplayMode(5);
    QAction* item = form.findChild<QAction*>(c.menu);
    ASSERT_TRUE(item->isEnabled());
    item->trigger();
    EXPECT_TRUE(tabShown(c.page));
    EXPECT_EQ(current(), c.page);
    EXPECT_EQ(item->text(), c.hideCaption);
    form.findChild<QPushButton*>(c.done)->click();
    EXPECT_FALSE(tabShown(c.page));
    EXPECT_NE(current(), c.page);
    EXPECT_EQ(item->text(), c.showCaption);
}
INSTANTIATE_TEST_SUITE_P(Pages, PageToggle,
                         ::testing::Values(ToggleCase{"HardwareConfig", "TSHardware", "BTDoneWithHardware",
                                                      "Hide Hardware Setup", "Show Hardware Setup"},
                                           ToggleCase{"AnalogCal", "TSAnalog", "BTDoneWithAnalog",
                                                      "Hide Analog Calibration", "Show Analog Calibration"}),
                         [](const auto& i) { return std::string(i.param.menu); });

TEST_F(HardwareWindow, ArrivedConfigurationWaitsForThe475msTickThenAnEditMakesItNotCurrent) {
    hp.BTGetHardware->click();
    EXPECT_EQ(line->written(), test::packetBytes(0xA8A8));
    fastTicks(hardwarePacket(250));
    EXPECT_EQ(hp.DeviceTypeCB->currentIndex(), 0);
    EXPECT_FALSE(hp.HardwarePanel->isHidden());
    form.Timer475msTimer();
    EXPECT_EQ(hp.DeviceTypeCB->currentText(), "DOD Erer");
    EXPECT_EQ(hp.UDSerialNumber->value(), 250);
    EXPECT_EQ(hp.RunStopCB->currentText(), "SX-28 Reverse Polarity");
    EXPECT_EQ(hp.relays[9]->currentText(), "Self Powered");
    EXPECT_TRUE(hp.HardwarePanel->isHidden());
    EXPECT_TRUE(hw.hardwareCurrent());
    hp.relays[3]->setCurrentIndex(5);
    EXPECT_FALSE(hp.HardwarePanel->isHidden());
    EXPECT_EQ(hp.HardwarePanel->text(), "Hardware Setup is Not Current");
}

TEST_F(HardwareWindow, ArrivedCalibrationIsShownAtOnceWhileThePageIsHidden) {
    ap.BTGetAnalog->click();
    EXPECT_EQ(line->written(), test::packetBytes(0xADAD));
    EXPECT_EQ(ap.MEScale[0]->displayText(), "  790");
    fastTicks(analogPacket());
    EXPECT_FALSE(tabShown("TSAnalog"));
    EXPECT_EQ(ap.MEScale[7]->displayText(), "  797");
    EXPECT_EQ(ap.MEOffset[3]->displayText(), "   30");
    EXPECT_EQ(ap.MEOffset[0]->displayText(), "    0");
    EXPECT_TRUE(ap.AnalogPanel->isHidden());
    type(ap.MEOffset[2], "12");
    EXPECT_FALSE(ap.AnalogPanel->isHidden());
    EXPECT_FALSE(hw.calibrationCurrent());
}

// After a reopen neither page passes for current until a status shows the same logger answers;
// another logger's configuration and calibration are not the ones shown.
TEST_F(HardwareWindow, ReopenLeavesBothPagesNotCurrentUntilTheSameLoggerAnswers) {
    fastTicks(statusPacket(2));
    form.Timer475msTimer();
    fastTicks(hardwarePacket(250));
    fastTicks(analogPacket());
    form.Timer475msTimer();
    ASSERT_TRUE(hw.hardwareCurrent() && hw.calibrationCurrent());

    form.linkScreen()->reopenLoggerPort();
    EXPECT_FALSE(hp.HardwarePanel->isHidden());
    EXPECT_FALSE(ap.AnalogPanel->isHidden());
    fastTicks(statusPacket(2));
    form.Timer475msTimer();
    EXPECT_TRUE(hp.HardwarePanel->isHidden());
    EXPECT_TRUE(ap.AnalogPanel->isHidden());

    form.linkScreen()->reopenLoggerPort();
    fastTicks(statusPacket(9));
    form.Timer475msTimer();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_FALSE(hp.HardwarePanel->isHidden());
    EXPECT_FALSE(ap.AnalogPanel->isHidden());
    EXPECT_FALSE(hw.hardwareCurrent() || hw.calibrationCurrent());
}

// The "Not Current" panel goes when the logger's values arrive: no button may move under a click
// aimed before, and a screen reader hears on the Get and Send buttons what the panel shows.
TEST_F(HardwareWindow, ArrivalsHideTheNotCurrentPanelsWithoutMovingAControl) {
    form.resize(1280, 800);
    form.show();
    form.setupScreen()->setupDisplayMode(5);
    const struct {
        const char* menu;
        QWidget* page;
        QLabel* panel;
        std::vector<QPushButton*> told;
        std::vector<uint8_t> arrival;
        const char* currentText;
    } pages[] = {{"HardwareConfig", &hp, hp.HardwarePanel, {hp.BTGetHardware, hp.BTSendHardwareSetup}, hardwarePacket(250),
                  "Hardware Setup is Current"},
                 {"AnalogCal", &ap, ap.AnalogPanel, {ap.BTGetAnalog, ap.BTSendAnalogCalibration}, analogPacket(),
                  "Analog Calibration is Current"}};
    for (const auto& p : pages) {
        form.findChild<QAction*>(p.menu)->trigger();
        test::settleLayouts();
        ASSERT_TRUE(p.panel->isVisible()) << p.menu;
        for (QPushButton* b : p.told) EXPECT_EQ(b->accessibleDescription(), p.panel->text()) << p.menu;
        const auto before = test::controlPlaces(p.page);
        fastTicks(p.arrival);
        form.Timer475msTimer();
        test::settleLayouts();
        EXPECT_TRUE(p.panel->isHidden()) << p.menu;
        EXPECT_EQ(test::movedControls(before, p.page), std::vector<std::string>{}) << p.menu;
        for (QPushButton* b : p.told) EXPECT_EQ(b->accessibleDescription(), p.currentText) << p.menu;
    }
}

TEST_F(HardwareWindow, OnePasswordCountGuardsBothPagesAndTheFlashDefaults) {
    hp.DeviceTypeCB->setCurrentIndex(2);
    hp.UDSerialNumber->setValue(17);
    hp.BTSendHardwareSetup->click();
    ap.ALGPassword->setText("blueheron");
    ap.BTSendAnalogCalibration->click();
    hp.BTKR8Defaults->click();
    EXPECT_TRUE(line->writes.empty());
    ASSERT_EQ(dialogs.boxes.size(), 3u);
    EXPECT_EQ(dialogs.boxes[0].caption, hardware::kPasswordErrorTitle);
    EXPECT_EQ(dialogs.boxes[0].text, hardware::kFirstRefusalText);
    EXPECT_EQ(dialogs.boxes[1].text, hardware::kLaterRefusalText);
    EXPECT_EQ(dialogs.boxes[2].text, hardware::kLaterRefusalText);

    hp.HWPassword->setText("BlueHeron!!");
    hp.BTKR8Defaults->click();
    hp.BTSendHardwareSetup->click();
    ASSERT_EQ(line->writes.size(), 2u);
    EXPECT_EQ(line->writes[0], test::packetBytes(0xA4A4));
    EXPECT_EQ(line->writes[1].size(), 58u);
    EXPECT_EQ(getI16le(&line->writes[1][2]), 17);
}

TEST_F(HardwareWindow, NoKindOrNoSerialNumberRefusesBeforeThePassword) {
    hp.HWPassword->setText("BlueHeron");
    hp.DeviceTypeCB->setCurrentIndex(-1);
    hp.UDSerialNumber->setValue(5);
    hp.BTSendHardwareSetup->click();
    hp.DeviceTypeCB->setCurrentIndex(0);
    hp.UDSerialNumber->setValue(0);
    hp.BTSendHardwareSetup->click();
    EXPECT_TRUE(line->writes.empty());
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    for (const auto& b : dialogs.boxes) EXPECT_TRUE(b.caption == "Hardware Configuration Error" && b.text == "A meter type and Non-zero SN MUST be selected");
}

// Values the page cannot show (hardware) or send (calibration) as received: the page is not
// current, one warning names them, and Send gives the logger only what the operator sees.
TEST_F(HardwareWindow, OutOfRangeHardwareIsNamedAndNeverSentUnseen) {
    std::vector<uint8_t> p = hardwarePacket(2000);
    putI16le(&p[6], 7);        // status LED
    putI16le(&p[16 + 4], 12);  // serial port 3 relay
    frameBlock(p.data(), p.size(), 7);
    fastTicks(p);
    form.Timer475msTimer();
    EXPECT_EQ(hp.UDSerialNumber->value(), 1000);
    EXPECT_EQ(hp.StatusLEDCB->currentIndex(), -1);
    EXPECT_EQ(hp.relays[2]->currentIndex(), -1);
    EXPECT_FALSE(hp.HardwarePanel->isHidden());
    EXPECT_FALSE(hw.hardwareCurrent());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "Hardware Configuration Shown Changed");
    EXPECT_NE(dialogs.boxes[0].text.find("\n\nSerial Number: 2000 shown as 1000\nStatus LED: 7 shown as no choice\n"
                                         "Serial port 3 relay: 12 shown as no choice"),
              std::string::npos)
        << dialogs.boxes[0].text;

    hp.HWPassword->setText("BlueHeron");
    hp.BTSendHardwareSetup->click();
    EXPECT_TRUE(line->writes.empty());
    EXPECT_EQ(dialogs.boxes.back().text, "Nothing was sent. Choose a value for: Status LED, Serial port 3 relay.");
    hp.StatusLEDCB->setCurrentIndex(2);
    hp.relays[2]->setCurrentIndex(9);
    hp.BTSendHardwareSetup->click();
    ASSERT_EQ(line->writes.size(), 1u);
    EXPECT_EQ(getI16le(&line->writes[0][2]), 1000);
    EXPECT_EQ(getI16le(&line->writes[0][6]), 2);
    EXPECT_EQ(getI16le(&line->writes[0][16 + 4]), 9);
}

TEST_F(HardwareWindow, NegativeCalibrationIsShownWithItsSignAndSentWithinTheLimits) {
    std::vector<uint8_t> p = analogPacket();
    putI16le(&p[24 + 2], -1234);  // Analog 1 scale
    putI16le(&p[8], -32768);      // Battery offset
    frameBlock(p.data(), p.size(), 6);
    fastTicks(p);
    EXPECT_EQ(ap.MEScale[1]->displayText(), "-1234");
    EXPECT_EQ(ap.MEOffset[0]->displayText(), "-32768");
    EXPECT_FALSE(ap.AnalogPanel->isHidden());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "Analog Calibration Outside the Limits");
    EXPECT_NE(dialogs.boxes[0].text.find("\n\nBattery offset: -32768 sent as 0\nAnalog 1 scale: -1234 sent as 1"),
              std::string::npos)
        << dialogs.boxes[0].text;

    ap.ALGPassword->setText("BlueHeron");
    type(ap.MEScale[2], "-7");
    ap.BTSendAnalogCalibration->click();
    ASSERT_EQ(line->writes.size(), 1u);
    EXPECT_EQ(getI16le(&line->writes[0][8]), 0);
    EXPECT_EQ(getI16le(&line->writes[0][24 + 2]), 1);
    EXPECT_EQ(getI16le(&line->writes[0][24 + 4]), 1);
    EXPECT_EQ(getI16le(&line->writes[0][24 + 6]), 793);
}

TEST_F(HardwareWindow, CalibrationIsSentWithinLimitsAndAnEmptyBoxShowsRedUntilItHoldsANumber) {
    ap.ALGPassword->setText("BlueHeron");
    type(ap.MEScale[1], "0");
    type(ap.MEScale[2], "99999");
    type(ap.MEScale[3], "");
    ap.BTSendAnalogCalibration->click();
    ASSERT_EQ(line->writes.size(), 1u);
    const std::vector<uint8_t>& b = line->writes[0];
    ASSERT_EQ(b.size(), 44u);
    EXPECT_EQ(getI16le(&b[24 + 2]), 1);
    EXPECT_EQ(getI16le(&b[24 + 4]), 32700);
    EXPECT_EQ(getI16le(&b[24 + 6]), 1);
    EXPECT_EQ(getI16le(&b[8]), 200);
    EXPECT_TRUE(packetChecksumOk(b.data(), b.size()));
    EXPECT_EQ(fieldColour(ap.MEScale[3]), kRed);
    EXPECT_NE(fieldColour(ap.MEScale[2]), kRed);
    type(ap.MEScale[3], "4");
    EXPECT_NE(fieldColour(ap.MEScale[3]), kRed);
}

TEST_F(HardwareWindow, SendSaysWhenTheCalibrationWentOutAndTheNextGetWhetherTheLoggerTookIt) {
    ap.ALGPassword->setText("BlueHeron");
    ap.BTSendAnalogCalibration->click();  // 11/14/23 22:13:20 on the fake clock
    EXPECT_EQ(ap.LBAnalogSent->text(), "Calibration sent 22:13:20");
    clock.seconds += 5;
    fastTicks(analogPacket());
    EXPECT_EQ(ap.LBAnalogSent->text(), "Logger holds another calibration (Get 22:13:25)");
    ap.BTSendAnalogCalibration->click();  // what the logger showed, sent back
    fastTicks(analogPacket());
    EXPECT_EQ(ap.LBAnalogSent->text(), "Logger took the calibration (Get 22:13:25)");
}

// A Send the port refused stays "not sent" when the logger's copy comes back the same.
struct NotSentCase {
    const char* name;
    std::function<std::vector<uint8_t>()> packet;
    std::function<void(HardwareWindow&)> send;
    std::function<QLabel*(HardwareWindow&)> word;
    const char* notSent;
};
void PrintTo(const NotSentCase& c, std::ostream* out) { *out << c.name; }

class SendThatDidNotGoOut : public HardwareWindow, public ::testing::WithParamInterface<NotSentCase> {};

TEST_P(SendThatDidNotGoOut, IsNotTakenAtTheNextGet) {
    const NotSentCase& c = GetParam();
    fastTicks(c.packet());
    form.Timer475msTimer();
    line->refuseWrites = true;
    c.send(*this);  // 11/14/23 22:13:20 on the fake clock
    EXPECT_EQ(c.word(*this)->text().toStdString(), c.notSent);
    line->refuseWrites = false;
    clock.seconds += 5;
    fastTicks(c.packet());
    form.Timer475msTimer();
    EXPECT_EQ(c.word(*this)->text().toStdString(), c.notSent);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, SendThatDidNotGoOut,
    ::testing::Values(NotSentCase{"Hardware", [] { return hardwarePacket(250); },
                                  [](HardwareWindow& w) {
                                      w.hp.HWPassword->setText("BlueHeron");
                                      w.hp.BTSendHardwareSetup->click();
                                  },
                                  [](HardwareWindow& w) { return w.hp.LBHardwareSent; },
                                  "Hardware configuration not sent 22:13:20"},
                      NotSentCase{"Calibration", analogPacket,
                                  [](HardwareWindow& w) {
                                      w.ap.ALGPassword->setText("BlueHeron");
                                      w.ap.BTSendAnalogCalibration->click();
                                  },
                                  [](HardwareWindow& w) { return w.ap.LBAnalogSent; }, "Calibration not sent 22:13:20"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HardwareWindow, SavingWhatTheLoggerDidNotSendAsksFirstAndALoadedFileIsNotCurrent) {
    test::TempDir dir;
    const std::string path = (dir / "unit").string();
    dialogs.answers = {Answer::Cancel};
    hp.BTSaveHardwareFile->click();
    EXPECT_TRUE(dialogs.fileChoices.empty());
    EXPECT_EQ(dialogs.boxes[0].caption, "**** Warning ****");

    fastTicks(hardwarePacket(321));
    form.Timer475msTimer();
    dialogs.fileAnswers = {path};
    hp.BTSaveHardwareFile->click();  // current: no question
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.fileChoices[0].title, "Save Hardware Configuration File");
    std::ifstream saved(path + ".hdw", std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(saved), {}};
    EXPECT_EQ(bytes, hardwarePacket(321));

    hp.UDSerialNumber->setValue(5);
    dialogs.fileAnswers = {path + ".hdw"};
    hp.BTLoadHardwareFile->click();
    EXPECT_EQ(dialogs.fileChoices[1].title, "Load Hardare Configuration File");
    EXPECT_EQ(hp.UDSerialNumber->value(), 321);
    EXPECT_FALSE(hw.hardwareCurrent());
    dialogs.answers = {Answer::Cancel};
    hp.BTSaveHardwareFile->click();
    EXPECT_EQ(dialogs.boxes.back().text.rfind("The Hardware Configuration shown", 0), 0u);
}

TEST_F(HardwareWindow, FileProblemsAreReportedNamingTheFile) {
    test::TempDir dir;
    const std::string shortFile = (dir / "short.alg").string();
    std::ofstream(shortFile, std::ios::binary) << "123";
    std::vector<uint8_t> damaged = analogPacket();
    damaged[42] ^= 1;
    const std::string damagedFile = (dir / "damaged.alg").string();
    std::ofstream(damagedFile, std::ios::binary).write(reinterpret_cast<const char*>(damaged.data()), 44);
    const std::string unwritable = (dir / "missing" / "x.alg").string();

    dialogs.fileAnswers = {shortFile};
    ap.BTLoadAnalogFile->click();
    EXPECT_EQ(ap.MEScale[7]->displayText(), " 5325");  // unchanged
    dialogs.answers = {Answer::Ok};
    dialogs.fileAnswers = {unwritable};
    ap.BTSaveAnalogFile->click();
    dialogs.fileAnswers = {damagedFile};
    ap.BTLoadAnalogFile->click();
    EXPECT_EQ(ap.MEScale[7]->displayText(), "  797");  // applied all the same
    EXPECT_FALSE(hw.calibrationCurrent());
    std::vector<std::string> texts;
    for (const auto& b : dialogs.boxes)
        if (b.buttons == Buttons::Ok) texts.push_back(b.text);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_NE(texts[0].find(shortFile), std::string::npos);
    EXPECT_NE(texts[1].find(unwritable), std::string::npos);
    EXPECT_NE(texts[2].find(damagedFile), std::string::npos);
    EXPECT_NE(texts[2].find("damaged"), std::string::npos);
}

TEST_F(HardwareWindow, PortTestSendsItsBlockAndShowsRawLoggerData) {
    form.setupScreen()->setupDisplayMode(3);  // Profile: no Real Time Data page
    ASSERT_FALSE(tabShown("TSRealTime"));
    QAction* item = form.findChild<QAction*>("MenuTestOneSerialPort");
    ASSERT_TRUE(item->isEnabled());
    item->trigger();
    TTestPortForm& t = *hw.testPortForm();
    EXPECT_TRUE(t.isVisible());
    EXPECT_FALSE(t.isModal());
    EXPECT_TRUE(t.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(t.windowTitle(), "Test One Logger  Port");

    t.CBTestPortSetup->setCurrentIndex(0);
    t.BTTestPort->click();
    EXPECT_TRUE(line->writes.empty());
    EXPECT_TRUE(dialogs.saw("Test Port Error", "Please a Test Port Setup"));
    EXPECT_FALSE(tabShown("TSRealTime"));

    t.CBTestPort->setCurrentIndex(2);
    t.CBTestPortSetup->setCurrentText("19200");
    t.BTTestPort->click();
    t.BTTestPort->click();
    ASSERT_EQ(line->writes.size(), 2u);
    EXPECT_EQ(line->writes[0], test::bytesOf("0A 0A 00 03 00 00 4B 00 00 00 25 80 00 00 00 00 00 08 00 08 00 00 17 01"));
    EXPECT_EQ(line->writes[1], line->writes[0]);
    EXPECT_TRUE(tabShown("TSRealTime"));
    EXPECT_EQ(current(), "TSRealTime");
    EXPECT_EQ(form.streamScreen()->page()->RawSourceCB->currentText(), "Raw Logger Data");

    line->writes.clear();
    t.BTStopTest->click();
    ASSERT_FALSE(line->writes.empty());
    EXPECT_EQ(line->writes[0], test::packetBytes(0xA1A1));
    t.close();
    EXPECT_FALSE(tabShown("TSRealTime"));
}

TEST_F(HardwareWindow, ClosingThePortTestOutsideMooredAndProfileKeepsRealTimeData) {
    form.setupScreen()->setupDisplayMode(5);
    hw.MenuTestOneSerialPortClick();
    hw.testPortForm()->BTTestPort->click();
    hw.testPortForm()->close();
    EXPECT_TRUE(tabShown("TSRealTime"));
}

} // namespace
} // namespace cv
