#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>

#include "app/hostmain_window.h"
#include "pclogger/annotation_dialog.h"
#include "stream/real_time_page.h"
#include "stream/stream_screen_qt.h"
#include "pclogger/pclogger_page.h"
#include "pclogger/pclogger_screen_qt.h"
#include "setup/data_status_page.h"
#include "setup/setup_screen_qt.h"
#include "link/link_screen_qt.h"
#include "support/fakes.h"
#include "support/layout_check.h"
#include "support/window_rig.h"
#include "widgets/colours.h"

namespace cv {
namespace {

using namespace pclogger;

struct PcLoggerWindow : ::testing::Test, test::WindowRig {
    PcLoggerScreen& screen = *form.pcLoggerScreen();
    PcLoggerPage& page = *screen.page();

    void setLine(int k, int function, int com, int speed = 6) {
        const size_t i = size_t(k - 1);
        page.PortTypeCB[i]->setCurrentIndex(function);
        screen.PortType1CBChange();
        page.DeckPortCB[i]->setCurrentIndex(com);
        page.DeckSetupCB[i]->setCurrentIndex(speed);
        screen.PortType1CBChange();
    }
    // One second of the program at 5 ms a tick.
    void second() {
        for (int i = 0; i < 200; ++i) {
            clock.ms += 5;
            form.Timer10msTimer();
        }
        form.Timer1000msTimer();
    }
};

// An untouched page asks for nothing; a line set to Meter Input says which line and PC port it
// is, and moves nothing the operator may be about to click.
TEST_F(PcLoggerWindow, AFirstMeterInputIsNamedByLineAndPortAndMovesNothing) {
    form.resize(1280, 800);
    form.show();
    form.setupScreen()->setupDisplayMode(8);
    form.Tabs->setCurrentWidget(&page);
    test::settleLayouts();
    EXPECT_FALSE(page.PCLoggerPanel->isVisibleTo(&page)) << "nothing to load on an untouched page";
    EXPECT_EQ(page.LBLine[2]->text(), "Line 3:");
    EXPECT_FALSE(page.PortTypeCB[2]->toolTip().isEmpty());
    const auto before = test::controlPlaces(&page);
    setLine(3, kMeterInput, 5);
    test::settleLayouts();
    EXPECT_EQ(test::movedControls(before, &page), std::vector<std::string>{});
    EXPECT_EQ(page.LBLine[2]->text(), "Line 3: COM5");
    EXPECT_TRUE(page.PCLoggerPanel->isVisibleTo(&page));
}

// The logger's own port is marked in each line's list and cannot be chosen there.
TEST_F(PcLoggerWindow, TheLoggerPortIsMarkedAndNotOfferedToALine) {
    form.setupScreen()->setupDisplayMode(5);
    form.linkScreen()->LoggerPortCB->setCurrentIndex(1);
    form.linkScreen()->LoggerPortCBChange();
    second();
    auto offered = [](const QComboBox* cb, int c) {
        return bool(static_cast<const QStandardItemModel*>(cb->model())->item(c)->flags() & Qt::ItemIsEnabled);
    };
    for (const QComboBox* cb : page.DeckPortCB) {
        EXPECT_EQ(cb->itemText(1), "COM1  (logger port)");
        EXPECT_FALSE(offered(cb, 1));
        EXPECT_TRUE(offered(cb, 2));
    }
}

TEST_F(PcLoggerWindow, MeterInputsRouteThroughTheStreamToALoggerOutputLine) {
    form.setupScreen()->setupDisplayMode(8);
    setLine(1, kMeterInput, 3);
    setLine(2, kLoggerOutput, 4);
    page.UDDeckType[1]->setValue(1);
    page.UDOutPort[1]->setValue(1);
    EXPECT_EQ(page.LBDeckType[1]->text(), "Output Logger ID=1");
    EXPECT_TRUE(page.PCLoggerPanel->isVisibleTo(&page));
    page.BTLoadDeck->click();
    EXPECT_FALSE(page.PCLoggerPanel->isVisibleTo(&page));
    RealTimePage* realTime = form.streamScreen()->page();
    realTime->RawSourceCB->setCurrentIndex(2);  // Raw PC Logger Data
    realTime->BTDisplayRaw->click();
    serial.line(3)->feed(test::textBytes("$GPZDA,1\r\n"));
    second();
    EXPECT_TRUE(realTime->Memo1->toPlainText().contains("$GPZDA,1")) << "the record reaches the raw display";
    const std::vector<uint8_t> out = serial.line(4)->written();
    EXPECT_EQ(std::string(out.begin(), out.end()), "$GPZDA,1\r\n");
    EXPECT_EQ(form.streamScreen()->stream().unit(1).packets, 1u);
    EXPECT_EQ(page.PCPort[0]->text(), "Port 1:  In    10");
    EXPECT_EQ(page.PCPort[1]->text(), "Port 2:  Out   10");
    DataStatusPage* ds = form.setupScreen()->dataStatusPage();
    EXPECT_EQ(ds->DSPCPort[0]->text(), "Port 1:  In    10");
    EXPECT_TRUE(ds->DSPCPort[1]->isVisibleTo(ds));
    EXPECT_FALSE(ds->DSPCPort[2]->isVisibleTo(ds));
    // Changed but not loaded: the line goes on forwarding as loaded.
    setLine(2, kInActive, 0);
    serial.line(3)->feed(test::textBytes("x"));
    second();
    EXPECT_EQ(serial.line(4)->written().size(), 11u);
}

TEST_F(PcLoggerWindow, APortThatWillNotOpenOrHangsUpIsRedOnItsLineUntilItIsBack) {
    serial.line(5)->present = false;
    setLine(1, kMeterInput, 5);
    EXPECT_EQ(fieldColour(page.DeckPortCB[0]), normalFieldColour());
    page.BTLoadDeck->click();
    EXPECT_EQ(fieldColour(page.DeckPortCB[0]), kRed);
    setLine(1, kMeterInput, 6);
    EXPECT_EQ(fieldColour(page.DeckPortCB[0]), normalFieldColour()) << "another port chosen, not yet tried";
    setLine(1, kMeterInput, 5);
    serial.line(5)->present = true;
    page.BTLoadDeck->click();
    EXPECT_EQ(fieldColour(page.DeckPortCB[0]), normalFieldColour());
    serial.line(5)->unplug();
    second();
    EXPECT_EQ(fieldColour(page.DeckPortCB[0]), kRed);
    serial.line(5)->plugIn();
    for (int s = 0; s < 3; ++s) second();
    EXPECT_EQ(fieldColour(page.DeckPortCB[0]), normalFieldColour());
    serial.line(5)->feed(test::textBytes("back"));
    second();
    EXPECT_EQ(page.PCPort[0]->text(), "Port 1:  In     4");
}

TEST_F(PcLoggerWindow, RestoreAndClearGoBackToWhatWasLoaded) {
    setLine(3, kLoggerOutput, 2, 11);
    page.BTLoadDeck->click();
    page.BTClearDeck->click();
    EXPECT_EQ(screen.logger().active()[2].function, kLoggerOutput) << "cleared, not loaded";
    EXPECT_EQ(page.PortTypeCB[2]->currentIndex(), kInActive);
    EXPECT_EQ(page.DeckPortCB[2]->currentIndex(), 0);
    EXPECT_TRUE(page.PCLoggerPanel->isVisibleTo(&page));
    EXPECT_FALSE(page.PCOutHdr->isVisibleTo(&page));
    page.BTRestoreDeck->click();
    EXPECT_EQ(page.PortTypeCB[2]->currentIndex(), kLoggerOutput);
    EXPECT_EQ(page.DeckPortCB[2]->currentIndex(), 2);
    EXPECT_EQ(page.DeckSetupCB[2]->currentIndex(), 11);
    EXPECT_TRUE(page.UDOutPort[2]->isVisibleTo(&page));
    EXPECT_TRUE(page.PCLoggerPanel->isVisibleTo(&page));
    EXPECT_EQ(screen.logger().active()[2], (Line{kLoggerOutput, 2, 1})) << "what runs matches what the line shows";
}

TEST_F(PcLoggerWindow, HostSetupLinesCarryEveryControlAndLine22StartsThePcLogger) {
    page.UDDeckRate->setValue(5);
    page.CBRecordPCTime->setChecked(true);
    setLine(2, kMeterInput, 7, 9);
    setLine(6, kLoggerOutput, 8, 3);
    page.UDDeckType[5]->setValue(4);
    page.UDOutPort[5]->setValue(9);
    std::map<int, std::vector<int>> lines;
    for (int n : {14, 15, 16, 17, 18, 19, 22}) {
        std::vector<int> v(n == 14 ? 2 : n == 22 ? 1 : 8, 0);
        screen.writeHostSetupLine(n, v);
        lines[n] = v;
    }
    EXPECT_EQ(lines[14], (std::vector<int>{5, 1}));
    EXPECT_EQ(lines[17], (std::vector<int>{0, 1, 0, 0, 0, 2, 0, 0}));
    EXPECT_EQ(lines[22], (std::vector<int>{0}));

    test::FakeSerialFactory serial2;
    TForm1 fresh{HostEnvironment{clock, dialogs, serial2, nullptr}};
    PcLoggerScreen& s2 = *fresh.pcLoggerScreen();
    for (auto& [n, v] : lines) s2.applyHostSetupLine(n, v, HostSetupLoad{});
    PcLoggerPage& p2 = *s2.page();
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(p2.PortTypeCB[i]->currentIndex(), page.PortTypeCB[i]->currentIndex()) << i;
        EXPECT_EQ(p2.DeckPortCB[i]->currentIndex(), page.DeckPortCB[i]->currentIndex()) << i;
        EXPECT_EQ(p2.DeckSetupCB[i]->currentIndex(), page.DeckSetupCB[i]->currentIndex()) << i;
        EXPECT_EQ(p2.UDDeckType[i]->value(), page.UDDeckType[i]->value()) << i;
        EXPECT_EQ(p2.UDOutPort[i]->value(), page.UDOutPort[i]->value()) << i;
    }
    EXPECT_EQ(p2.UDDeckRate->value(), 5);
    EXPECT_TRUE(p2.CBRecordPCTime->isChecked());
    EXPECT_FALSE(p2.PCLoggerPanel->isVisibleTo(&p2));
    EXPECT_TRUE(serial2.line(7)->isOpen);
    EXPECT_EQ(serial2.line(8)->settings.baud, 2400);
    EXPECT_EQ(s2.logger().active()[5], (Line{kLoggerOutput, 4, 9}));
}

TEST_F(PcLoggerWindow, TheRateOfAFileFollowsTheDirectionFromTheRateShown) {
    screen.applyHostSetupLine(14, {7, 0}, HostSetupLoad{true, true});
    EXPECT_EQ(page.UDDeckRate->value(), 8);
    EXPECT_EQ(page.LBDeckInterval->text(), "Deck Interval:  125 ms");
    screen.applyHostSetupLine(14, {12, 0}, HostSetupLoad{false, true});
    screen.applyHostSetupLine(14, {7, 0}, HostSetupLoad{false, true});
    EXPECT_EQ(page.UDDeckRate->value(), 6);
    EXPECT_EQ(page.LBDeckRate->text(), "Deck Rate:  6 Hz");
    EXPECT_EQ(screen.logger().interval(), 166);
}

TEST_F(PcLoggerWindow, AHostModeWithoutThePcLoggerClosesItsPorts) {
    form.setupScreen()->setupDisplayMode(4);
    setLine(1, kMeterInput, 2);
    page.BTLoadDeck->click();
    ASSERT_TRUE(serial.line(2)->isOpen);
    form.setupScreen()->setupDisplayMode(2);
    EXPECT_FALSE(serial.line(2)->isOpen);
    EXPECT_TRUE(page.PCLoggerPanel->isVisibleTo(&page));
}

TEST_F(PcLoggerWindow, WaterSamplesAndRemarksRideInTheNextRecords) {
    form.setupScreen()->setupDisplayMode(8);
    setLine(4, kLoggerOutput, 6);
    page.UDDeckType[3]->setValue(1);
    page.UDOutPort[3]->setValue(9);
    page.BTLoadDeck->click();
    QAction* menu = form.findChild<QAction*>("MenuAnnotateFile");
    ASSERT_TRUE(menu->isEnabled());
    EXPECT_EQ(menu->text(), "Annotate Archive File");
    menu->trigger();
    TAnnotationForm* a = screen.annotationForm();
    EXPECT_TRUE(a->isVisible());
    EXPECT_FALSE(a->isModal());
    EXPECT_EQ(a->windowTitle(), "Annotate Archive File");
    clock.seconds = 1139909405;
    clock.hundredthsValue = 12;
    a->UDNext->setValue(5);
    EXPECT_EQ(a->LBNext->text(), "Next Water Sample: 5");
    a->BTStart->click();
    EXPECT_EQ(a->LBNext->text(), "Next Water Sample:  6");
    EXPECT_EQ(a->AnnotateDANDT->text(), "02/14/06\t09:30:05.120");
    second();
    a->BTEnd->click();
    a->BTEnd->click();  // the first is still waiting: dropped with a warning
    EXPECT_TRUE(dialogs.saw("Error - Unable to insert this record into the Archive File",
                            "02/14/06\t09:30:05.120 End Sample 5"));
    a->EDITAnnotation->setText("ignored");
    a->BTClose->click();
    EXPECT_FALSE(a->isVisible());
    second();
    const std::vector<uint8_t> out = serial.line(6)->written();
    EXPECT_EQ(std::string(out.begin(), out.end()),
              "02/14/06\t09:30:05.120 Start Sample 5\r\n02/14/06\t09:30:05.120 End Sample 5\r\n");
}

} // namespace
} // namespace cv
