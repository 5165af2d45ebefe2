#include "app/hostmain_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "widgets/clickable_label.h"
#include "widgets/colours.h"
#include "dialogs/rs422_dialog.h"
#include "dialogs/statistics_dialog.h"
#include "extract/run_extraction.h"
#include "extract/warning_sink.h"
#include "memory/upload_page.h"
#include "setup/data_status_page.h"
#include "setup/logger_control_page.h"
#include "setup/logger_status_panel.h"
#include "setup/polled_buttons_widget.h"
#include "setup/port_setup_page.h"
#include "setup/setup_screen_qt.h"
#include "memory/upload_screen_qt.h"
#include "base/text_format.h"

namespace cv {

namespace {
constexpr double kProgramVersion = 7.06;
constexpr int kColumnWidth = 270;
constexpr int kPanelHeight = 35;
const char* const kShowPortSetup = "Show Logger Port Setup";
const char* const kHidePortSetup = "Hide Logger Port Setup";
} // namespace

TForm1::TForm1(HostEnvironment env, QWidget* parent)
    : QMainWindow(parent),
      m_env(env),
      m_warnings(env.dialogs),
      m_ports(env.serial, env.dialogs),
      m_commands(m_ports),
      m_receiver(m_ports, m_records),
      m_services{m_commands, m_warnings, env.dialogs, env.clock, m_records, m_facts,
                 [this] { LoggerPortCBChange(); }, [this] { FormResize(); }} {
    setObjectName("Form1");
    m_receiver.setConsumer(this);
    setCentralWidget(new QWidget(this));
    buildMenus();
    buildLeftColumn();
    buildTabs();

    m_stats = new StatsDialog(this);
    m_rs422 = new Rs422Dialog(m_commands, this);

    Timer10ms = new QTimer(this);
    Timer10ms->setObjectName("Timer10ms");
    Timer10ms->setInterval(5);
    Timer475ms = new QTimer(this);
    Timer475ms->setObjectName("Timer475ms");
    Timer475ms->setInterval(1000);
    Timer1000ms = new QTimer(this);
    Timer1000ms->setObjectName("Timer1000ms");
    Timer1000ms->setInterval(1000);
    TTimeout = new QTimer(this);
    TTimeout->setObjectName("TTimeout");
    TTimeout->setInterval(1500);
    connect(Timer10ms, &QTimer::timeout, this, &TForm1::Timer10msTimer);
    connect(Timer475ms, &QTimer::timeout, this, &TForm1::Timer475msTimer);
    connect(Timer1000ms, &QTimer::timeout, this, &TForm1::Timer1000msTimer);
    connect(TTimeout, &QTimer::timeout, this, &TForm1::TTimeoutTimer);

    buildControllers();

    // Start-up look: no port chosen, 9600, no host mode; the status box waits for the first status.
    m_setup->setSetupMarker(0);
    m_setup->setupDisplayMode(-1);
    LoggerPortCB->setCurrentIndex(0);
    LoggerSetupCB->setCurrentIndex(6);
    if ((LoggerPortCB->currentIndex() == 0 || LoggerSetupCB->currentIndex() == 0) && LoggerPortGB->isHidden())
        showLoggerPortGroup(true);
    setWindowTitle(QString::fromStdString(format("CV Logger Host v%4.2f", kProgramVersion)));
    resize(1280, 800);
    FormResize();
}

TForm1::~TForm1() = default;

QAction* TForm1::addAction(QMenu* menu, const char* name, const QString& caption, bool checkable) {
    auto* a = menu->addAction(caption);
    a->setObjectName(name);
    a->setCheckable(checkable);
    return a;
}

QAction* TForm1::addSeparator(QMenu* menu, const char* name) {
    QAction* a = menu->addSeparator();
    a->setObjectName(name);
    return a;
}

void TForm1::buildMenus() {
    QMenu* files = menuBar()->addMenu("&Files");
    files->menuAction()->setObjectName("Files1");
    addAction(files, "LoadHostSetupFile", "Open Corvane Host Setup File (CVH)");
    addAction(files, "StoreHostSetupFile", "Save Corvane Host Setup File (CVH)");
    files->addSeparator();
    Exit1 = addAction(files, "Exit1", "E&xit");
    connect(Exit1, &QAction::triggered, this, &TForm1::BTExitClick);

    QMenu* port = menuBar()->addMenu("&Logger_Port");
    port->menuAction()->setObjectName("MenuLoggerPortSetup");
    ShowLoggerPortSetup = addAction(port, "ShowLoggerPortSetup", kShowPortSetup);
    AutoBaudRateDetection = addAction(port, "AutoBaudRateDetection", "Auto Baud Rate Detection", true);
    HostPortStats = addAction(port, "HostPortStats", "Show Logger Port Statistics");
    addSeparator(port, "N10");
    QAction* iface = addAction(port, "ChangeHostInterface", "Change Logger Interface Type");
    connect(ShowLoggerPortSetup, &QAction::triggered, this, &TForm1::ShowLoggerPortSetupClick);
    connect(AutoBaudRateDetection, &QAction::triggered, this, &TForm1::AutoBaudRateDetectionClick);
    connect(HostPortStats, &QAction::triggered, this, &TForm1::HostPortStatsClick);
    connect(iface, &QAction::triggered, this, &TForm1::ChangeHostPortType1Click);

    QMenu* modes = menuBar()->addMenu("&Modes");
    addAction(modes, "MenuProfile", "Profile Logging");
    addAction(modes, "MenuMoored", "Moored Logging");
    addAction(modes, "MenuRealTimeOutput", "Real Time Output");
    addAction(modes, "MenuAnalog", "Analog Output");
    addAction(modes, "MenuAdvanced", "Advanced User");
    addAction(modes, "PCLogger", "PC-Logger");
    addAction(modes, "MenuPSM3", "PSM 3 Output")->setVisible(false);
    addAction(modes, "Menubq5PassThru", "bq5 Pass Thru")->setVisible(false);

    QMenu* commands = menuBar()->addMenu("&Commands");
    QMenu* factory = commands->addMenu("Access Factory Settings");
    factory->menuAction()->setObjectName("MenuFactorySettings");
    QAction* reset = addAction(factory, "ResetToMonitor", "Reset To Monitor");
    addSeparator(factory, "N2");
    addAction(factory, "MenuChangeLoggerID", "Change Logger ID");
    addAction(factory, "AnalogCal", "Analog Calibration");
    addAction(factory, "HardwareConfig", "Hardware Configuration");
    addSeparator(factory, "N11");
    QAction* defaults = addAction(factory, "LoadDefaultFlashSetup", "Load Default Flash Setup");
    addAction(factory, "ToggleDebug", "Write Debug File", true);
    addSeparator(commands, "N1");
    addAction(commands, "MenuAnnotateFile", "Annotate File");
    QMenu* time = commands->addMenu("Logger Time Update");
    time->menuAction()->setObjectName("MenuLoggerTimeUpdate");
    addAction(time, "MenuAutoTimeUpdate", "Automatic Time Sync", true)->setChecked(true);
    addAction(time, "MenuUpdateTimeNow", "Synchronize Time Now", true);
    addAction(time, "MenuMooredTimeUpdate", "Moored Time Source", true);
    addSeparator(commands, "N5");
    addAction(commands, "MenuTestOneSerialPort", "Test One Logger Port");
    connect(reset, &QAction::triggered, this, &TForm1::ResetToMonitorClick);
    connect(defaults, &QAction::triggered, this, &TForm1::LoadDefaultFlashSetupClick);

    // Commands whose screens this version does not have yet are shown greyed, not dead.
    for (const char* name : {"LoadHostSetupFile", "StoreHostSetupFile", "MenuAnnotateFile", "MenuTestOneSerialPort",
                             "AnalogCal", "HardwareConfig"})
        findChild<QAction*>(name)->setEnabled(false);
}

void TForm1::buildLeftColumn() {
    QWidget* c = centralWidget();
    auto panel = [c](const char* name, const QString& text) {
        auto* l = new ClickableLabel(text, c);
        l->setObjectName(name);
        l->setAlignment(Qt::AlignCenter);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Raised);
        l->setFixedHeight(kPanelHeight);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        l->hide();
        return l;
    };
    PStore = panel("PStore", "Setup is ???");
    FlashPanel = panel("FlashPanel", "Bad Flash Operations");
    setPanelColour(FlashPanel, kRed);
    RemoteHostPanel = panel("RemoteHostPanel", "Remote Host Is On");
    setPanelColour(RemoteHostPanel, kYellow);

