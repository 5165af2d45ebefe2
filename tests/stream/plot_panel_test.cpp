#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QPushButton>
#include <QLabel>
#include <QLineEdit>
#include <string>
#include <vector>

#include "protocol/mux_record.h"
#include "stream/plot_panel.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

struct PlotPanelTest : ::testing::Test {
    test::FakeClock clock;
    test::TempDir dir;
    QString ini = QString::fromStdString((dir / "plot.ini").string());
    plot::PlotModel model{clock};
    PlotPanel panel{model, clock, ini};

    PlotPanelTest() { panel.resize(900, 400); }
    // Logger `unit`'s port 3 says `text`, `ms` after the start.
    void line(uint32_t ms, const std::string& text, int unit = 2) {
        clock.ms = ms;
        std::vector<uint8_t> r(mux::kOverhead + text.size(), 0);
        mux::Header h;
        h.unit = uint8_t(unit);
        h.dataLength = uint16_t(text.size());
        h.sections[2] = uint16_t(text.size());
        mux::writeHeader(r.data(), h, mux::ByteOrder::Host);
        std::copy(text.begin(), text.end(), r.begin() + mux::kHeaderLength);
        model.takeRecord(mux::RecordView(r.data(), r.size()));
    }
    PlotPanel::TraceRow& row() { return panel.rows[0]; }
    void chooseLoggerPort() {
        row().on->setChecked(true);
        row().logger->setValue(2);
        row().port->setValue(3);
    }
};

TEST_F(PlotPanelTest, FieldChosenFromWhatThePortCarriedIsDrawn) {
    panel.show();
    panel.PlotWindowCB->setCurrentIndex(panel.PlotWindowCB->findData(1));  // a minute holds every point of a second
    chooseLoggerPort();
    line(0, "7.5,12.8714\r\n");
    panel.redrawStep();
    ASSERT_EQ(row().field->count(), 2);
    EXPECT_EQ(row().field->itemText(1), "2: 12.8714");
    EXPECT_EQ(row().field->currentIndex(), -1);  // nothing chosen for the operator
    row().field->setCurrentIndex(1);
    for (uint32_t ms = 50; ms <= 1000; ms += 50) line(ms, "7.5," + std::to_string(ms) + "\r\n");
    clock.ms = 3000;
    panel.redrawStep();
    panel.PlotGraph->grab();
    EXPECT_EQ(panel.PlotGraph->pointsDrawn()[0], 20);
    EXPECT_EQ(row().field->itemText(1), "2: 1000");
    EXPECT_EQ(row().last->text(), "1000  2 s ago");

    // A pause longer than the window still shows what it held; Resume shows the present.
    panel.BTPlotPause->click();
    for (uint32_t ms = 3000; ms <= 70000; ms += 50) line(ms, "7.5,2\r\n");
    panel.redrawStep();
    panel.PlotGraph->grab();
    EXPECT_EQ(panel.PlotGraph->pointsDrawn()[0], 20);
    panel.BTPlotPause->click();
    panel.redrawStep();
    panel.PlotGraph->grab();
    EXPECT_EQ(size_t(panel.PlotGraph->pointsDrawn()[0]), model.points(0).size());
}

// Nothing is drawn, listed or labelled while the page is not on screen.
TEST_F(PlotPanelTest, HiddenPanelDoesNoWork) {
    chooseLoggerPort();
    line(0, "1,2\r\n");
    panel.redrawStep();
    EXPECT_EQ(panel.redraws(), 0);
    EXPECT_EQ(panel.PlotGraph->paints(), 0);
    EXPECT_EQ(row().field->count(), 0);
    panel.show();
    panel.hide();
    const int redraws = panel.redraws();
    panel.redrawStep();
    EXPECT_EQ(panel.redraws(), redraws);
}

// What a scientist reads off the plot: only numeric fields to choose, each trace named with its
// logger, port and field, range ends that differ where the values do, and on the shared scale one
// range for the traces that share it.
TEST_F(PlotPanelTest, TracesAreNamedAndTheirRangesToldApart) {
    panel.show();
    line(0, "4807.01,ok,1\r\n", 3);
    line(100, "4807.00,ok,2\r\n", 3);
    for (int i : {0, 1}) {
        panel.rows[size_t(i)].on->setChecked(true);
        EXPECT_EQ(panel.rows[size_t(i)].logger->value(), 3) << "the logger answering, not ID 1";
        panel.rows[size_t(i)].port->setValue(3);
    }
    panel.redrawStep();
    ASSERT_EQ(row().field->count(), 2) << "the text field is not offered";
    row().field->setCurrentIndex(row().field->findData("3:1"));
    row().name->setText("Lat");
    emit row().name->editingFinished();
    panel.rows[1].field->setCurrentIndex(panel.rows[1].field->findData("3:3"));
    line(200, "4807.01,ok,1\r\n", 3);
    line(300, "4807.00,ok,2\r\n", 3);
    panel.redrawStep();
    panel.PlotGraph->grab();
    EXPECT_EQ(panel.PlotGraph->labelsDrawn(),
              (std::vector<QString>{"1: Lat (logger 3, port 3, field 1)", "4807.010", "4807.000",
                                    "2: logger 3, port 3, field 3", "2.0", "1.0"}));

    row().shared->setChecked(true);
    panel.rows[1].shared->setChecked(true);
    panel.PlotGraph->grab();
    EXPECT_EQ(panel.PlotGraph->labelsDrawn(),
              (std::vector<QString>{"1: Lat (logger 3, port 3, field 1) [shared scale]", "4807", "1",
                                    "2: logger 3, port 3, field 3 [shared scale]"}));
}

TEST_F(PlotPanelTest, ChoicesAndWindowSurviveARestart) {
    panel.show();
    chooseLoggerPort();
    line(0, "$GPGGA,1,2.5\r\n");
    panel.redrawStep();
    row().field->setCurrentIndex(row().field->findData("3:GPGGA:2"));
    row().autoRange->setChecked(false);
    row().high->setValue(40);
    row().shared->setChecked(true);
    row().name->setText("Latitude");
    emit row().name->editingFinished();
    panel.rows[3].on->setChecked(true);
    panel.PlotWindowCB->setCurrentIndex(panel.PlotWindowCB->findData(60));

    plot::PlotModel later{clock};
    PlotPanel restarted{later, clock, ini};
    EXPECT_EQ(later.trace(0), model.trace(0));
    EXPECT_EQ(later.trace(0).column.text(), "3:GPGGA:2");
    EXPECT_FALSE(later.trace(0).autoRange);
    EXPECT_EQ(later.trace(0).high, 40);
    EXPECT_EQ(later.trace(0).name, "Latitude");
    EXPECT_TRUE(later.trace(0).shared);
    EXPECT_EQ(later.trace(3), model.trace(3));
    EXPECT_EQ(later.windowMinutes(), 60);
    EXPECT_EQ(restarted.rows[0].field->currentText(), "GPGGA:2: ");
    EXPECT_TRUE(restarted.rows[3].on->isChecked());
}

} // namespace
} // namespace cv
