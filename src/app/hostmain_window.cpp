#include "app/hostmain_window.h"
#include "app/exit_question.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "pclogger/annotation_dialog.h"
#include "app/operator_guide_window.h"
#include "archive/record_page.h"
#include "archive/recording_screen_qt.h"
#include "base/text_format.h"
#include "hardware/analog_page.h"
#include "hardware/hardware_page.h"
#include "hardware/hardware_screen_qt.h"
#include "link/link_screen_qt.h"
#include "stream/real_time_page.h"
#include "stream/stream_screen_qt.h"
#include "memory/upload_page.h"
#include "memory/upload_screen_qt.h"
#include "pclogger/pclogger_page.h"
#include "pclogger/pclogger_screen_qt.h"
#include "settings/settings_screen_qt.h"
#include "share/network_screen_qt.h"
#include "setup/data_status_page.h"
#include "setup/logger_control_page.h"
#include "setup/logger_status_panel.h"
#include "setup/port_setup_page.h"
#include "setup/setup_screen_qt.h"
#include "widgets/clickable_label.h"
#include "widgets/client_placement.h"
#include "widgets/window_room.h"

namespace cv {

namespace {
constexpr double kProgramVersion = 7.06;
constexpr int kColumnWidth = 270;

// With both factory pages shown, nine captions must fit the tab row of a 1280-pixel window, where
// a scrolled row would hide the last tab behind two faint arrows: the room the style leaves
// beside each caption is halved. On a narrower screen the row still scrolls, and no caption is
// ever cut short.
class CompactTabStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        const int value = QProxyStyle::pixelMetric(metric, option, widget);
        return metric == PM_TabBarTabHSpace ? value / 2 : value;
    }
};
} // namespace

TForm1::TForm1(HostEnvironment env, QWidget* parent)
    : QMainWindow(parent),
      m_env(env),
      m_warnings(env.dialogs),
      m_ports(env.serial, env.dialogs),
      m_commands(m_ports),
      m_operatorCommands(m_commands, m_ports, m_warnings),
      m_receiver(m_ports, m_records),
      m_services{m_operatorCommands, m_warnings, env.dialogs, env.clock, m_records, m_facts, m_menu, [this] { FormResize(); },
                 &m_commands} {
    setObjectName("Form1");
    if (!m_env.portMap) m_env.portMap = &m_ownPortMap;
    m_receiver.setConsumer(this);
    m_receiver.setClock(&env.clock);
    // The client area scrolls when the screen is smaller than the pages need (1024 x 768).
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("ClientScroll");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    m_client = new QWidget;
    m_client->setObjectName("ClientArea");
    scroll->setWidget(m_client);
    setCentralWidget(scroll);
    m_client->installEventFilter(this);
    buildMenus();
    buildTimers();
    buildControllers();
    buildLeftColumn();
    buildTabs();
    // Queued like the ticks: the read happens in the event loop, not inside the port's signal,
    // and a burst of announcements costs one call.
    m_ports.setDataReadyHandler(kLoggerSlot, [this] {
        if (m_dataReadyQueued) return;
        m_dataReadyQueued = true;
        QMetaObject::invokeMethod(this, &TForm1::loggerDataReady, Qt::QueuedConnection);
    });

    // Start-up look: no host mode; the status box waits for the first status.
    m_setup->setSetupMarker(0);
    m_setup->setupDisplayMode(-1);
    // 1280 x 800 where the screen has room; on a smaller screen the window and its title bar fit.
    resize(QSize(1280, 800).boundedTo(roomForWindow(this)));
    if (!m_settings->loadLastSetup()) m_setup->setupDisplayMode(-1);
    m_link->showPortSetupWhenNoPort();
    setWindowTitle(QString::fromStdString(format("CV Logger Host v%4.2f", kProgramVersion)));
    FormResize();
}

TForm1::~TForm1() = default;

QAction* TForm1::addAction(QMenu* menu, const char* name, const QString& caption, bool checkable) {
    auto* a = menu->addAction(caption);
    a->setObjectName(name);
    a->setCheckable(checkable);
    return a;
}