    HostStatusGB = new QGroupBox("Host Status", c);
    HostStatusGB->setObjectName("HostStatusGB");
    auto* hs = new QVBoxLayout(HostStatusGB);
    LBHostDandT = new QLabel(HostStatusGB);
    LBHostDandT->setObjectName("LBHostDandT");
    PLoggerPort = new QLabel(HostStatusGB);
    PLoggerPort->setObjectName("PLoggerPort");
    PLoggerPort->setFrameShape(QFrame::Panel);
    PLoggerPort->setFrameShadow(QFrame::Sunken);
    PLoggerPort->setAlignment(Qt::AlignCenter);
    PLoggerPort->setAutoFillBackground(true);
    PLoggerPort->hide();
    COMStatus = new QLabel(HostStatusGB);
    COMStatus->setObjectName("COMStatus");
    hs->addWidget(LBHostDandT);
    hs->addWidget(PLoggerPort);
    hs->addWidget(COMStatus);
    HostStatusGB->setFixedHeight(HostStatusGB->sizeHint().height() + 24);

    LoggerPortGB = new QGroupBox("Logger Port Setup", c);
    LoggerPortGB->setObjectName("LoggerPortGB");
    auto* lp = new QGridLayout(LoggerPortGB);
    LoggerPortCB = new QComboBox(LoggerPortGB);
    LoggerPortCB->setObjectName("LoggerPortCB");
    LoggerPortCB->addItem("No Port Selected");
    for (int n = 1; n <= kMaxComNumber; ++n) {
        QString item = QString("COM%1").arg(n);
        if (m_env.portMap && m_env.portMap->isMapped(n))
            item += "  " + QString::fromStdString(m_env.portMap->deviceFor(n));
        LoggerPortCB->addItem(item);
    }
    LoggerSetupCB = new QComboBox(LoggerPortGB);
    LoggerSetupCB->setObjectName("LoggerSetupCB");
    for (const char* s : kSpeedChoiceItems) LoggerSetupCB->addItem(s);
    CloseLoggerPortSetup = new ClickableLabel("X", LoggerPortGB);
    CloseLoggerPortSetup->setObjectName("CloseLoggerPortSetup");
    CloseLoggerPortSetup->setAlignment(Qt::AlignCenter);
    CloseLoggerPortSetup->setFixedSize(18, 18);
    setPanelColour(CloseLoggerPortSetup, kRed);
    lp->addWidget(new QLabel("Port", LoggerPortGB), 0, 0);
    lp->addWidget(LoggerPortCB, 0, 1);
    lp->addWidget(CloseLoggerPortSetup, 0, 2, Qt::AlignTop);
    lp->addWidget(new QLabel("Speed", LoggerPortGB), 1, 0);
    lp->addWidget(LoggerSetupCB, 1, 1);
    LoggerPortGB->setFixedHeight(LoggerPortGB->sizeHint().height() + 8);
    LoggerPortGB->hide();
    // Operator changes only: setting an index from code must not reopen the port.
    connect(LoggerPortCB, &QComboBox::activated, this, [this] { LoggerPortCBChange(); });
    connect(LoggerSetupCB, &QComboBox::activated, this, [this] { LoggerPortCBChange(); });
    connect(CloseLoggerPortSetup, &ClickableLabel::clicked, this, &TForm1::ShowLoggerPortSetupClick);

