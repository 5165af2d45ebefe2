#include "setup/setup_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

#include "widgets/clickable_label.h"
#include "setup/data_status_page.h"
#include "setup/logger_control_page.h"
#include "setup/logger_status_panel.h"
#include "setup/polled_buttons_widget.h"
#include "setup/port_setup_page.h"
#include "setup/setup_screen_qt.h"

namespace cv::test {

bool RecordingSink::sendCommand(uint16_t code, uint16_t arg16, uint32_t arg32) {
    const CommandPacket p = buildCommandPacket(code, arg16, arg32);
    if (accept) writes.emplace_back(p.begin(), p.end());
    return accept;
}
bool RecordingSink::sendBlock(const uint8_t* bytes, size_t length) {
    if (accept) writes.emplace_back(bytes, bytes + length);
    return accept;
}
bool RecordingSink::sendRaw(const std::string& text) {
    if (accept) writes.emplace_back(text.begin(), text.end());
    return accept;
}
std::vector<uint8_t> RecordingSink::joined() const {
    std::vector<uint8_t> all;
    for (const auto& w : writes) all.insert(all.end(), w.begin(), w.end());
    return all;
}

std::vector<uint8_t> textBytes(const std::string& s) { return {s.begin(), s.end()}; }
std::vector<uint8_t> packetBytes(uint16_t code, uint16_t arg16, uint32_t arg32) {
    const CommandPacket p = buildCommandPacket(code, arg16, arg32);
    return {p.begin(), p.end()};
}

namespace {

template <class T>
T* named(T* w, const QString& name) {
    w->setObjectName(name);
    return w;
}

QAction* namedAction(QMenu* menu, const char* name, const char* caption, bool checkable = false) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    a->setCheckable(checkable);
    return a;
}

QAction* namedSeparator(QMenu* menu, const char* name) {
    QAction* a = menu->addSeparator();
    a->setObjectName(name);
    return a;
}

} // namespace