void TForm1::buildMenus() {
    auto separator = [](QMenu* menu, const char* name) {
        QAction* s = menu->addSeparator();
        s->setObjectName(name);
        return s;
    };
    MenuItems& m = m_menu;
    QMenu* files = menuBar()->addMenu("&Files");
    m.Files1 = files->menuAction();
    m.Files1->setObjectName("Files1");
    m.LoadHostSetupFile = addAction(files, "LoadHostSetupFile", "Open Corvane Host Setup File (CVH)");
    m.StoreHostSetupFile = addAction(files, "StoreHostSetupFile", "Save Corvane Host Setup File (CVH)");
    files->addSeparator();
    Exit1 = m.Exit1 = addAction(files, "Exit1", "E&xit");
    connect(Exit1, &QAction::triggered, this, &TForm1::BTExitClick);

    QMenu* port = menuBar()->addMenu("&Logger_Port");
    m.MenuLoggerPortSetup = port->menuAction();
    m.MenuLoggerPortSetup->setObjectName("MenuLoggerPortSetup");
    ShowLoggerPortSetup = m.ShowLoggerPortSetup = addAction(port, "ShowLoggerPortSetup", "Show Logger Port Setup");
    AutoBaudRateDetection = m.AutoBaudRateDetection =
        addAction(port, "AutoBaudRateDetection", "Auto Baud Rate Detection", true);
    HostPortStats = m.HostPortStats = addAction(port, "HostPortStats", "Show Logger Port Statistics");
    m.MenuPortMap = addAction(port, "MenuPortMap", "Port Map");
    m.N10 = separator(port, "N10");
    m.ChangeHostInterface = addAction(port, "ChangeHostInterface", "Change Logger Interface Type");

    QMenu* modes = menuBar()->addMenu("&Modes");
    m.MenuProfile = addAction(modes, "MenuProfile", "Profile Logging");
    m.MenuMoored = addAction(modes, "MenuMoored", "Moored Logging");
    m.MenuRealTimeOutput = addAction(modes, "MenuRealTimeOutput", "Real Time Output");
    m.MenuAnalog = addAction(modes, "MenuAnalog", "Analog Output");
    m.MenuAdvanced = addAction(modes, "MenuAdvanced", "Advanced User");
    m.PCLogger = addAction(modes, "PCLogger", "PC-Logger");
    m.MenuPSM3 = addAction(modes, "MenuPSM3", "PSM 3 Output");
    m.MenuPSM3->setVisible(false);
    m.Menubq5PassThru = addAction(modes, "Menubq5PassThru", "bq5 Pass Thru");
    m.Menubq5PassThru->setVisible(false);

    QMenu* commands = menuBar()->addMenu("&Commands");
    QMenu* factory = commands->addMenu("Access Factory Settings");
    m.MenuFactorySettings = factory->menuAction();
    m.MenuFactorySettings->setObjectName("MenuFactorySettings");
    m.ResetToMonitor = addAction(factory, "ResetToMonitor", "Reset To Monitor");
    m.N2 = separator(factory, "N2");
    m.MenuChangeLoggerID = addAction(factory, "MenuChangeLoggerID", "Change Logger ID");
    m.AnalogCal = addAction(factory, "AnalogCal", "Analog Calibration");
    m.HardwareConfig = addAction(factory, "HardwareConfig", "Hardware Configuration");
    m.N11 = separator(factory, "N11");
    m.LoadDefaultFlashSetup = addAction(factory, "LoadDefaultFlashSetup", "Load Default Flash Setup");
    m.ToggleDebug = addAction(factory, "ToggleDebug", "Write Debug File", true);
    m.N1 = separator(commands, "N1");
    m.MenuAnnotateFile = addAction(commands, "MenuAnnotateFile", "Annotate Archive File");
    QMenu* time = commands->addMenu("Logger Time Update");
    m.MenuLoggerTimeUpdate = time->menuAction();
    m.MenuLoggerTimeUpdate->setObjectName("MenuLoggerTimeUpdate");
    m.MenuAutoTimeUpdate = addAction(time, "MenuAutoTimeUpdate", "Automatic Time Sync", true);
    m.MenuAutoTimeUpdate->setChecked(true);
    m.MenuUpdateTimeNow = addAction(time, "MenuUpdateTimeNow", "Synchronize Time Now", true);
    m.MenuMooredTimeUpdate = addAction(time, "MenuMooredTimeUpdate", "Moored Time Source", true);
    m.N5 = separator(commands, "N5");
    m.MenuTestOneSerialPort = addAction(commands, "MenuTestOneSerialPort", "Test One Logger Port");

    QMenu* help = menuBar()->addMenu("&Help");
    m.MenuHelp = help->menuAction();
    m.MenuHelp->setObjectName("MenuHelp");
    QAction* guide = addAction(help, "MenuOperatorGuide", "Operator's Guide");
    guide->setShortcut(QKeySequence::HelpContents);
    connect(guide, &QAction::triggered, this, &TForm1::showOperatorGuide);
    m.MenuAbout = addAction(help, "MenuAbout", "About CV Logger Host");
    connect(m.MenuAbout, &QAction::triggered, this, [this] {
        m_services.dialogs.inform("About CV Logger Host",
                                  "CV Logger Host " CVHOST_VERSION_TEXT "\nBuild " CVHOST_BUILD_TEXT
                                  "\n\nThe host program of the KR-8 underwater data logger.",
                                  Icon::Information);
    });
}