    LoggerStatusGB = new LoggerStatusPanel(c);
}

void TForm1::buildTabs() {
    Tabs = new QTabWidget(centralWidget());
    Tabs->setObjectName("Tabs");
    struct Page {
        const char* name;
        const char* caption;
    };
    const Page pages[] = {{"TSPortSetup", "Port Setup"},       {"TSLoggerControl", "Logger Control"},
                          {"TSDataStatus", "Data Status"},     {"TSUpload", "Upload Logger Data"},
                          {"TSRealTime", "Real Time Data"},    {"TSRecord", "Recording:  OFF"},
                          {"TSPCLogger", "PC-Logger"},         {"TSHardware", "Hardware Configuration"},
                          {"TSAnalog", "Analog Calibration"},  {"TSPlotSetup", "Plot Setup"}};
    for (const Page& p : pages) {
        QWidget* w = nullptr;
        const std::string name = p.name;
        if (name == "TSPortSetup") w = new PortSetupPage(Tabs);
        if (name == "TSLoggerControl") w = new LoggerControlPage(Tabs);
        if (name == "TSDataStatus") w = new DataStatusPage(Tabs);
        if (name == "TSUpload") w = new UploadPage(Tabs);
        if (name == "TSRealTime") {
            w = new QWidget(Tabs);
            w->setObjectName(p.name);
            auto* rt = new QVBoxLayout(w);
            rt->addWidget(new PolledButtonsWidget(w), 0, Qt::AlignLeft);
            rt->addStretch(1);
        }
        if (!w) {
            w = new QWidget(Tabs);
            w->setObjectName(p.name);
        }
        Tabs->addTab(w, p.caption);
    }
    connect(Tabs, &QTabWidget::currentChanged, this, [this](int) { TabsChange(); });
    for (const char* hidden : {"TSHardware", "TSAnalog", "TSPlotSetup"})
        Tabs->setTabVisible(Tabs->indexOf(Tabs->findChild<QWidget*>(hidden)), false);
    m_tabsStartSize = QSize(960, 680);
    // With no host mode every page is hidden; say what to do instead of showing an empty frame.
    m_noModeHint = new QLabel("Choose the kind of work from the Modes menu:\n"
                              "Profile Logging, Moored Logging, Real Time Output, Analog Output,\n"
                              "Advanced User or PC-Logger.",
                              centralWidget());
    m_noModeHint->setObjectName("NoModeHint");
    m_noModeHint->setAlignment(Qt::AlignCenter);
    m_noModeHint->hide();
}

