#include "stream/real_time_page.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/logger_codes.h"
#include "stream/mux_stream.h"
#include "widgets/widget_helpers.h"

namespace cv {

namespace {

// The unit counter lines keep their numbers apart with tabs. In a fixed-pitch font, with a tab
// stop every ten characters, packets, gaps and missed packets each start at the same place on
// every line and under their heading, and the width is set for ten-digit numbers, so a growing
// count never pushes the button below it or the display beside it.
class CounterLine : public QLabel {
public:
    static constexpr int kTabChars = 10;
    static constexpr int kLineChars = 4 * kTabChars;

    CounterLine(const QString& name, const QString& text, QWidget* parent) : QLabel(text, parent) {
        setObjectName(name);
        setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    }
    QSize sizeHint() const override {
        const QFontMetrics m(font());
        return QSize(m.horizontalAdvance(QString(kLineChars, QLatin1Char('0'))), m.height()).grownBy(contentsMargins());
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        QTextOption option(Qt::AlignLeft | Qt::AlignVCenter);
        option.setWrapMode(QTextOption::NoWrap);
        option.setTabStopDistance(fontMetrics().horizontalAdvance(QString(kTabChars, QLatin1Char('0'))));
        painter.drawText(QRectF(contentsRect()), text(), option);
    }
};

} // namespace

const char* const RealTimePage::kCaption = "Real Time Data";

RealTimePage::RealTimePage(QWidget* parent) : QWidget(parent) {
    setObjectName("TSRealTime");
    setWindowTitle(kCaption);

    Memo1 = named(new QPlainTextEdit(this), "Memo1");
    Memo1->setReadOnly(true);
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setMaximumBlockCount(int(RawDisplayLines::kMaxLines));
    Memo1->setAccessibleName("Real-time data display");

    BTDisplayRaw = named(new QPushButton("Display Data", this), "BTDisplayRaw");
    RawSourceCB = named(new QComboBox(this), "RawSourceCB");
    RawSourceCB->addItems({"Parsed Data", "Raw Logger Data", "Raw PC Logger Data"});
    RawSourceCB->setAccessibleName("Data to display");
    RawPortCB = named(new QComboBox(this), "RawPortCB");
    for (int p = 1; p <= kLoggerSerialPorts; ++p) RawPortCB->addItem("Display Port " + QString::number(p));
    RawPortCB->addItem("All Analog Data");
    RawPortCB->setAccessibleName("Logger port to display");
    // A screen reader names a combo box after its buddy label, and these two have none on screen.
    for (QComboBox* cb : {RawSourceCB, RawPortCB}) {
        auto* spoken = new QLabel(cb->accessibleName(), this);
        spoken->hide();
        spoken->setBuddy(cb);
    }
    RawMuxIDLB = namedLabel(this, "RawMuxIDLB");
    RawMuxIDUD = named(new QSpinBox(this), "RawMuxIDUD");
    RawMuxIDUD->setRange(1, 4);
    RawMuxIDUD->setValue(2);
    RawMuxIDUD->setAccessibleName("Logger ID to display");
    RawMuxIDLB->setBuddy(RawMuxIDUD);

    EditSendText = named(new QLineEdit(this), "EditSendText");
    EditSendText->setMaxLength(int(kMaxSendText));
    EditSendText->setAccessibleName("Text to send to the logger (Enter sends it with CR LF)");
    BTSendText = named(new QPushButton("Send w/o CR LF", this), "BTSendText");
    BTResetCounters = named(new QPushButton("Reset Counters", this), "BTResetCounters");
    RawMuxIDUD->setToolTip("The logger ID whose data Parsed Data shows (1: the PC logger).");
    EditSendText->setToolTip("Text for the logger: Enter sends it followed by CR LF.");
    BTSendText->setToolTip("Sends the text as typed, with no CR LF after it.");

    auto* counters = named(new QGroupBox("Unit Counters", this), "GBUnitCounters");
    auto* cl = new QVBoxLayout(counters);
    // "Unit 1: " is eight characters wide; the packet counts start there.
    auto* headings = new CounterLine("LBUnitHeadings", "        Packets\tGaps\tMissed", counters);
    LBTimeUnit = new CounterLine("LBTimeUnit", {}, counters);
    LBUnit1 = new CounterLine("LBUnit1", {}, counters);
    LBUnit2 = new CounterLine("LBUnit2", {}, counters);
    LBUnit3 = new CounterLine("LBUnit3", {}, counters);
    LBUnit4 = new CounterLine("LBUnit4", {}, counters);
    for (QLabel* l : {static_cast<QLabel*>(headings), LBTimeUnit, LBUnit1, LBUnit2, LBUnit3, LBUnit4}) cl->addWidget(l);
    counters->setToolTip(
        "Per logger ID: packets received, gaps in their sequence numbers, and the packets missed at the last gap.");
    BTResetCounters->setToolTip("Sets every unit counter back to 0.");
    cl->addWidget(BTResetCounters);
    cl->addStretch(1);

    auto* choice = new QHBoxLayout;
    choice->addWidget(BTDisplayRaw);
    choice->addWidget(RawSourceCB);
    choice->addWidget(RawPortCB);
    choice->addWidget(RawMuxIDLB);
    choice->addWidget(RawMuxIDUD);
    choice->addStretch(1);

    auto* send = new QHBoxLayout;
    send->addWidget(EditSendText, 1);
    send->addWidget(BTSendText);

    auto* polledRow = new QHBoxLayout;
    polledRow->setContentsMargins(0, 0, 0, 0);
    auto* polled = new QWidget(this);
    polled->setObjectName("PolledButtonsWidget");
    Button3 = new QPushButton("Polled-Wake", polled);
    Button3->setObjectName("Button3");
    Button4 = new QPushButton("Polled-Sleep", polled);
    Button4->setObjectName("Button4");
    Button3->hide();
    Button4->hide();
    auto* polledButtons = new QHBoxLayout(polled);
    polledButtons->setContentsMargins(0, 0, 0, 0);
    polledButtons->addWidget(Button3);
    polledButtons->addWidget(Button4);
    polledButtons->addStretch(1);
    polledRow->addWidget(polled, 0, Qt::AlignLeft);

    auto* grid = new QGridLayout(this);
    grid->addLayout(polledRow, 0, 0, 1, 2);
    grid->addLayout(choice, 1, 0, 1, 2);
    grid->addWidget(Memo1, 3, 0);
    grid->addWidget(counters, 3, 1);
    grid->addLayout(send, 4, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(2, 3);
    grid->setRowStretch(3, 2);
    m_grid = grid;
}

void RealTimePage::placePlot(QWidget* plot) { m_grid->addWidget(plot, 2, 0, 1, 2); }

} // namespace cv
