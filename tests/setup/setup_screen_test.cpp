#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "widgets/clickable_label.h"
#include "setup/firmware_warning_dialog.h"
#include "setup/logger_id_dialog.h"
#include "setup/sleep_dialog.h"
#include "base/bytes.h"
#include "setup/logger_status_panel.h"
#include <ostream>
#include "setup/record_builders.h"
#include "widgets/colours.h"
#include "setup/setup_fixture.h"
#include "protocol/host_modes.h"
#include "setup/setup_screen_qt.h"
#include "support/case_name.h"

namespace cv::test {
namespace {

class Screen : public ::testing::Test {
protected:
    SetupRig rig;
    // The setup page as the logger's reply leaves it, in host mode `mode`.
    void showSetup(const std::array<uint8_t, 192>& record, int mode = 5) {
        rig.screen->setupDisplayMode(mode);
        rig.deliverSetup(record);
    }
    QColor colourOf(const char* name) const { return shownColour(rig.w<QWidget>(name)); }
};
using SetupExchange = Screen;
using Commands = Screen;
using StatusDisplay = Screen;

// ---- setup exchange ----

std::array<uint8_t, 192> typicalSetup() {
    return SetupRecordBuilder()
        .mode(1)
        .host(19200, 8, 0)
        .port(1, 3, 9600)
        .port(2, 4, 4800, 7, 2)
        .cutOffAll(70)
        .schedule(0, 7200)
        .rate(4)
        .file(1)
        .reserved()
        .build();
}

TEST_F(SetupExchange, DecodedSetupFillsTheScreenAndLoggerPortSpeed) {
    EXPECT_FALSE(rig.screen->showArrivedSetup()) << "nothing arrived";
    rig.records.setup = typicalSetup();
    rig.records.setupArrived = true;
    EXPECT_TRUE(rig.screen->showArrivedSetup());
    EXPECT_FALSE(rig.records.setupArrived);
    EXPECT_EQ(rig.w<QComboBox>("LoggerSetupCB")->currentIndex(), 8);
    EXPECT_EQ(rig.w<QComboBox>("CBHostPortSetup")->currentIndex(), 8);
    EXPECT_EQ(rig.w<QComboBox>("ComboMeter2")->currentText(), "BINARY");
    EXPECT_EQ(rig.w<QComboBox>("CBPort2Setup")->currentText(), "4800,7,E,1");
    EXPECT_EQ(rig.w<QSpinBox>("DelayUD")->value(), 2);
    EXPECT_EQ(rig.w<QComboBox>("DelayCombo")->currentText(), "Hours");
    EXPECT_EQ(rig.text("LBLowVoltage"), " 7.0 V");
    EXPECT_EQ(rig.text("LBAnalogRate"), "4 Hz   250 ms");
    EXPECT_EQ(rig.text("M1TypeLabel"), "ASCII");
    EXPECT_EQ(rig.text("PStore"), "Setup is Current");
    EXPECT_EQ(colourOf("PStore"), shadeColour(Shade::Silver));
    EXPECT_TRUE(rig.screen->moored());
    EXPECT_TRUE(rig.shown("BTSleep"));
    EXPECT_TRUE(rig.sink.writes.empty()) << "decoding sends nothing";
}

TEST_F(SetupExchange, UntouchedScreenSendsBackWhatTheLoggerReported) {
    rig.screen->setupDisplayMode(5);
    const auto original = SetupRecordBuilder()
                              .mode(1)
                              .mask(0x00080105)
                              .schedule(0, 60)
                              .schedule(2, 7200)
                              .schedule(4, 45)
                              .schedule(5, 3600)
                              .host(38400, 8, 0)
                              .port(1, 1, 19200)
                              .port(3, 7, 0, 7, 0)
                              .port(8, 12, 9600, 7, 2)
                              .cutOffAll(80)
                              .analog(2, 2)
                              .pump(4, 11)
                              .rate(3)
                              .output(1)
                              .file(1)
                              .autoStart(1)
                              .reserved()
                              .build();
    rig.deliverSetup(original);
    rig.clickButton("BTSendSetup1");
    ASSERT_EQ(rig.sink.writes.size(), 1u);
    EXPECT_EQ(rig.sink.writes[0], std::vector<uint8_t>(original.begin(), original.end()));
}

TEST_F(SetupExchange, SendSaysWhenTheSetupWentOutAndTheNextGetWhetherTheLoggerTookIt) {
    rig.screen->setupDisplayMode(5);
    SetupRecordBuilder b;
    b.mode(2).port(1, 6, 4800).port(2, 1, 19200).port(3, 3, 9600).port(4, 9, 9600).cutOffAll(65).rate(6).output(1);
    for (int a = 1; a <= 7; ++a) b.analog(a, 1);
    const auto original = b.build();
    rig.deliverSetup(original);
    EXPECT_EQ(rig.text("LBSetupSent1"), "");
    const QString tooSlow = "Host port too slow: this setup sends about 1602 B/s, 9600 baud carries 960 B/s. "
                            "To fit: a faster host speed, or fewer ports or a lower analog rate";
    EXPECT_EQ(rig.text("LBLineCapacity1"), tooSlow);
    EXPECT_EQ(rig.text("LBLineCapacity2"), tooSlow);
    rig.choose("CBHostPortSetup", 11);  // 115200
    EXPECT_EQ(rig.text("LBLineCapacity2"), "");

    rig.clickButton("BTSendSetup2");  // 11/14/23 22:13:20 on the fake clock
    ASSERT_EQ(rig.sink.writes.size(), 1u);
    EXPECT_EQ(rig.text("LBSetupSent1"), "Setup sent 22:13:20");
    EXPECT_EQ(rig.text("LBSetupSent2"), "Setup sent 22:13:20");
    rig.clock.seconds += 8;
    rig.deliverSetup(original);
    EXPECT_EQ(rig.text("LBSetupSent1"), "Logger holds another setup (Get 22:13:28)");
    std::array<uint8_t, 192> taken{};
    std::copy(rig.sink.writes[0].begin(), rig.sink.writes[0].end(), taken.begin());
    rig.deliverSetup(taken);
    EXPECT_EQ(rig.text("LBSetupSent2"), "Logger took the setup (Get 22:13:28)");

    // A Send the closed port did not take is never taken by the logger.
    rig.sink.line->refuseWrites = true;
    rig.clickButton("BTSendSetup2");
    EXPECT_EQ(rig.text("LBSetupSent2"), "Setup not sent 22:13:28");
    rig.sink.line->refuseWrites = false;
    rig.clock.seconds += 2;
    rig.deliverSetup(taken);
    EXPECT_EQ(rig.text("LBSetupSent2"), "Setup not sent 22:13:28");
}

// A rate Send would change is said, with the load it makes, while the operator can still act.
TEST_F(SetupExchange, RateSendChangesIsNamedBeforeSend) {
    showSetup(SetupRecordBuilder().mode(0).host(9600, 8, 0).port(1, 6, 4800).port(2, 1, 19200).rate(4).output(1).file(1).build());
    rig.w<QSpinBox>("UDAnalogRate")->setValue(20);
    const QString shown = rig.text("LBLineCapacity1");
    EXPECT_TRUE(shown.startsWith("Host port too slow: this setup sends about 1140 B/s, 9600 baud carries 960 B/s. To fit:"))
        << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("\nSend Setup will send an analog rate of 8 Hz, not the 20 Hz shown: only Real Time "
                               "and Analog modes sample faster than 8 Hz"))
        << shown.toStdString();
    rig.clickButton("BTSendSetup1");
    ASSERT_EQ(rig.sink.writes.size(), 1u);
    EXPECT_EQ(getI16le(&rig.sink.writes[0][setup::offset::kAnalogRate]), 8);
    EXPECT_EQ(rig.text("LBLineCapacity1").count("will send"), 0) << "the box now shows what went out";
}

const char* const kAborted = "*** Warning *** 'Send Setup' has been aborted.";
const std::string kAbortedText =
    "One or more of the Logger Setup Parameters in either Port Setup or Sample Setup is invalid.\n\nChoose a value for: ";

TEST_F(SetupExchange, SendBeforeAnySetupIsRefused) {
    rig.screen->setupDisplayMode(5);
    rig.clickButton("BTSendSetup1");
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].caption, kAborted);
    const std::string& text = rig.dialogs.boxes[0].text;
    EXPECT_EQ(text.rfind(kAbortedText + "Port 1 meter type, Port 1 baud rate, Port 2 meter type", 0), 0u) << text;
    EXPECT_NE(text.find("Sample units."), std::string::npos) << text;
    EXPECT_EQ(text.find("Sample Interval units"), std::string::npos) << "hidden outside the moored modes: " << text;
    EXPECT_TRUE(rig.sink.writes.empty());
}