FixtureWindow::FixtureWindow() {
    setObjectName("Form1");
    QMenu* port = menuBar()->addMenu("&Logger_Port");
    port->menuAction()->setObjectName("MenuLoggerPortSetup");
    namedAction(port, "ShowLoggerPortSetup", "Show Logger Port Setup");
    namedSeparator(port, "N10");
    namedAction(port, "ChangeHostInterface", "Change Logger Interface Type");
    QMenu* modes = menuBar()->addMenu("&Modes");
    namedAction(modes, "MenuProfile", "Profile Logging");
    namedAction(modes, "MenuMoored", "Moored Logging");
    namedAction(modes, "MenuRealTimeOutput", "Real Time Output");
    namedAction(modes, "MenuAnalog", "Analog Output");
    namedAction(modes, "MenuAdvanced", "Advanced User");
    namedAction(modes, "PCLogger", "PC-Logger");
    namedAction(modes, "MenuPSM3", "PSM 3 Output")->setVisible(false);
    namedAction(modes, "Menubq5PassThru", "bq5 Pass Thru")->setVisible(false);
    QMenu* commands = menuBar()->addMenu("&Commands");
    QMenu* factory = commands->addMenu("Access Factory Settings");
    factory->menuAction()->setObjectName("MenuFactorySettings");
    namedAction(factory, "ResetToMonitor", "Reset To Monitor");
    namedSeparator(factory, "N2");
    namedAction(factory, "MenuChangeLoggerID", "Change Logger ID");
    namedAction(factory, "AnalogCal", "Analog Calibration");
    namedAction(factory, "HardwareConfig", "Hardware Configuration");
    namedSeparator(factory, "N11");
    namedAction(factory, "LoadDefaultFlashSetup", "Load Default Flash Setup");
    namedAction(factory, "ToggleDebug", "Write Debug File", true);
    namedSeparator(commands, "N1");
    namedAction(commands, "MenuAnnotateFile", "Annotate File");
    QMenu* time = commands->addMenu("Logger Time Update");
    time->menuAction()->setObjectName("MenuLoggerTimeUpdate");
    namedAction(time, "MenuAutoTimeUpdate", "Automatic Time Sync", true)->setChecked(true);
    namedAction(time, "MenuUpdateTimeNow", "Synchronize Time Now", true);
    namedAction(time, "MenuMooredTimeUpdate", "Moored Time Source", true);
    namedSeparator(commands, "N5");
    namedAction(commands, "MenuTestOneSerialPort", "Test One Logger Port");

    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* left = new QVBoxLayout;
    auto* marker = named(new ClickableLabel("Setup is ???", central), "PStore");
    marker->setFixedHeight(35);
    marker->setAlignment(Qt::AlignCenter);
    marker->hide();
    auto* flash = named(new QLabel("Bad Flash Operations", central), "FlashPanel");
    flash->hide();
    auto* remote = named(new QLabel("Remote Host Is On", central), "RemoteHostPanel");
    remote->hide();
    auto* hostStatus = named(new QGroupBox("Host Status", central), "HostStatusGB");
    auto* hs = new QVBoxLayout(hostStatus);
    hs->addWidget(named(new QLabel(hostStatus), "LBHostDandT"));
    hs->addWidget(named(new QLabel(hostStatus), "PLoggerPort"));
    hs->addWidget(named(new QLabel(hostStatus), "COMStatus"));
    auto* portGroup = named(new QGroupBox("Logger Port Setup", central), "LoggerPortGB");
    auto* pg = new QVBoxLayout(portGroup);
    auto* portCB = named(new QComboBox(portGroup), "LoggerPortCB");
    portCB->addItems({"No Port Selected", "COM1", "COM2", "COM3"});
    portCB->setCurrentIndex(3);
    auto* speedCB = named(new QComboBox(portGroup), "LoggerSetupCB");
    speedCB->addItems({"OFF", "600", "1200", "2400", "4800", "4800,7,E,1", "9600", "9600, 7,E,1", "19200", "38400",
                       "57600", "115200"});
    speedCB->setCurrentIndex(6);
    pg->addWidget(portCB);
    pg->addWidget(speedCB);
    portGroup->hide();
    auto* status = new LoggerStatusPanel(central);
    for (QWidget* item : {static_cast<QWidget*>(marker), static_cast<QWidget*>(flash), static_cast<QWidget*>(remote),
                          static_cast<QWidget*>(hostStatus), static_cast<QWidget*>(portGroup),
                          static_cast<QWidget*>(status)}) {
        item->setFixedWidth(270);
        left->addWidget(item);
    }
    left->addStretch(1);

    tabs = named(new QTabWidget(central), "Tabs");
    tabs->addTab(new PortSetupPage, "Port Setup");
    tabs->addTab(new LoggerControlPage, "Logger Control");
    tabs->addTab(new DataStatusPage, "Data Status");

    auto* upload = named(new QWidget, "TSUpload");
    auto* ul = new QVBoxLayout(upload);
    ul->addWidget(named(new QPushButton("Get Logger Directory", upload), "BTGetDirectory"));
    ul->addWidget(named(new QPushButton("Clear Logger Memory", upload), "BTClearMemory"));
    tabs->addTab(upload, "Upload Logger Data");

    auto* realTime = named(new QWidget, "TSRealTime");
    auto* rl = new QVBoxLayout(realTime);
    rl->addWidget(new PolledButtonsWidget(realTime));
    rl->addStretch(1);
    tabs->addTab(realTime, "Real Time Data");

    auto* record = named(new QWidget, "TSRecord");
    auto* rc = new QVBoxLayout(record);
    for (const char* name : {"ReplayArchiveBT", "ReplayContinuousBT"}) rc->addWidget(named(new QPushButton(name, record), name));
    for (const char* name : {"ReplaySpeedLB1", "ReplaySpeedLB2"}) rc->addWidget(named(new QLabel(name, record), name));
    rc->addWidget(named(new QSpinBox(record), "ReplaySpeedUD"));
    rc->addWidget(named(new QLineEdit(record), "ReplaySpeedEdit"));
    tabs->addTab(record, "Recording:  OFF");

    auto* pcLogger = named(new QWidget, "TSPCLogger");
    auto* pl = new QVBoxLayout(pcLogger);
    for (int n = 1; n <= 8; ++n) {
        auto* cb = named(new QComboBox(pcLogger), QString("DeckPort%1CB").arg(n));
        cb->addItems({"OFF", "COM1", "COM2"});
        cb->setCurrentIndex(2);
        pl->addWidget(cb);
    }
    tabs->addTab(pcLogger, "PC-Logger");

    auto* hardware = named(new QWidget, "TSHardware");
    auto* hl = new QVBoxLayout(hardware);
    hl->addWidget(named(new QPushButton("Get Hardware Configuration", hardware), "BTGetHardware"));
    hl->addWidget(named(new QPushButton("Load Default Hardware Setup", hardware), "BTKR8Defaults"));
    hl->addWidget(named(new QLineEdit("Enter Password", hardware), "HWPassword"));
    tabs->addTab(hardware, "Hardware Configuration");

    auto* analog = named(new QWidget, "TSAnalog");
    auto* al = new QVBoxLayout(analog);
    al->addWidget(named(new QPushButton("Get Analog Calibration", analog), "BTGetAnalog"));
    tabs->addTab(analog, "Analog Calibration");
    tabs->addTab(named(new QWidget, "TSPlotSetup"), "Plot Setup");

    auto* row = new QHBoxLayout(central);
    row->addLayout(left);
    row->addWidget(tabs, 1);
}