void TForm1::buildControllers() {
    m_setup = new SetupScreen(this, m_services, this);
    m_extractionWarnings = std::make_unique<WarningBoxSink>(m_warnings);
    m_upload = new UploadScreen(
        this, m_services, [this](const std::filesystem::path& file, int choice) { extractRunFile(file, choice); },
        [this](bool on) {
            if (on) TTimeout->start();
            else TTimeout->stop();
        });
    if (auto* debug = findChild<QAction*>("ToggleDebug"))
        connect(debug, &QAction::triggered, this, &TForm1::ToggleDebugClick);
}

void TForm1::extractRunFile(const std::filesystem::path& file, int choice) {
    ExtractOptions options;
    options.debugListing = m_debugListing;
    cv::extractRunFile(file, choice == 1 ? ExtractChoice::ArchivePlusRaw : ExtractChoice::ArchiveOnly, options,
                       m_extraction, *m_extractionWarnings);
}

void TForm1::ToggleDebugClick() {
    m_debugListing = !m_debugListing;
    if (auto* debug = findChild<QAction*>("ToggleDebug")) debug->setChecked(m_debugListing);
}

void TForm1::TabsChange() {
    QWidget* page = Tabs->currentWidget();
    if (page && page->objectName() == "TSUpload" && m_upload) m_upload->clearRunList();
}

void TForm1::startTimers() {
    Timer10ms->start();
    Timer1000ms->start();
    Timer475ms->start();
    TTimeout->start();
}

// ---- left column ----

void TForm1::FormResize() {
    if (!Tabs) return;
    int top = 8;
    for (QWidget* w : {static_cast<QWidget*>(PStore), static_cast<QWidget*>(FlashPanel),
                       static_cast<QWidget*>(RemoteHostPanel), static_cast<QWidget*>(HostStatusGB),
                       static_cast<QWidget*>(LoggerPortGB), LoggerStatusGB}) {
        if (!w || w->isHidden()) continue;
        w->setGeometry(8, top, kColumnWidth, w->height());
        top += w->height() + 4;
    }
    const QSize client = centralWidget()->size();
    const int left = HostStatusGB->geometry().right() + 1 + 8;
    const int width = std::max(client.width() - left - 8, m_tabsStartSize.width());
    const int height = std::max(client.height() - 16, m_tabsStartSize.height());
    Tabs->setGeometry(left, 8, width, height);
    bool anyPage = false;
    for (int i = 0; i < Tabs->count(); ++i) anyPage = anyPage || Tabs->isTabVisible(i);
    Tabs->setVisible(anyPage);
    m_noModeHint->setGeometry(Tabs->geometry());
    m_noModeHint->setVisible(!anyPage);
}

