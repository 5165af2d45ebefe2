#include "app/hostmain_window.h"
#include "app/exit_question.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>

#include "pclogger/annotation_dialog.h"
#include "app/operator_guide_window.h"
#include "archive/recording_screen_qt.h"
#include "base/text_format.h"
#include "hardware/hardware_screen_qt.h"
#include "link/link_screen_qt.h"
#include "stream/stream_screen_qt.h"
#include "memory/upload_screen_qt.h"
#include "pclogger/pclogger_page.h"
#include "pclogger/pclogger_screen_qt.h"
#include "settings/settings_screen_qt.h"
#include "share/network_screen_qt.h"
#include "setup/data_status_page.h"
#include "setup/setup_screen_qt.h"
#include "widgets/window_room.h"

namespace cv {

namespace {
constexpr double kProgramVersion = 7.06;
} // namespace

TForm1::TForm1(HostEnvironment env, QWidget* parent)
    : QMainWindow(parent),
      m_env(env),
      m_host({env.clock, env.dialogs, env.serial, env.sockets ? *env.sockets : m_ownSockets, env.archiveFiles,
              env.recorderLimits}),
      m_operatorCommands(m_host.commands(), m_host.ports(), m_host.warnings()),
      m_services{m_operatorCommands, m_host.warnings(), env.dialogs, env.clock, m_host.records(), m_host.facts(), m_menu,
                 [this] { FormResize(); }, &m_host.automaticCommands()} {
    setObjectName("Form1");
    if (!m_env.portMap) m_env.portMap = &m_ownPortMap;
    m_host.setPacketConsumer(this);
    m_host.setEvents(this);
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
    m_host.ports().setDataReadyHandler(kLoggerSlot, [this] {
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

// The controllers hold references into the Host, which goes with the window's members, before
// the window's children: they go first, the stream's consumers they lent leaving it with them.
TForm1::~TForm1() {
    m_host.setEvents(nullptr);
    m_host.setPacketConsumer(nullptr);
    m_host.setConsumer(StreamSlot::RawDisplay, nullptr);
    m_host.setConsumer(StreamSlot::Plot, nullptr);
    for (QObject* controller : std::initializer_list<QObject*>{m_settings, m_network, m_pcLogger, m_recording, m_hardware,
                                                                m_stream, m_upload, m_setup, m_link})
        delete controller;
}

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
    m_link = new LinkScreen(this, m_services, m_host.ports(), m_host.loggerPort(), *m_env.portMap);
    m_setup = new SetupScreen(this, m_services, m_host.statusFollower(), this);
    m_upload = new UploadScreen(this, m_services, m_host.receiver(), [this](bool on) {
        if (on) TTimeout->start();
        else TTimeout->stop();
    });
    m_stream = new StreamScreen(this, m_services, m_host.receiver(), m_host.stream());
    m_host.setConsumer(StreamSlot::RawDisplay, &m_stream->rawDisplayTap());
    m_host.setConsumer(StreamSlot::Plot, &m_stream->plotModel());
    HardwareHooks hardware;
    hardware.showRealTimePage = [this](bool shown) { showPage("TSRealTime", shown); };
    hardware.showRawLoggerData = [this] { m_stream->showRawLoggerData(); };
    hardware.stopLogger = [this] { m_setup->BTStopClick(); };
    hardware.hostMode = [this] { return m_setup->currentHostMode(); };
    m_hardware = new HardwareScreen(this, m_services, *this, std::move(hardware));
    m_recording = new RecordingScreen(this, m_services, *this, m_host.recorder(), m_host.replay());
    m_pcLogger = new PcLoggerScreen(this, m_services, m_host.ports(),
                                    PcLoggerLinks{m_host.pcLogger(), m_host.stream(),
                                                  [this](const uint8_t* r, size_t n) { m_stream->onPcLoggerRecordMade(r, n); }},
                                    m_env.portMap);
    // The network outputs share what the PC-Logger page shows, so they sit on it.
    m_network = new share::NetworkScreen(this, m_host.network(), QString::fromStdString(m_env.networkSettingsFile));
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
    connect(m_link, &LinkScreen::lostChanged, this, [this](bool lost) {
        if (lost) m_host.lineInterrupted();
    });
    connect(m_link, &LinkScreen::lineReplaced, this, [this] { m_host.lineInterrupted(); });
    connect(m_setup, &SetupScreen::loggerIdentityChanged, m_hardware, &HardwareScreen::followLoggerIdentity);
    connect(m_setup, &SetupScreen::loggerIdentityChanged, m_upload, &UploadScreen::followLoggerIdentity);
    connect(m_setup, &SetupScreen::polledModeChosen, m_stream, &StreamScreen::showPolledButtons);
    connect(m_pcLogger, &PcLoggerScreen::lineTrafficShown, m_setup->dataStatusPage(), &DataStatusPage::showPcLoggerTraffic);
    connect(m_link, &LinkScreen::comRemapped, m_pcLogger, &PcLoggerScreen::followPortMap);
    connect(m_pcLogger, &PcLoggerScreen::portMapWanted, m_link, &LinkScreen::PortMapClick);
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

void TForm1::startTimers() {
    Timer10ms->start();
    Timer1000ms->start();
    Timer475ms->start();
    TTimeout->start();
}

bool TForm1::confirmExit() {
    m_env.dialogs.beep(Icon::Question);
    const ExitQuestion q = exitQuestion(runningWork(*m_recording, m_network));
    if (m_env.dialogs.ask("Program Termination", q.text, Buttons::OkCancel, Icon::Question, q.defaultAnswer) != Answer::Ok)
        return false;
    m_settings->saveLastSetup();
    m_host.ports().closeAll();
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
    m_link->packetCountStep();
    m_host.fastTick();
    m_pcLogger->pcLoggerStep();
    m_recording->replayStopStep();
    m_stream->rawDisplayStep();
}

void TForm1::Timer475msTimer() {
    m_setup->showArrivedSetup();  // the link follows the speed the logger reports
    m_hardware->showArrivedHardware();
    statusStep();
    setWindowTitle(QString::fromStdString(format("CV Logger Host v%4.2f", kProgramVersion)));
    m_link->flashErrorStep();
}

void TForm1::statusStep() { m_host.statusTick(m_setup->timeSync()); }

void TForm1::Timer1000msTimer() {
    m_host.secondTick();  // the link's supervision shows through linkSupervised
    m_recording->recordStatusStep();
    m_pcLogger->annotationForm()->showRecordingState();
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
    if (m_host.receiver().replaying()) return;  // replay feeds the receiver, not the port
    // A status may stand in front of the block in the same read; a few calls frame both.
    for (int i = 0; i < 4; ++i)
        if (m_host.receiveNow() != kPacketFramed || m_host.receiver().fillCount() < 12) break;
}

void TForm1::onUploadBlock() { m_upload->onUploadBlock(); }
void TForm1::onDirectoryEntry() { m_upload->onDirectoryEntry(); }
void TForm1::onAnalogCalibration() { m_hardware->onAnalogCalibration(); }
void TForm1::onHardwareConfiguration() { m_hardware->onHardwareConfiguration(); }

void TForm1::linkRecovered() { m_link->linkRecovered(); }
void TForm1::linkSupervised(const LinkSecond& second) { m_link->showSupervision(second); }
void TForm1::identityCheckStarted(bool started) { m_setup->showIdentityCheck(started); }
void TForm1::identityVerdict(const status::IdentityFinding& found) { m_setup->showIdentityVerdict(found); }
void TForm1::statusDecoded(const status::StatusView& view) { m_setup->showStatus(view); }

} // namespace cv