TEST_F(SetupExchange, HiddenControlWithoutChoiceKeepsTheLoggersValueAndAShownOneIsNamed) {
    rig.screen->setupDisplayMode(2);
    const auto original = SetupRecordBuilder().mode(1).port(1, 3, 9600).port(3, 13, 4800, 7, 2).cutOffAll(65).build();
    rig.deliverSetup(original);
    rig.clickButton("BTSendSetup1");
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].text, kAbortedText + "Port 3 meter type.") << "port 3 is shown until a status hides it";
    EXPECT_TRUE(rig.sink.writes.empty());

    rig.deliverStatus(StatusRecordBuilder().clock(int32_t(rig.clock.seconds)).masks(0x0001, 0, 0).build());
    ASSERT_FALSE(rig.shown("ComboMeter3"));
    rig.clickButton("BTSendSetup1");
    ASSERT_EQ(rig.sink.writes.size(), 1u);
    EXPECT_EQ(rig.sink.writes[0], std::vector<uint8_t>(original.begin(), original.end()));
    EXPECT_EQ(rig.dialogs.boxes.size(), 1u);
}

TEST_F(SetupExchange, ValuesTheScreenCannotHoldLeaveTheSetupNotCurrentWithOneWarning) {
    showSetup(SetupRecordBuilder().port(1, 3, 9600).schedule(0, 150).cutOffAll(150).build());
    EXPECT_EQ(rig.text("PStore"), "Setup is Not Current");
    EXPECT_EQ(colourOf("PStore"), shadeColour(Shade::Yellow));
    EXPECT_EQ(rig.w<QSpinBox>("DelayUD")->value(), 100);
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].caption, setup::kChangedFieldsCaption);
    const std::string& text = rig.dialogs.boxes[0].text;
    EXPECT_NE(text.find("Delay Before Start: 150 s shown as 100 Seconds"), std::string::npos) << text;
    EXPECT_NE(text.find("Low Voltage Cut-Off: 15.0 V shown as 14.0 V"), std::string::npos) << text;

    rig.deliverSetup(SetupRecordBuilder().port(1, 3, 9600).schedule(0, 100).cutOffAll(140).build());
    EXPECT_EQ(rig.text("PStore"), "Setup is Current");
    EXPECT_EQ(rig.dialogs.boxes.size(), 1u);
}