void TForm1::showOperatorGuide() {
    if (!m_guide) m_guide = new OperatorGuideWindow(this);
    m_guide->show();
    m_guide->raise();
    m_guide->activateWindow();
}

void TForm1::buildTimers() {
    auto timer = [this](const char* name, int interval, void (TForm1::*handler)()) {
        auto* t = new QTimer(this);
        t->setObjectName(name);
        t->setInterval(interval);
        // Each step runs as a queued call, not inside the timer's own event: Qt never re-enters
        // a timer whose handler is still running, so a question asked inside a step would stop
        // that timer while it is open. Queued, the timer goes on and its ticks run in the
        // question's loop, as the host's time model expects.
        connect(t, &QTimer::timeout, this, handler, Qt::QueuedConnection);
        return t;
    };
    Timer10ms = timer("Timer10ms", 5, &TForm1::Timer10msTimer);
    Timer475ms = timer("Timer475ms", 1000, &TForm1::Timer475msTimer);
    Timer1000ms = timer("Timer1000ms", 1000, &TForm1::Timer1000msTimer);
    TTimeout = timer("TTimeout", 1500, &TForm1::TTimeoutTimer);
}

void TForm1::buildControllers() {
    m_link = new LinkScreen(this, m_services, m_ports, m_receiver, *m_env.portMap);
    m_setup = new SetupScreen(this, m_services, this);
    m_setup->setLineLoad(&m_link->lineLoad());
    m_upload = new UploadScreen(this, m_services, m_receiver, [this](bool on) {
        if (on) TTimeout->start();
        else TTimeout->stop();
    });
    m_stream = new StreamScreen(this, m_services, m_receiver);
    HardwareHooks hardware;
    hardware.showRealTimePage = [this](bool shown) { showPage("TSRealTime", shown); };
    hardware.showRawLoggerData = [this] { m_stream->showRawLoggerData(); };
    hardware.stopLogger = [this] { m_setup->BTStopClick(); };
    hardware.hostMode = [this] { return m_setup->currentHostMode(); };
    m_hardware = new HardwareScreen(this, m_services, *this, std::move(hardware));
    m_recording = new RecordingScreen(this, m_services, *this);
    m_receiver.setReplaySource(&m_recording->replaySource());
    m_pcLogger = new PcLoggerScreen(
        this, m_services, m_ports,
        PcLoggerLinks{m_stream->stream(), [this](const uint8_t* r, size_t n) { m_stream->onPcLoggerRecordMade(r, n); }},
        m_env.portMap);
    // The recorder takes each record after the raw display and the PC logger's output lines.
    m_stream->stream().addConsumer(&m_recording->recorder());
    // The network outputs share what the PC-Logger page shows, so they sit on it.
    m_network = new share::NetworkScreen(this, m_stream->stream(), m_services.clock,
                                         QString::fromStdString(m_env.networkSettingsFile));
    m_pcLogger->page()->addGroup(m_network->panel());
    // A remark rides in a PC logger record, which only a running recording stores.
    m_pcLogger->annotationForm()->setRecordingTarget([this]() -> std::optional<std::string> {
        const ArchiveRecorder& recorder = m_recording->recorder();
        if (!recording::isRecording(recorder.mode())) return std::nullopt;
        return recorder.fileName();
    });
    // The order each line of the host setup file is applied in: the host mode before the link
    // reopens its port for it.
    m_settings = new SettingsScreen(this, m_services, *this, m_env.startupDirectory);
    for (HostSetupPart* part : std::initializer_list<HostSetupPart*>{m_setup, m_link, m_upload, m_stream, m_recording, m_pcLogger})
        m_settings->addPart(part);
    connect(m_setup, &SetupScreen::hostModeLaidOut, this, &TForm1::applyHostMode);
    connect(m_setup, &SetupScreen::loggerSpeedReported, m_link, &LinkScreen::followLoggerSpeed);
    connect(m_setup, &SetupScreen::deviceCaptionsChanged, m_upload, &UploadScreen::setDeviceCaptions);
    connect(m_link, &LinkScreen::lostChanged, m_setup, &SetupScreen::showLinkLost);
    connect(m_link, &LinkScreen::lineReplaced, m_setup, &SetupScreen::checkLoggerIdentity);
    connect(m_setup, &SetupScreen::loggerIdentityChanged, m_hardware, &HardwareScreen::followLoggerIdentity);
    connect(m_setup, &SetupScreen::loggerIdentityChanged, m_upload, &UploadScreen::followLoggerIdentity);
    connect(m_setup, &SetupScreen::polledModeChosen, m_stream, &StreamScreen::showPolledButtons);
    connect(m_pcLogger, &PcLoggerScreen::lineTrafficShown, m_setup->dataStatusPage(), &DataStatusPage::showPcLoggerTraffic);
    connect(m_link, &LinkScreen::comRemapped, m_pcLogger, &PcLoggerScreen::followPortMap);
    connect(m_pcLogger, &PcLoggerScreen::portMapWanted, m_link, &LinkScreen::PortMapClick);
}