QAction* FixtureWindow::menuAction(const char* name) const { return findChild<QAction*>(name); }

SetupRig::SetupRig() : window(std::make_unique<FixtureWindow>()) {
    window->resize(1280, 800);
    window->show();
    screen = new SetupScreen(window.get(), services);
}

SetupRig::~SetupRig() = default;

bool SetupRig::shown(const char* name) const {
    if (QAction* a = window->menuAction(name)) return a->isVisible();
    QWidget* widget = window->findChild<QWidget*>(name);
    if (!widget) return false;
    // A page that is not the current tab is hidden by the tab widget, not by the layout: judge
    // a control on a page as if its page were shown.
    QWidget* root = window.get();
    for (QWidget* p = widget; p; p = p->parentWidget())
        if (qobject_cast<QStackedWidget*>(p->parentWidget())) {
            root = p;
            break;
        }
    return widget == root ? !widget->isHidden() : widget->isVisibleTo(root);
}

bool SetupRig::tabShown(const char* name) const {
    QWidget* page = window->findChild<QWidget*>(name);
    return page && window->tabs->isTabVisible(window->tabs->indexOf(page));
}

QString SetupRig::text(const char* name) const {
    if (auto* l = window->findChild<QLabel*>(name)) return l->text();
    if (auto* b = window->findChild<QPushButton*>(name)) return b->text();
    return {};
}

void SetupRig::choose(const char* comboName, int index) {
    auto* cb = w<QComboBox>(comboName);
    cb->setCurrentIndex(index);
    emit cb->activated(index);
}

void SetupRig::clickButton(const char* name) { w<QPushButton>(name)->click(); }

void SetupRig::trigger(const char* actionName) { window->menuAction(actionName)->trigger(); }

void SetupRig::deliverSetup(const std::array<uint8_t, 192>& record) {
    records.setup = record;
    records.setupArrived = true;
    screen->showArrivedSetup();
}

void SetupRig::deliverStatus(const std::array<uint8_t, 132>& record) {
    records.status = record;
    records.statusArrived = true;
    screen->showArrivedStatus();
}

} // namespace cv::test