TEST_F(SetupExchange, ScheduleArrowsMarkTheSetupButLeaveTheAnalogRate) {
    rig.screen->setupDisplayMode(5);
    // A bq5 port with a speed would need 2 Hz; only a port edit raises the rate.
    rig.deliverSetup(SetupRecordBuilder().port(3, 1, 9600).rate(1).build());
    rig.w<QSpinBox>("DelayUD")->stepUp();
    EXPECT_EQ(rig.text("PStore"), "Setup is Not Current");
    EXPECT_EQ(rig.w<QSpinBox>("UDAnalogRate")->value(), 1);
    QTest::keyClicks(rig.w<QSpinBox>("SampleUD"), "0");
    EXPECT_EQ(rig.w<QSpinBox>("UDAnalogRate")->value(), 2) << "typing into the edit box is an edit";
}

TEST_F(SetupExchange, SendReturnsTheRecordWithTheOperatorsEdits) {
    rig.screen->setupDisplayMode(5);
    const auto original = typicalSetup();
    rig.deliverSetup(original);
    rig.choose("CBPort1Setup", 11);
    EXPECT_EQ(rig.text("PStore"), "Setup is Not Current");
    rig.clickButton("BTSendSetup2");
    ASSERT_EQ(rig.sink.writes.size(), 1u);
    const auto& sent = rig.sink.writes[0];
    ASSERT_EQ(sent.size(), 192u);
    EXPECT_EQ(getI32le(&sent[40]), 115200);
    EXPECT_TRUE(packetChecksumOk(sent.data(), sent.size()));
    for (size_t at : {4, 5, 6, 7, 168, 169, 176, 177, 182, 188}) EXPECT_EQ(sent[at], original[at]) << at;
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), rig.records.setup.begin())) << "the held record is what was sent";
    EXPECT_TRUE(rig.dialogs.boxes.empty());
    EXPECT_EQ(rig.text("PStore"), "Setup is Not Current") << "sending does not make it current";
}