void TForm1::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    FormResize();
}

void TForm1::showLoggerPortGroup(bool show) {
    LoggerPortGB->setVisible(show);
    ShowLoggerPortSetup->setText(show ? kHidePortSetup : kShowPortSetup);
    FormResize();
}

void TForm1::ShowLoggerPortSetupClick() { showLoggerPortGroup(LoggerPortGB->isHidden()); }

// ---- logger port ----

void TForm1::LoggerPortCBChange() {
    m_supervisor.portReopened();
    m_receiver.drainLoggerPort();
    m_ports.openPortSlot(kLoggerSlot, LoggerPortCB->currentIndex(), LoggerSetupCB->currentIndex());
}

void TForm1::selectLoggerPort(int comNumber, int speedChoice) {
    LoggerPortCB->setCurrentIndex(comNumber);
    LoggerSetupCB->setCurrentIndex(speedChoice);
    LoggerPortCBChange();
}

void TForm1::AutoBaudRateDetectionClick() {
    if (m_supervisor.autoBaud()) {
        m_supervisor.setAutoBaud(false);
        AutoBaudRateDetection->setChecked(false);
        return;
    }
    m_supervisor.setAutoBaud(true);
    AutoBaudRateDetection->setChecked(true);
    LoggerSetupCB->setCurrentIndex(11);
    showLoggerPortGroup(true);
}

void TForm1::HostPortStatsClick() {
    m_stats->CloseStats();
    m_stats->OpenStats(0, 9, "Host Port Statistics");
}

void TForm1::ChangeHostPortType1Click() {
    m_rs422->adjustSize();
    m_rs422->move(geometry().center() - m_rs422->rect().center());
    m_rs422->show();
}

// ---- commands from the menus ----

void TForm1::ResetToMonitorClick() {
    m_env.dialogs.beep(Icon::Exclamation);
    if (m_env.dialogs.ask("Data Logger Monitor", "Are you sure you want cease operation and exit to the Monitor Program?",
                          Buttons::OkCancel, Icon::Exclamation) == Answer::Ok)
        m_commands.sendCommand(cmd::kResetToMonitor);
}

void TForm1::LoadDefaultFlashSetupClick() {
    m_env.dialogs.beep(Icon::Exclamation);
    if (m_env.dialogs.ask("Reset the Data Logger to it's Default Settings",
                          "The current operation will be halted and the current settings will be erased.\n\n"
                          "Are you sure you want to Reset to the default settings?",
                          Buttons::OkCancel, Icon::Exclamation) == Answer::Ok)
        m_commands.sendCommand(cmd::kLoadDefaultSetup);
}

void TForm1::BTExitClick() {
    m_env.dialogs.beep(Icon::Question);
    if (m_env.dialogs.ask("Program Termination", "EXIT Program?", Buttons::OkCancel, Icon::Question) != Answer::Ok)
        return;
    saveHostSetupOnExit();
    m_ports.closeAll();
    Timer10ms->stop();
    Timer475ms->stop();
    Timer1000ms->stop();
    TTimeout->stop();
    close();
    QApplication::exit(0);
}

// ---- timers ----

void TForm1::linkRecovered() {
    setFieldColour(LoggerPortCB, normalFieldColour());
    setFieldColour(LoggerSetupCB, normalFieldColour());
    setPanelColour(PLoggerPort, normalPanelColour());
    AutoBaudRateDetection->setChecked(false);
}

void TForm1::Timer10msTimer() {
    hostClockTick();
    pcLoggerClockStep();
    const LinkCounters& c = m_receiver.counters();
    if (c.packetsFramed != m_shownPacketCount) {
        m_shownPacketCount = c.packetsFramed;
        m_stats->SetStatsLine(0, 5, QString::fromStdString(format("Packet Count: %lu", (unsigned long)c.packetsFramed)));
    }
    m_supervisor.countTick();
    if (m_supervisor.afterReceive(m_receiver.receiveLoggerPackets(m_recordingMode))) linkRecovered();
    pcLoggerSampleStep();
    replayStopStep();
    rawDisplayStep();
}

