#include "link/link_screen_qt.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

#include "base/text_format.h"
#include "link/factory_commands_qt.h"
#include "link/link_statistics_qt.h"
#include "link/port_map_dialog.h"
#include "widgets/clickable_label.h"
#include "widgets/colours.h"
#include "widgets/host_services.h"
#include "widgets/port_combo.h"
#include "widgets/widget_helpers.h"

namespace cv {

namespace {
const char* const kShowPortSetup = "Show Logger Port Setup";
const char* const kHidePortSetup = "Hide Logger Port Setup";
constexpr int kPanelHeight = 35;
} // namespace

LinkScreen::LinkScreen(QWidget* window, HostServices& services, PortSlotTable& ports, LoggerPort& loggerPort,
                       PortMap& portMap)
    : QObject(window), m_window(window), m_services(services), m_ports(ports), m_port(loggerPort),
      m_portMap(portMap) {
    buildControls();
    buildLineLoadLabel();
    m_statistics = std::make_unique<LinkStatistics>(window);
    m_factory = new FactoryCommands(window, services);
    m_portMapForm = new PortMapDialog(window, portMap, ports);
    connect(m_portMapForm, &PortMapDialog::remapped, this, &LinkScreen::followPortMap);
    connectMenus();
}

LinkScreen::~LinkScreen() = default;

StatsDialog* LinkScreen::statsForm() const { return m_statistics->form(); }

void LinkScreen::relayout() {
    if (m_services.relayout) m_services.relayout();
}

void LinkScreen::buildControls() {
    FlashPanel = named(new ClickableLabel("Bad Flash Operations", m_window), "FlashPanel");
    FlashPanel->setAlignment(Qt::AlignCenter);
    FlashPanel->setFrameShape(QFrame::Panel);
    FlashPanel->setFrameShadow(QFrame::Raised);
    FlashPanel->setFixedHeight(kPanelHeight);
    QFont bold = FlashPanel->font();
    bold.setBold(true);
    FlashPanel->setFont(bold);
    FlashPanel->hide();
    setPanelColour(FlashPanel, kRed);

    PLoggerPort = named(new QLabel(m_window), "PLoggerPort");
    PLoggerPort->setFrameShape(QFrame::Panel);
    PLoggerPort->setFrameShadow(QFrame::Sunken);
    PLoggerPort->setAlignment(Qt::AlignCenter);
    PLoggerPort->setAutoFillBackground(true);
    PLoggerPort->hide();
    COMStatus = named(new QLabel(m_window), "COMStatus");

    LoggerPortGB = named(new QGroupBox("Logger Port Setup", m_window), "LoggerPortGB");
    auto* lp = new QGridLayout(LoggerPortGB);
    LoggerPortCB = named(new QComboBox(LoggerPortGB), "LoggerPortCB");
    LoggerPortCB->setAccessibleName("Logger port");
    LoggerPortCB->addItem("No Port Selected");
    for (int n = 1; n <= kMaxComNumber; ++n) LoggerPortCB->addItem(qs(m_portMap.comItemText(n)));
    showWholePortNames(LoggerPortCB);
    LoggerSetupCB = named(new QComboBox(LoggerPortGB), "LoggerSetupCB");
    LoggerSetupCB->setAccessibleName("Logger port speed");
    for (const char* s : kSpeedChoiceItems) LoggerSetupCB->addItem(s);
    CloseLoggerPortSetup = named(new ClickableLabel("X", LoggerPortGB), "CloseLoggerPortSetup");
    CloseLoggerPortSetup->setAccessibleName("Hide logger port setup");
    // Red is the program's alarm colour; the tip says this one only closes the box.
    CloseLoggerPortSetup->setToolTip(
        "Hide this box (the port stays open). Logger_Port > Show Logger Port Setup brings it back.");
    LoggerSetupCB->setToolTip(
        "The line speed the logger's host port uses. Red: bytes arrive but form no packets at this speed.");
    LoggerPortCB->setToolTip("The PC port the logger is wired to. Red: nothing has arrived for a few seconds.");
    CloseLoggerPortSetup->setAlignment(Qt::AlignCenter);
    CloseLoggerPortSetup->setFixedSize(18, 18);
    setPanelColour(CloseLoggerPortSetup, kRed);
    auto* portLabel = new QLabel("Port", LoggerPortGB);
    auto* speedLabel = new QLabel("Speed", LoggerPortGB);
    portLabel->setBuddy(LoggerPortCB);
    speedLabel->setBuddy(LoggerSetupCB);
    lp->addWidget(portLabel, 0, 0);
    lp->addWidget(LoggerPortCB, 0, 1);
    lp->addWidget(CloseLoggerPortSetup, 0, 2, Qt::AlignTop);
    lp->addWidget(speedLabel, 1, 0);
    lp->addWidget(LoggerSetupCB, 1, 1);
    LoggerPortGB->setFixedHeight(LoggerPortGB->sizeHint().height() + 8);
    LoggerPortGB->hide();
    // Operator changes only: setting an index from code must not reopen the port.
    connect(LoggerPortCB, &QComboBox::activated, this, [this] { LoggerPortCBChange(); });
    connect(LoggerSetupCB, &QComboBox::activated, this, [this] { LoggerPortCBChange(); });
    connect(CloseLoggerPortSetup, &ClickableLabel::clicked, this, [this] { ShowLoggerPortSetupClick(); });

    // Start-up look: no port chosen, 9600.
    LoggerPortCB->setCurrentIndex(0);
    LoggerSetupCB->setCurrentIndex(6);
}

void LinkScreen::connectMenus() {
    const MenuItems& menu = m_services.menu;
    connect(menu.ShowLoggerPortSetup, &QAction::triggered, this, &LinkScreen::ShowLoggerPortSetupClick);
    connect(menu.AutoBaudRateDetection, &QAction::triggered, this, &LinkScreen::AutoBaudRateDetectionClick);
    connect(menu.HostPortStats, &QAction::triggered, this, &LinkScreen::HostPortStatsClick);
    if (menu.MenuPortMap) connect(menu.MenuPortMap, &QAction::triggered, this, &LinkScreen::PortMapClick);
    menu.AutoBaudRateDetection->setCheckable(true);
}

// ---- the logger port ----

void LinkScreen::LoggerPortCBChange() {
    m_port.open(LoggerPortCB->currentIndex(), LoggerSetupCB->currentIndex());
    const std::optional<bool> change = m_port.lostStep();
    showLost(change);
    if (change) emit lostChanged(*change);
}

void LinkScreen::selectLoggerPort(int comNumber, int speedChoice) {
    LoggerPortCB->setCurrentIndex(comNumber);
    LoggerSetupCB->setCurrentIndex(speedChoice);
    LoggerPortCBChange();
}

void LinkScreen::reopenLoggerPort() {
    if (LoggerPortCB->currentIndex() == 0) return;
    LoggerPortCBChange();
    emit lineReplaced();
}

void LinkScreen::followLoggerSpeed(int speedChoice) {
    setIndex(LoggerSetupCB, speedChoice);
    LoggerPortCBChange();
}

void LinkScreen::showLoggerPortGroup(bool show) {
    LoggerPortGB->setVisible(show);
    m_services.menu.ShowLoggerPortSetup->setText(show ? kHidePortSetup : kShowPortSetup);
    relayout();
}

void LinkScreen::showPortSetupWhenNoPort() {
    const bool chosen = LoggerPortCB->currentIndex() > 0 && LoggerSetupCB->currentIndex() > 0;
    if (!chosen && LoggerPortGB->isHidden()) showLoggerPortGroup(true);
}

void LinkScreen::ShowLoggerPortSetupClick() { showLoggerPortGroup(LoggerPortGB->isHidden()); }

void LinkScreen::AutoBaudRateDetectionClick() {
    QAction* item = m_services.menu.AutoBaudRateDetection;
    if (m_port.supervisor().autoBaud()) {
        m_port.supervisor().setAutoBaud(false);
        item->setChecked(false);
        return;
    }
    // The speed box keeps the speed the line has: the search steps it when it really changes.
    m_port.supervisor().setAutoBaud(true);
    item->setChecked(true);
    showLoggerPortGroup(true);
}

void LinkScreen::HostPortStatsClick() { m_statistics->HostPortStatsClick(); }

void LinkScreen::PortMapClick() {
    m_portMapForm->show();
    m_portMapForm->raise();
    m_portMapForm->activateWindow();
}

// The combo box keeps its items and indexes (the host setup file stores the index); only the
// device beside the COM number changes. The port chosen there follows its COM number.
void LinkScreen::followPortMap(int comNumber) {
    if (comNumber >= 1 && comNumber < LoggerPortCB->count())
        LoggerPortCB->setItemText(comNumber, qs(m_portMap.comItemText(comNumber)));
    fitWholePortNames(LoggerPortCB);
    // Another device may hold another logger: the reopen checks who answers.
    if (LoggerPortCB->currentIndex() == comNumber && LoggerSetupCB->currentIndex() > 0) reopenLoggerPort();
    emit comRemapped(comNumber);
}

void LinkScreen::applyHostMode(const hostmode::Layout& l) {
    if (l.close == hostmode::PortsToClose::LoggerPort) {
        LoggerPortCB->setCurrentIndex(0);
        LoggerPortCBChange();
    }
    FlashPanel->hide();
    PLoggerPort->setVisible(l.loggerPortItems);
    COMStatus->setVisible(l.loggerPortItems);
    LBLineLoad->setVisible(l.loggerPortItems);
    LoggerPortGB->setVisible(l.loggerPortItems);
    m_services.menu.MenuLoggerPortSetup->setVisible(l.loggerPortItems);
    m_services.menu.ShowLoggerPortSetup->setText(l.loggerPortItems ? kHidePortSetup : kShowPortSetup);
}

// ---- host setup file ----

void LinkScreen::writeHostSetupLine(int number, std::vector<int>& v) const {
    if (number == hostline::kLoggerPort) {
        v.at(0) = LoggerPortCB->currentIndex();
        v.at(1) = LoggerSetupCB->currentIndex();
    }
    if (number == hostline::kPortSetupMenu) v.at(7) = m_services.menu.MenuLoggerPortSetup->isVisible() ? 1 : 0;
}

void LinkScreen::applyHostSetupLine(int number, const std::vector<int>& v, const HostSetupLoad& load) {
    // A file opened from the menu must not take the logger away from the port it is on.
    if (number == hostline::kLoggerPort && (load.atStartup || LoggerPortCB->currentIndex() == 0)) {
        setIndex(LoggerPortCB, v.at(0));
        setIndex(LoggerSetupCB, v.at(1));
    }
    // The host mode is laid out by now (it may have closed the port): drain and reopen.
    if (number == hostline::kHostMode) LoggerPortCBChange();
    if (number == hostline::kPortSetupMenu) m_services.menu.MenuLoggerPortSetup->setVisible(v.at(7) != 0);
}

// ---- ticks ----

void LinkScreen::linkRecovered() {
    setFieldColour(LoggerPortCB, normalFieldColour());
    setFieldColour(LoggerSetupCB, normalFieldColour());
    setPanelColour(PLoggerPort, normalPanelColour());
    m_services.menu.AutoBaudRateDetection->setChecked(false);
}

void LinkScreen::packetCountStep() { m_statistics->showPacketCount(m_port.packetsFramed()); }

void LinkScreen::flashErrorStep() {
    const uint16_t count = m_services.records.flashErrorCount;
    if (count == m_shownFlashCount) return;
    m_shownFlashCount = count;
    FlashPanel->setVisible(count != 0);
    relayout();
}

void LinkScreen::showPortDescription() {
    const int com = LoggerPortCB->currentIndex();
    const int speed = LoggerSetupCB->currentIndex();
    if (m_shownLost)
        COMStatus->setText(qs(lostPortStatusText(com)));
    else if (m_services.facts.portTestRunning)
        COMStatus->setText(qs(portTestStatusText(com, speed)));
    else
        COMStatus->setText(qs(comStatusText(com, speed)));
}

void LinkScreen::applySecondReport(const LinkSecond& s) {
    const SecondReport& r = s.report;
    if (r.packetsFlowed) {
        setFieldColour(LoggerSetupCB, normalFieldColour());
        setPanelColour(PLoggerPort, normalPanelColour());
    }
    m_statistics->showSecondReport(r);
    PLoggerPort->setVisible(LoggerPortCB->currentIndex() > 0);
    showPortDescription();
    PLoggerPort->setText(qs(loggerPortPanelText(LoggerPortCB->currentIndex())));
    if (r.portSilent) {
        showLoggerPortGroup(true);
        setFieldColour(LoggerPortCB, kRed);
        setPanelColour(PLoggerPort, kRed);
    }
    if (r.nonFraming) {
        showLoggerPortGroup(true);
        setFieldColour(LoggerSetupCB, kRed);
        setPanelColour(PLoggerPort, kRed);
        // The port has been reopened at the speed auto baud tries next.
        if (s.speedChanged) {
            LoggerSetupCB->setCurrentIndex(m_port.speedChoice());
            showPortDescription();
        }
    }
}

void LinkScreen::showSupervision(const LinkSecond& second) {
    m_lastReport = second.report;
    applySecondReport(second);
    showLineLoad();
    showLost(second.lostChanged);
    // Ports open, close and go lost while the Port Map window is up, not only when it is refreshed.
    if (m_portMapForm->isVisible()) m_portMapForm->showPortsInUse();
}

void LinkScreen::loopsStep() { m_statistics->showLoops(m_lastReport); }

// A device that went away is tried again every few seconds on the same path with the same
// line settings; the slot keeps its COM number and speed meanwhile.
void LinkScreen::showLost(std::optional<bool> change) {
    if (!change || *change == m_shownLost) return;
    m_shownLost = *change;
    showPortDescription();
    if (!m_shownLost) {
        setFieldColour(LoggerPortCB, normalFieldColour());
        setPanelColour(PLoggerPort, normalPanelColour());
    }
}

} // namespace cv
