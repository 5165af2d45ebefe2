#include "stream/stream_screen_qt.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>

#include "base/text_format.h"
#include "stream/plot_panel.h"
#include "stream/real_time_page.h"
#include "link/receiver.h"
#include "widgets/host_services.h"
#include "widgets/widget_helpers.h"

namespace cv {

StreamScreen::StreamScreen(QWidget* window, HostServices& services, PacketReceiver& receiver, MuxStream& stream)
    : QObject(window),
      m_services(services),
      m_page(new RealTimePage(window)),
      m_stream(stream),
      m_plotModel(services.clock),
      m_plot(new PlotPanel(m_plotModel, services.clock, PlotPanel::defaultSettingsPath(), m_page)) {
    m_page->placePlot(m_plot);
    receiver.setRawTap([this](const uint8_t* bytes, size_t count) {
        const RawSelection& s = m_parsed.selection();
        if (s.on && s.source == int(RawSource::RawLoggerData)) m_loggerBytes.add(bytes, count);
    });
    connect(m_page->RawSourceCB, &QComboBox::currentIndexChanged, this, &StreamScreen::RawPortCBChange);
    connect(m_page->RawPortCB, &QComboBox::currentIndexChanged, this, &StreamScreen::RawPortCBChange);
    connect(m_page->RawMuxIDUD, &QSpinBox::valueChanged, this, &StreamScreen::RawPortCBChange);
    connect(m_page->BTDisplayRaw, &QPushButton::clicked, this, &StreamScreen::BTDisplayRawClick);
    connect(m_page->BTResetCounters, &QPushButton::clicked, this, &StreamScreen::BTResetCountersClick);
    connect(m_page->BTSendText, &QPushButton::clicked, this, &StreamScreen::BTSendTextClick);
    connect(m_page->EditSendText, &QLineEdit::returnPressed, this, &StreamScreen::EditSendTextReturn);
    connect(m_page->Button3, &QPushButton::clicked, this, [this] { m_services.commands.sendRaw(kWakeText); });
    connect(m_page->Button4, &QPushButton::clicked, this, [this] { m_services.commands.sendRaw(kSleepText); });
    RawPortCBChange();
    unitCountersStep();
}

// The plot panel draws from the model this controller holds, so it goes first.
StreamScreen::~StreamScreen() { delete m_plot; }

PlotPanel* StreamScreen::plot() const { return m_plot; }

void StreamScreen::showPolledButtons(bool shown) {
    m_page->Button3->setVisible(shown);
    m_page->Button4->setVisible(shown);
}

void StreamScreen::onPcLoggerRecordMade(const uint8_t* record, size_t length) {
    const RawSelection& s = m_parsed.selection();
    if (s.on && s.source == int(RawSource::RawPcLoggerData)) m_pcLoggerRecords.add(record, length);
}

void StreamScreen::rawDisplayStep() {
    RawDisplayBuffer* sources[] = {&m_parsed.buffer(), &m_loggerBytes, &m_pcLoggerRecords};
    bool any = false;
    for (RawDisplayBuffer* b : sources) {
        if (b->size() == 0) continue;
        m_lines.append(b->data(), b->size());
        b->clear();
        any = true;
    }
    if (any) showNewLines();
}

// One append per tick however many lines closed: each append relays the memo out.
void StreamScreen::showNewLines() {
    const std::vector<std::string> lines = m_lines.takeNewLines();
    if (lines.empty()) return;
    std::string joined;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) joined += '\n';
        joined += lines[i];
    }
    // The view follows new lines unless the operator has scrolled back to read.
    QScrollBar* bar = m_page->Memo1->verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    m_page->Memo1->appendPlainText(QString::fromLatin1(joined.data(), qsizetype(joined.size())));
    if (following) bar->setValue(bar->maximum());
}

void StreamScreen::unitCountersStep() {
    QLabel* labels[] = {m_page->LBTimeUnit, m_page->LBUnit1, m_page->LBUnit2, m_page->LBUnit3, m_page->LBUnit4};
    for (int u = 0; u < kMuxCountedUnits; ++u) labels[u]->setText(qs(m_stream.unitCounterLine(u)));
}

void StreamScreen::writeHostSetupLine(int number, std::vector<int>& v) const {
    if (number != hostline::kExtraction) return;
    v.at(1) = m_page->RawSourceCB->currentIndex();
    v.at(2) = m_page->RawMuxIDUD->value();
    v.at(3) = m_page->RawPortCB->currentIndex();
}

void StreamScreen::applyHostSetupLine(int number, const std::vector<int>& v, const HostSetupLoad&) {
    if (number != hostline::kExtraction) return;
    setIndex(m_page->RawSourceCB, v.at(1));
    m_page->RawMuxIDUD->setValue(v.at(2));
    setIndex(m_page->RawPortCB, v.at(3));
    RawPortCBChange();
}

void StreamScreen::RawPortCBChange() {
    RawSelection s = m_parsed.selection();
    s.source = m_page->RawSourceCB->currentIndex();
    s.portIndex = m_page->RawPortCB->currentIndex();
    s.unit = m_page->RawMuxIDUD->value();
    m_parsed.setSelection(s);
    m_page->RawMuxIDLB->setText(qs(format("Logger ID:  %3d", s.unit)));
    const bool parsed = s.source <= int(RawSource::ParsedData);
    m_page->RawMuxIDLB->setVisible(parsed);
    m_page->RawMuxIDUD->setVisible(parsed);
    m_page->RawPortCB->setVisible(parsed);
}

void StreamScreen::BTDisplayRawClick() {
    RawSelection s = m_parsed.selection();
    s.on = !s.on;
    m_parsed.setSelection(s);
    m_page->BTDisplayRaw->setText(s.on ? "Stop Display" : "Display Data");
    if (!s.on) {
        // Nothing gathered before the stop turns up when the display is switched on again.
        m_parsed.buffer().clear();
        m_loggerBytes.clear();
        m_pcLoggerRecords.clear();
    }
}

void StreamScreen::stopRawDisplay() {
    if (m_parsed.selection().on) BTDisplayRawClick();
}

void StreamScreen::showRawLoggerData() {
    QSignalBlocker quiet(m_page->RawSourceCB);
    m_page->RawSourceCB->setCurrentIndex(int(RawSource::RawLoggerData));
    RawPortCBChange();
}

void StreamScreen::BTResetCountersClick() {
    m_stream.resetCounters();
    unitCountersStep();
}

void StreamScreen::BTSendTextClick() { sendTyped(false); }

void StreamScreen::EditSendTextReturn() { sendTyped(true); }

// The typed text shows in the memo as a line of its own, and only when it went out; when the
// port takes nothing the operator's sender says so and the line end is not tried after it.
void StreamScreen::sendTyped(bool withLineEnd) {
    const std::string text = sendableText(m_page->EditSendText->text().toLatin1().toStdString());
    m_page->EditSendText->clear();
    m_lines.endLine();
    const bool sent = text.empty() || m_services.commands.sendRaw(text);
    if (sent) {
        m_lines.append(text);
        if (withLineEnd) m_services.commands.sendRaw("\r\n");
    }
    m_lines.endLine();
    showNewLines();
}

} // namespace cv