void TForm1::buildLeftColumn() {
    HostStatusGB = new QGroupBox("Host Status", m_client);
    HostStatusGB->setObjectName("HostStatusGB");
    auto* hs = new QVBoxLayout(HostStatusGB);
    hs->addWidget(m_setup->LBHostDandT);
    hs->addWidget(m_link->PLoggerPort);
    hs->addWidget(m_link->COMStatus);
    hs->addWidget(m_link->LBLineLoad);
    HostStatusGB->setFixedHeight(HostStatusGB->sizeHint().height() + 24);
    // The alarm panels that come and go sit below the port box, so their arrival never moves
    // the port and speed boxes under the operator's mouse.
    m_leftColumn = {m_setup->PStore,     HostStatusGB,
                    m_link->LoggerPortGB, m_link->FlashPanel,
                    m_setup->RemoteHostPanel, m_setup->loggerStatusPanel()};
    for (QWidget* w : m_leftColumn) {
        const bool hidden = w->isHidden();  // a new parent hides a widget
        w->setParent(m_client);
        w->setVisible(!hidden);
    }
}

void TForm1::buildTabs() {
    Tabs = new QTabWidget(m_client);
    Tabs->setObjectName("Tabs");
    auto* tabStyle = new CompactTabStyle;
    tabStyle->setParent(Tabs);
    Tabs->tabBar()->setStyle(tabStyle);
    Tabs->setElideMode(Qt::ElideNone);
    Tabs->setUsesScrollButtons(true);
    const std::pair<const char*, QWidget*> owned[] = {{"TSPortSetup", m_setup->portSetupPage()},
                                                      {"TSLoggerControl", m_setup->loggerControlPage()},
                                                      {"TSDataStatus", m_setup->dataStatusPage()},
                                                      {"TSUpload", m_upload->page()},
                                                      {"TSRecord", m_recording->page()},
                                                      {"TSRealTime", m_stream->page()},
                                                      {"TSHardware", m_hardware->hardwarePage()},
                                                      {"TSAnalog", m_hardware->analogPage()},
                                                      {"TSPCLogger", m_pcLogger->page()}};
    for (const hostmode::TabPage& p : hostmode::kTabPages) {
        QWidget* page = nullptr;
        for (const auto& [name, w] : owned)
            if (std::string_view(name) == p.name) page = w;
        if (!page) page = new QWidget(Tabs);
        page->setObjectName(p.name);
        Tabs->addTab(page, p.caption);
    }
    connect(Tabs, &QTabWidget::currentChanged, this, [this](int) { TabsChange(); });
    for (int t = hostmode::kLaidOutTabs; t < hostmode::kTabCount; ++t) Tabs->setTabVisible(t, false);
    m_tabsStartSize = QSize(960, 680);
    m_client->setMinimumSize(placeClient({}, kColumnWidth, m_tabsStartSize, QSize(1280, 800)).minimum);
    // With no host mode every page is hidden; say what to do instead of showing an empty frame.
    m_noModeHint = new QLabel("Choose the kind of work from the Modes menu:\n"
                              "Profile Logging, Moored Logging, Real Time Output, Analog Output,\n"
                              "Advanced User or PC-Logger.",
                              m_client);
    m_noModeHint->setObjectName("NoModeHint");
    m_noModeHint->setAlignment(Qt::AlignCenter);
    m_noModeHint->hide();
}

