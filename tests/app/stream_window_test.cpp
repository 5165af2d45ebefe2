#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QAbstractSpinBox>
#include <QTabWidget>
#include <QTest>

#include "app/hostmain_window.h"
#include "base/bytes.h"
#include "link/statistics_dialog.h"
#include "link/link_screen_qt.h"
#include "stream/real_time_page.h"
#include "stream/stream_screen_qt.h"
#include "support/fakes.h"
#include "support/window_rig.h"

namespace cv {
namespace {

// A type-8 packet as the logger frames it: header fields big-endian, then the checksum.
std::vector<uint8_t> muxPacket(int unit, int seq, const std::vector<std::string>& sections) {
    std::string payload;
    for (const std::string& s : sections) payload += s;
    std::vector<uint8_t> p(payload.size() + 36, 0);
    p[4] = uint8_t(unit);
    p[5] = uint8_t(seq);
    putU16be(&p[6], uint16_t(payload.size()));
    for (size_t k = 0; k < sections.size(); ++k) putU16be(&p[12 + 2 * k], uint16_t(sections[k].size()));
    std::copy(payload.begin(), payload.end(), p.begin() + 30);
    std::copy_n("####", 4, p.end() - 6);
    frameBlock(p.data(), p.size(), 8);
    return p;
}

struct StreamWindow : ::testing::Test, test::WindowRig {
    RealTimePage* page = form.streamScreen()->page();

