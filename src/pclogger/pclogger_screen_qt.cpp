#include "pclogger/pclogger_screen_qt.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStandardItemModel>

#include "pclogger/annotation_dialog.h"
#include "base/text_format.h"
#include "stream/mux_stream.h"
#include "link/port_map.h"
#include "link/port_slots.h"
#include "pclogger/pclogger_page.h"
#include "widgets/colours.h"
#include "widgets/host_services.h"
#include "widgets/port_combo.h"
#include "widgets/widget_helpers.h"

namespace cv {

using namespace pclogger;

namespace {
template <class W, class V>
void setQuietly(W* w, V value) {
    const QSignalBlocker block(w);
    if constexpr (std::is_same_v<W, QComboBox>) setIndex(w, value);
    else w->setValue(value);
}
} // namespace

PcLoggerScreen::PcLoggerScreen(QWidget* window, HostServices& services, PortSlotTable& ports, PcLoggerLinks links,
                               const PortMap* portMap)
    : QObject(window),
      m_ports(ports),
      m_portMap(portMap),
      m_links(std::move(links)),
      m_page(new PcLoggerPage(portMap, window)) {
    m_annotation = new TAnnotationForm(window, m_annotations, services.warnings,
                                       [&clock = services.clock] { return timeStampText(clock); });

    for (int n = 0; n < kLines; ++n) {
        const size_t i = size_t(n);
        for (QComboBox* cb : {m_page->PortTypeCB[i], m_page->DeckPortCB[i], m_page->DeckSetupCB[i]})
            connect(cb, &QComboBox::activated, this, &PcLoggerScreen::PortType1CBChange);
        connect(m_page->UDDeckType[i], &QSpinBox::valueChanged, this, [this, n] { UDDeckTypeClick(n + 1); });
        connect(m_page->UDOutPort[i], &QSpinBox::valueChanged, this, [this, n] { UDOutPortClick(n + 1); });
    }
    connect(m_page->UDDeckRate, &QSpinBox::valueChanged, this, &PcLoggerScreen::UDDeckRateClick);
    connect(m_page->BTLoadDeck, &QPushButton::clicked, this, &PcLoggerScreen::BTLoadDeckClick);
    connect(m_page->BTRestoreDeck, &QPushButton::clicked, this, &PcLoggerScreen::BTRestoreDeckClick);
    connect(m_page->BTClearDeck, &QPushButton::clicked, this, &PcLoggerScreen::CloseAllSurfacePortsClick);
    connect(m_page->BTPortMap, &QPushButton::clicked, this, &PcLoggerScreen::portMapWanted);
    connect(services.menu.MenuAnnotateFile, &QAction::triggered, this, &PcLoggerScreen::MenuAnnotateFileClick);

    showPcLoggerLines();
    // Lines 1 to 6 start at 9600; 7 and 8 have no speed chosen, which opens at 9600 as well.
    for (int n = 0; n < kLines; ++n) setQuietly(m_page->DeckSetupCB[size_t(n)], n < 6 ? 6 : -1);
    // An untouched page has nothing to load: all lines In Active, as the PC logger runs.
    showNotLoaded(false);
    setTrafficTexts({}, {}, {});
    markLoggerPort(true);
}

PcLoggerScreen::~PcLoggerScreen() = default;

Line PcLoggerScreen::lineFromControls(int n) const {
    const size_t i = size_t(n);
    return Line{m_page->PortTypeCB[i]->currentIndex(), m_page->UDDeckType[i]->value(), m_page->UDOutPort[i]->value()};
}

void PcLoggerScreen::showNotLoaded(bool shown) {
    m_page->PCLoggerPanel->setVisible(shown);
    if (shown) setPanelColour(m_page->PCLoggerPanel, kYellow);
    tellState(m_page->BTLoadDeck, shown ? m_page->PCLoggerPanel->text() : QString("Setup is Loaded"));
}

void PcLoggerScreen::paintLine(int n) {
    const size_t i = size_t(n);
    QComboBox* com = m_page->DeckPortCB[i];
    QComboBox* speed = m_page->DeckSetupCB[i];
    // A port that would not open, or went away, shows on its line until it works again or the
    // operator chooses another.
    const bool fault = m_portFault[i] && com->currentIndex() == m_lastLoaded[i].com;
    setFieldColour(com, com->currentIndex() == 0 || fault ? kRed : normalFieldColour());
    setFieldColour(speed, speed->currentIndex() == 0 ? kRed : normalFieldColour());
}

void PcLoggerScreen::showPcLoggerLines() {
    bool anyTraffic = false;
    bool anyPortLabel = false;
    for (int n = 0; n < kLines; ++n) {
        const size_t i = size_t(n);
        const int function = m_page->PortTypeCB[i]->currentIndex();
        const bool used = function == kMeterInput || function == kLoggerOutput;
        const bool output = function == kLoggerOutput;
        if (!used) {
            setQuietly(m_page->DeckPortCB[i], 0);
            setQuietly(m_page->DeckSetupCB[i], 0);
        }
        m_page->DeckPortCB[i]->setVisible(used);
        m_page->DeckSetupCB[i]->setVisible(used);
        m_page->PCPort[i]->setVisible(used);
        for (QWidget* w : {static_cast<QWidget*>(m_page->LBDeckType[i]), static_cast<QWidget*>(m_page->UDDeckType[i]),
                           static_cast<QWidget*>(m_page->PCOutPort[i]), static_cast<QWidget*>(m_page->UDOutPort[i])})
            w->setVisible(output);
        if (output) {
            m_page->LBDeckType[i]->setText(qs(format("Output Logger ID=%1d", m_page->UDDeckType[i]->value())));
            m_page->PCOutPort[i]->setText(qs(format("Port=%1d", m_page->UDOutPort[i]->value())));
        }
        if (used) paintLine(n);
        const int com = m_page->DeckPortCB[i]->currentIndex();
        m_page->LBLine[i]->setText(used && com > 0 ? QString("Line %1: COM%2").arg(n + 1).arg(com) : QString("Line %1:").arg(n + 1));
        anyTraffic = anyTraffic || used;
        anyPortLabel = anyPortLabel || output;
    }
    m_page->PCInHdr->setVisible(anyTraffic);
    m_page->PCOutHdr->setVisible(anyPortLabel);
}

void PcLoggerScreen::PortType1CBChange() {
    showNotLoaded(true);
    showPcLoggerLines();
}

void PcLoggerScreen::UDDeckTypeClick(int line) {
    showNotLoaded(true);
    const size_t i = size_t(line - 1);
    m_page->LBDeckType[i]->setText(qs(format("Output Logger ID=%d", m_page->UDDeckType[i]->value())));
}

void PcLoggerScreen::UDOutPortClick(int line) {
    showNotLoaded(true);
    const size_t i = size_t(line - 1);
    m_page->PCOutPort[i]->setText(qs(format("Port=%d", m_page->UDOutPort[i]->value())));
}

void PcLoggerScreen::UDDeckRateClick() {
    const int rate = rateForPosition(m_page->UDDeckRate->value(), m_previousRate);
    setQuietly(m_page->UDDeckRate, rate);
    m_links.logger.setInterval(intervalOfRate(rate));
    m_page->LBDeckRate->setText(qs(rateText(rate)));
    m_page->LBDeckInterval->setText(qs(intervalText(intervalOfRate(rate))));
    m_previousRate = rate;
}

void PcLoggerScreen::BTLoadDeckClick() {
    for (int k = 1; k <= kLines; ++k) m_ports.closePortSlot(k);
    Table active;
    for (int n = 0; n < kLines; ++n) {
        const size_t i = size_t(n);
        const int com = m_page->DeckPortCB[i]->currentIndex();
        const int speed = m_page->DeckSetupCB[i]->currentIndex();
        if (com > 0 && speed != 0) {
            m_ports.openPortSlot(n + 1, com, speed);
            m_portFault[i] = !m_ports.isPortOpen(n + 1);
        } else {
            m_portFault[i] = false;
        }
        active[i] = lineFromControls(n);
        m_lastLoaded[i] = LoadedLine{active[i], com, speed};
        if (m_page->DeckPortCB[i]->isVisibleTo(m_page)) paintLine(n);
    }
    m_links.logger.setActive(active);
    showNotLoaded(false);
}

// Only the controls go back. What runs stays what was loaded: taking the unloaded controls
// over here would have a line read from, or send to, a port opened for another function while
// the screen shows the loaded one.
void PcLoggerScreen::BTRestoreDeckClick() {
    showNotLoaded(true);
    for (int n = 0; n < kLines; ++n) {
        const size_t i = size_t(n);
        const LoadedLine& last = m_lastLoaded[i];
        setQuietly(m_page->PortTypeCB[i], last.line.function);
        setQuietly(m_page->UDDeckType[i], last.line.outputLoggerId);
        setQuietly(m_page->UDOutPort[i], last.line.outputPort);
        setQuietly(m_page->DeckPortCB[i], last.com);
        setQuietly(m_page->DeckSetupCB[i], last.speed);
    }
    showPcLoggerLines();
}

void PcLoggerScreen::CloseAllSurfacePortsClick() {
    for (int n = 0; n < kLines; ++n) {
        setQuietly(m_page->PortTypeCB[size_t(n)], kInActive);
        PortType1CBChange();
    }
}

void PcLoggerScreen::MenuAnnotateFileClick() { m_annotation->open(); }

// The boxes keep their items and indexes (the host setup file stores the index).
void PcLoggerScreen::followPortMap(int comNumber) {
    for (int n = 0; n < kLines; ++n) {
        const size_t i = size_t(n);
        QComboBox* com = m_page->DeckPortCB[i];
        if (m_portMap && comNumber >= 1 && comNumber < com->count())
            com->setItemText(comNumber, qs(m_portMap->comItemText(comNumber)));
        fitWholePortNames(com);
        const int slot = n + 1;
        if (m_ports.openComNumber(slot) != comNumber) continue;
        m_ports.openPortSlot(slot, comNumber, m_ports.settingsIndex(slot));
        m_portFault[i] = !m_ports.isPortOpen(slot);
        if (com->isVisibleTo(m_page)) paintLine(n);
    }
    markLoggerPort(true);
}

void PcLoggerScreen::pcLoggerStep() {
    m_links.logger.tick(m_page->CBRecordPCTime->isChecked(), &m_annotations, [&](uint8_t* record, size_t length) {
        if (m_links.showRawRecord) m_links.showRawRecord(record, length);
        m_links.stream.acceptMuxRecord(record, length);
    });
}

void PcLoggerScreen::setTrafficTexts(const LineCounts& in, const LineCounts& out, const LineCounts& dropped) {
    for (int n = 0; n < kLines; ++n) {
        const size_t i = size_t(n);
        const int function = m_links.logger.active()[i].function;
        const QString text = qs(trafficText(n + 1, function, function == kLoggerOutput ? out[i] : in[i], dropped[i]));
        // Red while the line drops bytes; the next quiet second takes it back.
        const bool dropping = dropped[i] > 0 && function != kInActive;
        const bool repaint = dropping != m_shownDropping[i];
        m_shownDropping[i] = dropping;
        m_page->PCPort[i]->setText(text);
        tellState(m_page->PCPort[i], text);
        if (repaint) setPanelColour(m_page->PCPort[i], dropping ? kRed : normalPanelColour());
        emit lineTrafficShown(n + 1, text, function != kInActive, dropping);
    }
}

// The port the logger is on cannot be a PC logger line as well: it is marked in every line's list
// and cannot be chosen there.
void PcLoggerScreen::markLoggerPort(bool always) {
    const int com = m_ports.isPortOpen(kLoggerSlot) ? m_ports.openComNumber(kLoggerSlot) : 0;
    if (com == m_loggerCom && !always) return;
    for (QComboBox* cb : m_page->DeckPortCB) {
        auto* model = qobject_cast<QStandardItemModel*>(cb->model());
        for (int c : {m_loggerCom, com}) {
            if (c < 1 || c >= cb->count()) continue;
            const bool logger = c == com;
            const QString text = m_portMap ? qs(m_portMap->comItemText(c)) : QString("COM%1").arg(c);
            cb->setItemText(c, logger ? text + kLoggerPortMark : text);
            if (QStandardItem* item = model ? model->item(c) : nullptr) item->setEnabled(!logger);
        }
        fitWholePortNames(cb);
    }
    m_loggerCom = com;
}

void PcLoggerScreen::trafficStep() {
    markLoggerPort(false);
    const auto in = m_links.logger.takeReceived();
    const auto out = m_links.logger.takeSent();
    setTrafficTexts(in, out, m_links.logger.takeDropped());
    for (int n = 0; n < kLines; ++n) {
        const size_t i = size_t(n);
        const int slot = n + 1;
        if (!m_ports.isPortLost(slot)) {
            if (m_portFault[i] && m_ports.isPortOpen(slot)) {
                m_portFault[i] = false;
                paintLine(n);
            }
            continue;
        }
        if (!m_portFault[i]) {
            m_portFault[i] = true;
            paintLine(n);
        }
        if (m_ports.retryLostPortWhenDue(slot)) {
            m_portFault[i] = false;
            paintLine(n);
        }
    }
}

void PcLoggerScreen::applyHostMode(const hostmode::Layout& layout) {
    if (layout.close != hostmode::PortsToClose::PcLoggerPorts) return;
    bool anyOpen = false;
    for (int k = 1; k <= kLines; ++k) {
        anyOpen = anyOpen || m_ports.isPortOpen(k);
        m_ports.closePortSlot(k);
    }
    // What was loaded no longer runs: the next Load New Setup opens the ports again.
    if (anyOpen) showNotLoaded(true);
}

void PcLoggerScreen::writeHostSetupLine(int number, std::vector<int>& values) const {
    auto each = [&](auto value) {
        for (size_t i = 0; i < size_t(kLines) && i < values.size(); ++i) values[i] = value(i);
    };
    switch (number) {
    case hostline::kPcLoggerRate:
        if (values.size() >= 2) {
            values[0] = m_page->UDDeckRate->value();
            values[1] = m_page->CBRecordPCTime->isChecked() ? 1 : 0;
        }
        break;
    case hostline::kPcLoggerPorts: each([this](size_t i) { return m_page->DeckPortCB[i]->currentIndex(); }); break;
    case hostline::kPcLoggerSpeeds: each([this](size_t i) { return m_page->DeckSetupCB[i]->currentIndex(); }); break;
    case hostline::kPcLoggerFunctions: each([this](size_t i) { return m_page->PortTypeCB[i]->currentIndex(); }); break;
    case hostline::kPcLoggerOutputIds: each([this](size_t i) { return m_page->UDDeckType[i]->value(); }); break;
    case hostline::kPcLoggerOutputPorts: each([this](size_t i) { return m_page->UDOutPort[i]->value(); }); break;
    default: break;
    }
}

void PcLoggerScreen::applyHostSetupLine(int number, const std::vector<int>& values, const HostSetupLoad&) {
    auto each = [&](auto apply) {
        for (size_t i = 0; i < size_t(kLines) && i < values.size(); ++i) apply(i, values[i]);
    };
    switch (number) {
    case hostline::kPcLoggerRate:
        if (values.size() < 2) return;
        setQuietly(m_page->UDDeckRate, values[0]);
        UDDeckRateClick();
        m_page->CBRecordPCTime->setChecked(values[1] != 0);
        break;
    case hostline::kPcLoggerPorts: each([this](size_t i, int v) { setQuietly(m_page->DeckPortCB[i], v); }); break;
    case hostline::kPcLoggerSpeeds: each([this](size_t i, int v) { setQuietly(m_page->DeckSetupCB[i], v); }); break;
    case hostline::kPcLoggerFunctions: each([this](size_t i, int v) { setQuietly(m_page->PortTypeCB[i], v); }); break;
    case hostline::kPcLoggerOutputIds: each([this](size_t i, int v) { setQuietly(m_page->UDDeckType[i], v); }); break;
    case hostline::kPcLoggerOutputPorts: each([this](size_t i, int v) { setQuietly(m_page->UDOutPort[i], v); }); break;
    case hostline::kPlotFile:
        // The file's lines are taken over as a whole, so the PC logger runs as it was saved.
        PortType1CBChange();
        BTLoadDeckClick();
        break;
    default: break;
    }
}

} // namespace cv