TEST_F(SetupExchange, RealTimeOutputWithStorageWarnsAndStillSends) {
    showSetup(typicalSetup());
    rig.choose("OutputCB", 2);
    rig.choose("FileCB", 1);
    rig.clickButton("BTSendSetup1");
    EXPECT_TRUE(rig.dialogs.saw("***Warning***", "Using the Logger Output AND Recording Data internally will cause "
                                                 "the Logger to Turn OFF as the internal memory becomes full!"));
    EXPECT_EQ(rig.sink.writes.size(), 1u);
}

TEST_F(SetupExchange, LeavingMooredModeSendsAnEmptyHourMask) {
    showSetup(typicalSetup(), 2);
    rig.w<QCheckBox>("SOPH1")->click();
    rig.w<QCheckBox>("AOPH3")->click();
    EXPECT_TRUE(rig.w<QCheckBox>("SOPH1")->isChecked());
    rig.trigger("MenuProfile");
    EXPECT_FALSE(rig.w<QCheckBox>("SOPH1")->isChecked());
    rig.clickButton("BTSendSetup1");
    ASSERT_EQ(rig.sink.writes.size(), 1u);
    EXPECT_EQ(getU32le(&rig.sink.writes[0][8]), 0u);
    EXPECT_EQ(getI16le(&rig.sink.writes[0][2]), 0);
}

TEST_F(SetupExchange, Bq5PortRaisesTheRateAndColoursWarnAboutFastSampling) {
    showSetup(SetupRecordBuilder().port(3, 3, 9600).rate(1).build());
    rig.choose("ComboMeter3", 1);
    EXPECT_EQ(rig.w<QSpinBox>("UDAnalogRate")->value(), 2);
    EXPECT_EQ(rig.text("LBAnalogRate"), "2 Hz   500 ms");
    EXPECT_EQ(rig.text("PStore"), "Setup is Not Current");

    rig.choose("FileCB", 1);
    rig.w<QSpinBox>("UDAnalogRate")->setValue(7);
    EXPECT_EQ(colourOf("LBAnalogRate"), shadeColour(Shade::Red));
    rig.choose("FileCB", 0);
    EXPECT_EQ(colourOf("LBAnalogRate"), shadeColour(Shade::Silver));
    rig.w<QSpinBox>("UDAnalogRate")->setValue(11);
    EXPECT_EQ(colourOf("LBAnalogRate"), shadeColour(Shade::Yellow));
    rig.w<QSpinBox>("UDLVCutOff")->setValue(120);
    EXPECT_EQ(rig.text("LBLowVoltage"), "12.0 V");
}

TEST_F(SetupExchange, CodeCanSetCombosWithoutMarkingTheSetup) {
    showSetup(typicalSetup());
    rig.w<QComboBox>("CBPort3Setup")->setCurrentIndex(4);
    EXPECT_EQ(rig.text("PStore"), "Setup is Current");
}

// ---- commands ----