    StreamWindow() {
        form.linkScreen()->LoggerPortCB->setCurrentIndex(1);
        form.linkScreen()->LoggerPortCBChange();
        form.linkScreen()->HostPortStatsClick();
    }
    // Each packet arrives in a tick of its own; then the one-second timers run.
    void second(const std::vector<std::vector<uint8_t>>& packets = {}) {
        for (int i = 0; i < 200; ++i) {
            if (size_t(i) < packets.size()) line->feed(packets[size_t(i)]);
            form.Timer10msTimer();
        }
        form.Timer475msTimer();
        form.Timer1000msTimer();
    }
    QString memo() const { return page->Memo1->toPlainText(); }
};

// New lines keep the memo at its end, however many scroll away; a view the operator scrolled
// back stays where it was.
TEST_F(StreamWindow, TheMemoFollowsNewLinesUnlessScrolledBack) {
    page->resize(600, 300);
    page->RawPortCB->setCurrentIndex(0);
    page->BTDisplayRaw->click();
    QScrollBar* bar = page->Memo1->verticalScrollBar();
    uint8_t seq = 0;
    auto lines = [&](int n) {
        std::vector<std::vector<uint8_t>> packets;
        for (int i = 0; i < n; ++i) packets.push_back(muxPacket(2, seq++, {"line " + std::to_string(seq) + "\r\n"}));
        second(packets);
    };
    lines(150);
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    lines(20);
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(3);
    lines(2);
    EXPECT_LT(bar->value(), bar->maximum());
}

TEST_F(StreamWindow, ParsedDataOfTheChosenPortAndUnitReachesTheMemoAndTheCounters) {
    EXPECT_EQ(page->RawMuxIDLB->text(), "Logger ID:    2");
    page->RawPortCB->setCurrentIndex(2);
    page->BTDisplayRaw->click();
    EXPECT_EQ(page->BTDisplayRaw->text(), "Stop Display");
    // Record 3 follows a gap of two: counted, and shown all the same. Record 3 again is ignored.
    second({muxPacket(2, 0, {"abcd", "", "$GPGGA,1\r\n"}), muxPacket(3, 0, {"", "", "other unit\r\n"}),
            muxPacket(2, 3, {"abcd", "", "$GPGGA,2\r\n"}), muxPacket(2, 3, {"abcd", "", "$GPGGA,2\r\n"}),
            muxPacket(0, 0, {"t"})});
    EXPECT_EQ(memo(), "$GPGGA,1\n$GPGGA,2");
    EXPECT_EQ(page->LBTimeUnit->text(), "Time Unit: 1");
    EXPECT_EQ(page->LBUnit2->text(), "Unit 2: 2 \t1 \t2");
    EXPECT_EQ(page->LBUnit3->text(), "Unit 3: 1 \t0 \t0");
    EXPECT_EQ(form.linkScreen()->statsForm()->line(6)->text(), "Mod Errors:  1");
    EXPECT_EQ(form.linkScreen()->statsForm()->line(4)->text(), "Max Bytes/Packet: 14   14");

    page->BTResetCounters->click();
    EXPECT_EQ(page->LBUnit2->text(), "Unit 2: 0 \t0 \t0");
    second();
    EXPECT_EQ(form.linkScreen()->statsForm()->line(6)->text(), "Mod Errors:  1");
}

TEST_F(StreamWindow, RawLoggerDataShowsEveryByteAndHidesTheParsedChoices) {
    page->RawSourceCB->setCurrentIndex(1);
    EXPECT_TRUE(page->RawPortCB->isHidden());
    EXPECT_TRUE(page->RawMuxIDUD->isHidden());
    EXPECT_TRUE(page->RawMuxIDLB->isHidden());
    second({test::textBytes("not yet shown\r\n")});
    page->BTDisplayRaw->click();
    second({test::textBytes("S>hello\r\n"), muxPacket(2, 0, {"ab\r\n"})});
    // The mux packet shows as it came, header and all, up to its line end.
    EXPECT_TRUE(memo().startsWith("S>hello\n")) << memo().toStdString();
    EXPECT_TRUE(memo().endsWith("ab")) << memo().toStdString();
    std::string many;
    for (int i = 0; i < 150; ++i) many += "line " + std::to_string(i) + "\r\n";
    second({test::textBytes(many)});
    EXPECT_EQ(page->Memo1->blockCount(), 101);
    EXPECT_TRUE(memo().startsWith("line 49\n")) << memo().left(40).toStdString();
    // Leaving for the Upload Logger Data page stops the display.
    form.Tabs->setCurrentWidget(form.findChild<QWidget*>("TSUpload"));
    EXPECT_EQ(page->BTDisplayRaw->text(), "Display Data");
    const QString before = memo();
    second({test::textBytes("after the stop\r\n")});
    EXPECT_EQ(memo(), before);
}

TEST_F(StreamWindow, TypedTextGoesToTheLoggerWithOrWithoutALineEnd) {
    QTest::keyClicks(page->EditSendText, "ds");
    QTest::keyClick(page->EditSendText, Qt::Key_Return);
    EXPECT_TRUE(page->EditSendText->text().isEmpty());
    page->EditSendText->setText("x");
    page->BTSendText->click();
    EXPECT_EQ(line->writes, (std::vector<std::vector<uint8_t>>{test::textBytes("ds"), test::textBytes("\r\n"),
                                                               test::textBytes("x")}));
    EXPECT_EQ(memo(), "ds\nx");
    EXPECT_EQ(page->EditSendText->maxLength(), 199);
}

TEST_F(StreamWindow, TextThatCannotGoOutIsNeitherShownNorFollowedByALineEnd) {
    line->refuseWrites = true;
    page->EditSendText->setText("ds");
    QTest::keyClick(page->EditSendText, Qt::Key_Return);
    EXPECT_TRUE(line->writes.empty());
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(memo().isEmpty());
}

TEST_F(StreamWindow, EveryControlOfThePageHasAnAccessibleName) {
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!qobject_cast<QComboBox*>(w) && !qobject_cast<QSpinBox*>(w) && !qobject_cast<QLineEdit*>(w) &&
            !qobject_cast<QPlainTextEdit*>(w))
            continue;
        if (w->parent() && qobject_cast<QAbstractSpinBox*>(w->parent())) continue;  // the spinner's own edit
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }
}

} // namespace
} // namespace cv