void TForm1::Timer475msTimer() {
    if (m_setup->showArrivedSetup()) LoggerPortCBChange();
    showArrivedHardware();
    m_setup->showArrivedStatus();
    setWindowTitle(QString::fromStdString(format("CV Logger Host v%4.2f", kProgramVersion)));
    if (m_records.flashErrorCount != m_shownFlashCount) {
        m_shownFlashCount = m_records.flashErrorCount;
        FlashPanel->setVisible(m_shownFlashCount != 0);
        FormResize();
    }
}

void TForm1::applySecondReport(const SecondReport& r) {
    if (r.packetsFlowed) {
        setFieldColour(LoggerSetupCB, normalFieldColour());
        setPanelColour(PLoggerPort, normalPanelColour());
    }
    m_stats->SetStatsColour(0, 3, r.packetsFlowed ? normalFieldColour() : kRed);
    PLoggerPort->setVisible(LoggerPortCB->currentIndex() > 0);
    COMStatus->setText(QString::fromStdString(comStatusText(LoggerPortCB->currentIndex(), LoggerSetupCB->currentIndex())));
    PLoggerPort->setText(QString::fromStdString(loggerPortPanelText(LoggerPortCB->currentIndex())));
    for (int line : {3, 1, 2, 4, 8, 9})
        m_stats->SetStatsLine(0, line, QString::fromStdString(r.lines[size_t(line - 1)]));
    m_stats->SetStatsColour(0, 1, r.bytesFlowed ? normalPanelColour() : kYellow);
    if (r.portSilent) {
        showLoggerPortGroup(true);
        setFieldColour(LoggerPortCB, kRed);
        setPanelColour(PLoggerPort, kRed);
    }
    if (r.nonFraming) {
        showLoggerPortGroup(true);
        setFieldColour(LoggerSetupCB, kRed);
        setPanelColour(PLoggerPort, kRed);
        if (r.autoBaudChoice >= 0) {
            LoggerSetupCB->setCurrentIndex(r.autoBaudChoice);
            m_ports.openPortSlot(kLoggerSlot, LoggerPortCB->currentIndex(), r.autoBaudChoice);
            m_receiver.drainLoggerPort();
        }
    }
}

void TForm1::Timer1000msTimer() {
    const SecondReport r = m_supervisor.secondTick(m_receiver.counters(), LoggerPortCB->currentIndex(),
                                                   LoggerSetupCB->currentIndex(), 0);
    applySecondReport(r);
    recordingStatusStep();
    m_stats->SetStatsLine(0, 6, QString::fromStdString(r.lines[5]));
    muxUnitCountersStep();
    uploadSupervisionStep();
    m_stats->SetStatsLine(0, 7, QString::fromStdString(r.lines[6]));
    pcLoggerCountersStep();
}

void TForm1::TTimeoutTimer() {
    // A block still coming in at a slow line speed is no silence: counting it would repeat the
    // request across the block, and a logger that restarts the run would send its start twice.
    if (m_receiver.receivingPacket(4)) return;
    if (m_upload) m_upload->timeoutTick();
}

// ---- subsystem hooks ----

void TForm1::hostClockTick() { m_setup->hostClockTick(); }
void TForm1::pcLoggerClockStep() {}
void TForm1::pcLoggerSampleStep() {}
void TForm1::replayStopStep() {}
void TForm1::rawDisplayStep() {}
void TForm1::showArrivedHardware() {}
void TForm1::recordingStatusStep() {}
void TForm1::muxUnitCountersStep() {}
void TForm1::uploadSupervisionStep() {
    if (m_upload) m_upload->secondTick();
}
void TForm1::pcLoggerCountersStep() {}
void TForm1::saveHostSetupOnExit() {}

void TForm1::onUploadBlock() {
    if (m_upload) m_upload->onUploadBlock();
}
void TForm1::onDirectoryEntry() {
    if (m_upload) m_upload->onDirectoryEntry();
}
void TForm1::onAnalogCalibration() {}
void TForm1::onHardwareConfiguration() {}
void TForm1::onMuxRecord(uint8_t*, size_t, int) {}

} // namespace cv