struct StopCase {
    int hostSpeed;
    bool sevenEvenOne;
};
class StopButton : public Screen, public ::testing::WithParamInterface<StopCase> {};
TEST_P(StopButton, SendsStopAndBreakOrTheSevenBitText) {
    rig.w<QComboBox>("CBHostPortSetup")->setCurrentIndex(GetParam().hostSpeed);
    rig.clickButton("BTStop");
    if (GetParam().sevenEvenOne) {
        ASSERT_EQ(rig.sink.writes.size(), 1u);
        EXPECT_EQ(rig.sink.writes[0], textBytes("    STOP7E1STOP7E1"));
    } else {
        ASSERT_EQ(rig.sink.writes.size(), 2u);
        EXPECT_EQ(rig.sink.writes[0], bytesOf("02 02 A1 A1 00 00 00 00 00 00 46 01"));
        EXPECT_EQ(rig.sink.writes[1], textBytes("    BREAKBREAKBREAK"));
    }
}
INSTANTIATE_TEST_SUITE_P(Speeds, StopButton,
                         ::testing::Values(StopCase{5, true}, StopCase{7, true}, StopCase{6, false}, StopCase{0, false},
                                           StopCase{11, false}),
                         [](const auto& i) { return "HostSpeed" + std::to_string(i.param.hostSpeed); });

TEST_F(Commands, PolledWakeAndSleepOnBothPages) {
    rig.screen->setupDisplayMode(5);
    rig.choose("ModeCB", 12);
    for (const char* b : {"Button1", "Button2", "Button3", "Button4"}) rig.clickButton(b);
    EXPECT_EQ(rig.sink.writes, (std::vector<std::vector<uint8_t>>{textBytes(" WAKE"), textBytes("SLEEP"),
                                                                  textBytes(" WAKE"), textBytes("SLEEP")}));
}

TEST_F(Commands, SetupMarkerAsksForTheSetupOnlyInStandby) {
    rig.screen->setupDisplayMode(5);
    auto* marker = rig.w<ClickableLabel>("PStore");
    for (int state : {10, 30, 9}) {
        rig.facts.state = int16_t(state);
        marker->click();
    }
    EXPECT_EQ(rig.sink.writes.size(), 3u);
    for (const auto& w : rig.sink.writes) EXPECT_EQ(w, bytesOf("02 02 AC AC 00 00 00 00 00 00 5C 01"));
    rig.sink.writes.clear();
    rig.facts.state = 6;
    marker->click();
    EXPECT_TRUE(rig.sink.writes.empty());
    EXPECT_TRUE(rig.dialogs.saw("Unable to Complete Command",
                                "The Logger Must be in Standby before Sending a new Logger Setup"));
    rig.clickButton("BTGetSetup1");
    rig.clickButton("BTGetSetup2");
    EXPECT_EQ(rig.sink.writes.size(), 2u) << "the Get Setup buttons ask in any state";
}

TEST_F(Commands, BeginAndSleepShareTheGetSetupHandler) {
    rig.clickButton("BTBegin");
    EXPECT_EQ(rig.sink.writes, (std::vector<std::vector<uint8_t>>{packetBytes(cmd::kBegin)}));
    rig.screen->setupDisplayMode(2);
    rig.clickButton("BTSleep");
    EXPECT_TRUE(rig.screen->sleepDialog()->isVisible());
}

TEST_F(Commands, SleepDialogSendsTheWakeUpTime) {
    SleepDialog* d = rig.screen->sleepDialog();
    d->show();
    EXPECT_EQ(d->METime->placeholderText(), "HH:MM:SS");
    EXPECT_EQ(d->MEDate->placeholderText(), "MM/DD/YY");
    QTest::keyClicks(d->METime, "12:00:00");
    QTest::keyClicks(d->MEDate, "01/01/30");
    d->SleepButton->click();
    ASSERT_EQ(rig.sink.writes.size(), 1u);
    EXPECT_EQ(rig.sink.writes[0], packetBytes(cmd::kSleepUntil, 0, 1893499200u));
    EXPECT_FALSE(d->isVisible());
    d->show();
    d->METime->setText("12:60:00");
    d->SleepButton->click();
    EXPECT_TRUE(d->isVisible()) << "a rejected entry leaves the dialog open";
    EXPECT_EQ(d->METime->text(), "12:60:00");
    d->CancelButton->click();
    EXPECT_FALSE(d->isVisible());
}