// The window's own part of a host mode: which tabs and menu items exist.
void TForm1::applyHostMode(const hostmode::Layout& l) {
    m_link->applyHostMode(l);
    m_recording->applyHostMode(l);
    m_pcLogger->applyHostMode(l);
    for (int t = 0; t < hostmode::kTabCount; ++t) Tabs->setTabVisible(t, t < hostmode::kLaidOutTabs && l.tabs[size_t(t)]);
    for (const auto& [name, shown] : hostmode::menuItemsFor(l.mode))
        if (QAction* a = m_menu.named(name)) a->setVisible(shown);
}

void TForm1::showPage(const char* name, bool shown) {
    const int i = Tabs->indexOf(Tabs->findChild<QWidget*>(name));
    if (i < 0) return;
    Tabs->setTabVisible(i, shown);
    if (shown) Tabs->setCurrentIndex(i);
    FormResize();
}

std::optional<bool> TForm1::tabShown(const QWidget* page) const {
    const int i = Tabs ? Tabs->indexOf(page) : -1;
    if (i < 0) return std::nullopt;
    return Tabs->isTabVisible(i);
}

std::optional<bool> TForm1::tabShown(std::string_view pageName) const {
    if (!Tabs) return std::nullopt;
    return tabShown(Tabs->findChild<QWidget*>(QString::fromUtf8(pageName.data(), qsizetype(pageName.size()))));
}

void TForm1::setTabShown(QWidget* page, bool shown) {
    const int i = Tabs ? Tabs->indexOf(page) : -1;
    if (i < 0) return;
    if (shown) {
        Tabs->setTabVisible(i, true);
        Tabs->setCurrentIndex(i);
        return;
    }
    const bool wasCurrent = Tabs->currentIndex() == i;
    Tabs->setTabVisible(i, false);
    if (wasCurrent)
        for (int step = 1; step < Tabs->count(); ++step) {
            const int next = (i + step) % Tabs->count();
            if (Tabs->isTabVisible(next)) {
                Tabs->setCurrentIndex(next);
                break;
            }
        }
}

void TForm1::setTabCaption(const QWidget* page, const QString& caption, const QColor& colour) {
    const int i = Tabs ? Tabs->indexOf(page) : -1;
    if (i < 0) return;
    Tabs->setTabText(i, caption);
    Tabs->tabBar()->setTabTextColor(i, colour);
}

void TForm1::TabsChange() {
    if (Tabs->currentWidget() != m_upload->page()) return;
    // The run list stays: after a Cancel, or a look at another page, its rows still fetch their
    // runs, and reading it again needs the logger in Standby.
    m_stream->stopRawDisplay();
}

void TForm1::startTimers() {
    Timer10ms->start();
    Timer1000ms->start();
    Timer475ms->start();
    TTimeout->start();
}