TEST_F(Commands, LoggerIdDialogSendsIdsTwoToFour) {
    rig.screen->setupDisplayMode(5);
    rig.trigger("MenuChangeLoggerID");
    LoggerIdDialog* d = rig.screen->loggerIdDialog();
    EXPECT_TRUE(d->isVisible());
    d->BTSendMuxID->click();
    d->UDMuxID->setValue(3);
    EXPECT_EQ(d->LBNewMuxID->text(), "  3");
    d->BTSendMuxID->click();
    d->UDMuxID->setValue(9);
    d->BTSendMuxID->click();
    d->UDMuxID->setValue(0);
    d->BTSendMuxID->click();
    // A typed ID outside 2..4 is refused at the key; what the box shows is what is sent.
    for (const char* typed : {"1", "7", "0"}) {
        d->UDMuxID->selectAll();
        QTest::keyClicks(d->UDMuxID, typed);
        EXPECT_EQ(d->UDMuxID->text(), "2") << typed;
    }
    d->UDMuxID->selectAll();
    QTest::keyClick(d->UDMuxID, Qt::Key_Backspace);
    d->BTSendMuxID->click();
    EXPECT_EQ(d->UDMuxID->text(), "2") << "an emptied box shows the ID sent";
    EXPECT_EQ(rig.sink.writes, (std::vector<std::vector<uint8_t>>{
                                   packetBytes(cmd::kSetMuxId, 2), bytesOf("02 02 A6 A6 00 00 00 00 03 00 53 01"),
                                   packetBytes(cmd::kSetMuxId, 4), packetBytes(cmd::kSetMuxId, 2),
                                   packetBytes(cmd::kSetMuxId, 2)}));
}

// ---- status display ----

TEST_F(StatusDisplay, FirstStatusOpensTheBoxAndFillsTheReadouts) {
    rig.screen->setupDisplayMode(5);
    EXPECT_EQ(rig.w<QWidget>("LoggerStatusGB")->height(), LoggerStatusPanel::kCollapsedHeight);
    EXPECT_EQ(colourOf("LoggerStatusGB"), shadeColour(Shade::Yellow));
    rig.deliverStatus(StatusRecordBuilder()
                          .clock(int32_t(rig.clock.seconds))
                          .state(6)
                          .runNumber(12)
                          .timeLeft(3725)
                          .volts(12400, 12600, 11900)
                          .memory(2048000, 4096000)
                          .power(3)
                          .runStop(1)
                          .portRate(1, -48)
                          .portFile(1, 2048)
                          .analog(2, 1234)
                          .masks(0x0001, 0x02, 0)
                          .deviceType(2)
                          .build());
    EXPECT_FALSE(rig.records.statusArrived);
    EXPECT_EQ(rig.w<QWidget>("LoggerStatusGB")->height(), LoggerStatusPanel::kReportingHeight);
    EXPECT_EQ(colourOf("LoggerStatusGB"), shadeColour(Shade::ButtonFace));
    EXPECT_EQ(rig.text("LBOperation"), "Sampling");
    EXPECT_EQ(rig.text("LBTimeLeft"), " 1:02:05");
    EXPECT_EQ(rig.text("LBCurrentV"), "12.4 V");
    EXPECT_EQ(rig.text("LBStartV"), "12.6 V");
    EXPECT_EQ(rig.text("LBEndV"), "11.9 V");
    EXPECT_EQ(rig.text("LBFreeDisk"), "2000 K");
    EXPECT_EQ(rig.text("LBRunNumber"), "Run Number:  012");
    EXPECT_EQ(rig.text("LBPower"), "Power: 1100 0000");
    EXPECT_EQ(rig.text("LBRunStop"), "Run/Stop Switch: STOP");
    EXPECT_TRUE(rig.shown("LBRunStop"));
    EXPECT_EQ(rig.text("M1BPSLabel"), "Bytes/Record:");
    EXPECT_EQ(rig.text("M1StatusLabel"), "48");
    EXPECT_EQ(rig.text("M1FileSizeLabel"), "2 K");
    EXPECT_EQ(rig.text("Analog2"), "1.234");
    EXPECT_EQ(rig.text("HostType"), "Host:  RS232");
    EXPECT_EQ(rig.text("LBS1"), "Port 1:");
    EXPECT_EQ(rig.text("BTGetDirectory"), "Get KR-8 Directory");
    EXPECT_EQ(rig.text("BTClearMemory"), "Clear KR-8 Memory");
    EXPECT_TRUE(rig.shown("LBDandT"));
    EXPECT_FALSE(rig.shown("LBDrift"));
    for (const char* name : {"LBS1", "ComboMeter1", "CBPort1Setup", "M1Label", "M1FileSizeLabel", "LBA2", "Analog2",
                             "CBAnalog2", "AnalogFS", "LBSerial", "LBAnalogSetup"})
        EXPECT_TRUE(rig.shown(name)) << name;
    for (const char* name : {"LBS2", "ComboMeter8", "CBPort2Setup", "M2Label", "M8TypeLabel", "LBA1", "Analog7",
                             "CBAnalog1", "LBPump1", "CBPump4", "LBPump", "RemoteHostPanel"})
        EXPECT_FALSE(rig.shown(name)) << name;
    EXPECT_TRUE(rig.sink.writes.empty()) << "clocks agree: no time sent";
    // The left column was laid out again around the grown status box.
    EXPECT_GE(rig.w<QWidget>("LoggerStatusGB")->y(), rig.w<QWidget>("HostStatusGB")->geometry().bottom());
}