void TForm1::FormResize() {
    if (!Tabs) return;
    // Before the window is shown its scroll area has no size of its own yet: the client keeps
    // the wide arrangement it started with.
    const auto* scroll = static_cast<const QScrollArea*>(centralWidget());
    const QSize room = isVisible() ? scroll->viewport()->size() : m_client->size().expandedTo(m_client->minimumSize());
    // Above the pages: the marker and the host status, the port box and the panels that come
    // below it, the logger status.
    static constexpr int kNarrowColumn[] = {0, 0, 1, 1, 1, 2};
    std::vector<StatusBox> boxes;
    for (size_t i = 0; i < m_leftColumn.size(); ++i)
        boxes.push_back({m_leftColumn[i]->height(), !m_leftColumn[i]->isHidden(), kNarrowColumn[std::min(i, size_t(5))]});
    const ClientPlacement placed = placeClient(boxes, kColumnWidth, m_tabsStartSize, room);
    for (size_t i = 0; i < m_leftColumn.size(); ++i)
        if (boxes[i].shown) m_leftColumn[i]->setGeometry(placed.boxes[i]);
    if (m_client->minimumSize() != placed.minimum) m_client->setMinimumSize(placed.minimum);
    Tabs->setGeometry(placed.pages);
    bool anyPage = false;
    for (int i = 0; i < Tabs->count(); ++i) anyPage = anyPage || Tabs->isTabVisible(i);
    Tabs->setVisible(anyPage);
    m_noModeHint->setGeometry(Tabs->geometry());
    m_noModeHint->setVisible(!anyPage);
}

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_client && e->type() == QEvent::Resize) FormResize();
    return QMainWindow::eventFilter(watched, e);
}

void TForm1::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    FormResize();
}

bool TForm1::confirmExit() {
    m_env.dialogs.beep(Icon::Question);
    const ExitQuestion q = exitQuestion(runningWork(*m_recording, m_network));
    if (m_env.dialogs.ask("Program Termination", q.text, Buttons::OkCancel, Icon::Question, q.defaultAnswer) != Answer::Ok)
        return false;
    m_settings->saveLastSetup();
    m_ports.closeAll();
    for (QTimer* t : {Timer10ms, Timer475ms, Timer1000ms, TTimeout}) t->stop();
    m_exiting = true;
    return true;
}

void TForm1::BTExitClick() {
    if (!confirmExit()) return;
    close();
    QApplication::exit(0);
}

// Left to itself the window would end a recording of days, unasked and without last.cvh.
void TForm1::closeEvent(QCloseEvent* e) {
    if (!m_exiting && !confirmExit()) {
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
    QApplication::exit(0);
}

// ---- the ticks: each subsystem's step in its place ----

void TForm1::Timer10msTimer() {
    m_setup->hostClockTick();
    m_link->receiveStep();
    m_pcLogger->pcLoggerStep();
    m_recording->replayStopStep();
    m_stream->rawDisplayStep();
}

void TForm1::Timer475msTimer() {
    m_setup->showArrivedSetup();  // the link follows the speed the logger reports
    m_hardware->showArrivedHardware();
    m_setup->showArrivedStatus();
    setWindowTitle(QString::fromStdString(format("CV Logger Host v%4.2f", kProgramVersion)));
    m_link->flashErrorStep();
}

void TForm1::Timer1000msTimer() {
    m_link->supervisionStep();
    m_recording->recordStatusStep();
    m_pcLogger->annotationForm()->showRecordingState();
    m_link->sequenceErrorsStep(m_stream->sequenceErrorsTotal());
    m_recording->fileSizeStep();
    m_stream->unitCountersStep();
    m_upload->secondTick();
    m_pcLogger->trafficStep();
    m_network->figuresStep();
    m_link->loopsStep();
}

void TForm1::TTimeoutTimer() { m_upload->timeoutTick(); }

void TForm1::loggerDataReady() {
    m_dataReadyQueued = false;
    if (!m_upload->session().transferRunning()) return;
    if (m_receiver.replaying()) return;  // replay feeds the receiver, not the port
    // A status may stand in front of the block in the same read; a few calls frame both.
    for (int i = 0; i < 4; ++i)
        if (m_link->receiveNow() != kPacketFramed || m_receiver.fillCount() < 12) break;
}

void TForm1::onUploadBlock() { m_upload->onUploadBlock(); }
void TForm1::onDirectoryEntry() { m_upload->onDirectoryEntry(); }
void TForm1::onAnalogCalibration() { m_hardware->onAnalogCalibration(); }
void TForm1::onHardwareConfiguration() { m_hardware->onHardwareConfiguration(); }
void TForm1::onMuxRecord(uint8_t* record, size_t length) { m_stream->onMuxRecord(record, length); }

} // namespace cv