TEST_F(StatusDisplay, MeterDeviceRenamesRowsAndRemoteHostShowsThePanel) {
    rig.screen->setupDisplayMode(2);
    rig.deliverStatus(StatusRecordBuilder().clock(int32_t(rig.clock.seconds)).deviceType(1).masks(0x0303, 0, 0).build());
    EXPECT_EQ(rig.text("LBS1"), "bq5:");
    EXPECT_EQ(rig.text("LBS2"), "Port 1:");
    EXPECT_EQ(rig.text("M2Label"), "Port 1:");
    EXPECT_TRUE(rig.shown("RemoteHostPanel"));
    EXPECT_EQ(rig.text("HostType"), "Host:  RS422");
    EXPECT_TRUE(rig.shown("SOPH2")) << "installed and moored";
    EXPECT_FALSE(rig.shown("SOPH3"));
    EXPECT_EQ(rig.facts.deviceName, "BQ5+");
    rig.deliverSetup(SetupRecordBuilder().mode(5).build());
    EXPECT_EQ(rig.text("LoggerMode"), "Direct To PORT1");
}

TEST_F(StatusDisplay, HostBitAloneKeepsTheSerialHeading) {
    rig.deliverStatus(StatusRecordBuilder().clock(int32_t(rig.clock.seconds)).masks(0x0100, 0, 0).build());
    EXPECT_EQ(rig.text("HostType"), "Host:  RS422");
    EXPECT_TRUE(rig.shown("LBSerial"));
    EXPECT_FALSE(rig.shown("LBS1"));
}

TEST_F(StatusDisplay, TimeSyncOnDriftAndOnRequest) {
    rig.deliverStatus(StatusRecordBuilder().clock(int32_t(rig.clock.seconds + 6)).build());
    EXPECT_EQ(rig.text("LBDrift"), "Drift:  00:00:06 Fast ");
    ASSERT_EQ(rig.sink.writes.size(), 1u);
    EXPECT_EQ(rig.sink.writes[0], packetBytes(cmd::kSetTime, 0, uint32_t(rig.clock.seconds)));

    rig.sink.writes.clear();
    rig.trigger("MenuAutoTimeUpdate");
    EXPECT_FALSE(rig.action("MenuAutoTimeUpdate")->isChecked());
    rig.deliverStatus(StatusRecordBuilder().clock(int32_t(rig.clock.seconds + 6)).build());
    EXPECT_TRUE(rig.sink.writes.empty());
    rig.trigger("MenuUpdateTimeNow");
    rig.trigger("MenuUpdateTimeNow");
    EXPECT_TRUE(rig.action("MenuUpdateTimeNow")->isChecked()) << "clicking only checks it";
    rig.deliverStatus(StatusRecordBuilder().clock(int32_t(rig.clock.seconds)).build());
    EXPECT_EQ(rig.sink.writes.size(), 1u);
    EXPECT_FALSE(rig.action("MenuUpdateTimeNow")->isChecked());
    rig.deliverStatus(StatusRecordBuilder().clock(int32_t(rig.clock.seconds)).build());
    EXPECT_EQ(rig.sink.writes.size(), 1u) << "one request, one set-time";
}

TEST_F(StatusDisplay, SetTimeCarriesTheLocalWallClockInADaylightZone) {
    rig.clock.offsetWestSeconds = 18000;
    rig.clock.dst = true;
    rig.trigger("MenuUpdateTimeNow");
    rig.deliverStatus(StatusRecordBuilder().build());
    ASSERT_EQ(rig.sink.writes.size(), 1u);
    EXPECT_EQ(rig.sink.writes[0], packetBytes(cmd::kSetTime, 0, uint32_t(rig.clock.seconds - 18000 + 3600)));
}

TEST_F(StatusDisplay, OldFirmwareWarnsOnceInTheRedWindow) {
    rig.deliverStatus(StatusRecordBuilder().clock(int32_t(rig.clock.seconds)).firmware(6, 90, 1, 1, 5).build());
    FirmwareWarningDialog* d = rig.screen->firmwareWarningDialog();
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(d->isModal());
    EXPECT_EQ(d->windowTitle(), "WARNING!!!");
    EXPECT_EQ(d->WarningText->text(), "This Host Program is incompatible with Firmware Version 6.90");
    EXPECT_EQ(shownColour(d), shadeColour(Shade::Red));
    d->OKButton->click();
    EXPECT_FALSE(d->isVisible());
    rig.deliverStatus(StatusRecordBuilder().clock(int32_t(rig.clock.seconds)).firmware(6, 90, 1, 1, 5).build());
    EXPECT_FALSE(d->isVisible());
}

TEST_F(StatusDisplay, InvalidLoggerIdBringsTheDialogBackUntilFixed) {
    LoggerIdDialog* d = rig.screen->loggerIdDialog();
    FirmwareWarningDialog* warning = rig.screen->firmwareWarningDialog();
    rig.deliverStatus(StatusRecordBuilder().clock(int32_t(rig.clock.seconds)).loggerId(0).firmware(6, 90, 1, 1, 5).build());
    EXPECT_TRUE(d->isVisible());
    EXPECT_TRUE(warning->isVisible());
    EXPECT_FALSE(d->frameGeometry().intersects(warning->frameGeometry())) << "both stay readable";
    EXPECT_EQ(d->LBCurrentMuxID->text(), "Current Logger ID:    0");

    d->BTSendMuxID->click();
    d->hide();
    rig.deliverStatus(StatusRecordBuilder().clock(int32_t(rig.clock.seconds)).loggerId(2).build());
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->LBCurrentMuxID->text(), "Current Logger ID:    2");
}

TEST_F(StatusDisplay, ClockLabelsAndStaleLoggerTime) {
    rig.clock.seconds = 1700000000;
    rig.screen->hostClockTick();
    EXPECT_EQ(rig.text("LBHostDandT"), "11/14/23  22:13:20");
    EXPECT_EQ(rig.screen->sleepDialog()->HostTime->text(), "22:13:20");
    rig.deliverStatus(StatusRecordBuilder().clock(int32_t(rig.clock.seconds)).build());
    EXPECT_EQ(rig.text("LBDandT"), "11/14/23   22:13:20");
    EXPECT_EQ(rig.screen->sleepDialog()->SleepDate->text(), "11/14/23");
    for (int s = 0; s < 2; ++s) {
        rig.clock.seconds++;
        rig.screen->hostClockTick();
        EXPECT_EQ(colourOf("LBDandT"), shadeColour(Shade::ButtonFace)) << s;
    }
    rig.clock.seconds++;
    rig.screen->hostClockTick();
    EXPECT_EQ(colourOf("LBDandT"), shadeColour(Shade::Yellow));
}

} // namespace
} // namespace cv::test
