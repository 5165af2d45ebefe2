#include "setup/setup_screen_qt.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

#include "base/bytes.h"
#include "setup/data_status_page.h"
#include "setup/logger_control_page.h"
#include "setup/logger_status_panel.h"
#include "setup/port_setup_page.h"
#include "setup/setup_dialogs_qt.h"
#include "widgets/clickable_label.h"
#include "widgets/colours.h"
#include "widgets/host_services.h"
#include "widgets/widget_helpers.h"

namespace cv {

namespace {

const char* const kMarkerNotCurrent = "Setup is Not Current";
const char* const kMarkerCurrent = "Setup is Current";
const char* const kSendAbortedCaption = "*** Warning *** 'Send Setup' has been aborted.";
const char* const kSendAbortedText =
    "One or more of the Logger Setup Parameters in either Port Setup or Sample Setup is invalid.";
const char* const kMemoryFillsCaption = "***Warning***";
const char* const kMemoryFillsText =
    "Using the Logger Output AND Recording Data internally will cause the Logger to Turn OFF as the internal "
    "memory becomes full!";
const char* const kNotStandbyCaption = "Unable to Complete Command";
const char* const kNotStandbyText = "The Logger Must be in Standby before Sending a new Logger Setup";
constexpr int kPanelHeight = 35;

} // namespace

SetupScreen::SetupScreen(QWidget* mainWindow, HostServices& services, status::StatusFollower& follower,
                         QObject* parent)
    : QObject(parent ? parent : mainWindow), m_window(mainWindow), m_services(services), m_follower(follower) {
    // The window places these: the pages on its tabs, the rest in its left column.
    m_portSetup = new PortSetupPage(mainWindow);
    m_loggerControl = new LoggerControlPage(mainWindow);
    m_dataStatus = new DataStatusPage(mainWindow);
    m_statusPanel = new LoggerStatusPanel(mainWindow);
    buildLeftColumnItems();
    m_dialogs = std::make_unique<SetupDialogs>(mainWindow, services);

    connectControls();
    connectModeMenu();
    setSetupMarker(0);
}

void SetupScreen::buildLeftColumnItems() {
    auto panel = [this](const char* name, const QString& text) {
        auto* l = named(new ClickableLabel(text, m_window), name);
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
    PStore->setAccessibleName("Setup marker: get the setup");
    PStore->setToolTip("Yellow: the screen differs from the logger's setup. Click to get the setup from the logger.");
    RemoteHostPanel = panel("RemoteHostPanel", "Remote Host Is On");
    setPanelColour(RemoteHostPanel, kYellow);
    LBHostDandT = named(new QLabel(m_window), "LBHostDandT");
    LBHostDandT->setAccessibleName("PC date and time");
}

SetupScreen::~SetupScreen() = default;

SleepDialog* SetupScreen::sleepDialog() const { return m_dialogs->sleep(); }
FirmwareWarningDialog* SetupScreen::firmwareWarningDialog() const { return m_dialogs->firmwareWarning(); }
LoggerIdDialog* SetupScreen::loggerIdDialog() const { return m_dialogs->loggerId(); }

void SetupScreen::relayout() {
    if (m_services.relayout) m_services.relayout();
}

void SetupScreen::setSpinner(QSpinBox* ud, int value) {
    const QSignalBlocker block(ud);
    ud->setValue(value);
}

// ---- wiring ----

void SetupScreen::connectControls() {
    auto change = [this] { CBPort1SetupChange(); };
    std::vector<QComboBox*> feeding;
    for (int p = 0; p < setup::kSerialPorts; ++p) {
        feeding.push_back(m_portSetup->CBPortSetup[size_t(p)]);
        feeding.push_back(m_portSetup->ComboMeter[size_t(p)]);
    }
    feeding.push_back(m_portSetup->CBHostPortSetup);
    for (QComboBox* cb : m_portSetup->CBPump) feeding.push_back(cb);
    for (QComboBox* cb : m_portSetup->CBAnalog) feeding.push_back(cb);
    for (QComboBox* cb : m_loggerControl->scheduleCombo) feeding.push_back(cb);
    feeding.push_back(m_loggerControl->OutputCB);
    feeding.push_back(m_loggerControl->FileCB);
    // Operator changes only: an index set from code does not run the handler.
    for (QComboBox* cb : feeding) connect(cb, &QComboBox::activated, this, change);
    // A schedule spinner's arrows are its click handler; typing into its edit box is an edit
    // like any combo's.
    for (size_t f = 0; f < setup::kScheduleFields; ++f) {
        connect(m_loggerControl->scheduleUD[f], &QSpinBox::valueChanged, this, [this] { UDAnalogRateClick(); });
        if (QLineEdit* edit = m_loggerControl->scheduleEdit[f]) connect(edit, &QLineEdit::textEdited, this, change);
    }
    connect(m_loggerControl->CBAutoStart, &QCheckBox::clicked, this, change);
    connect(m_loggerControl->UDAnalogRate, &QSpinBox::valueChanged, this, [this] { UDAnalogRateClick(); });
    connect(m_loggerControl->UDLVCutOff, &QSpinBox::valueChanged, this, [this] { UDLVCutOffClick(); });
    connect(m_loggerControl->ModeCB, &QComboBox::activated, this, [this] { ModeCBChange(); });
    connect(m_loggerControl->TimeSourceCB, &QComboBox::activated, this, [this] { TimeSourceCBChange(); });

    std::vector<QCheckBox*> hourBoxes(m_portSetup->SOPH.begin(), m_portSetup->SOPH.end());
    hourBoxes.insert(hourBoxes.end(), m_portSetup->AOPH.begin(), m_portSetup->AOPH.end());
    hourBoxes.insert(hourBoxes.end(), m_portSetup->POPH.begin(), m_portSetup->POPH.end());
    for (QCheckBox* box : hourBoxes) connect(box, &QCheckBox::clicked, this, [this] { SOPH1Click(); });

    for (QPushButton* b : {m_portSetup->BTGetSetup1, m_loggerControl->BTGetSetup2, m_loggerControl->BTBegin, m_loggerControl->BTSleep})
        connect(b, &QPushButton::clicked, this, [this, b] { BTGetSetup1Click(b); });
    connect(PStore, &ClickableLabel::clicked, this, [this] { BTGetSetup1Click(PStore); });
    for (QPushButton* b : {m_portSetup->BTSendSetup1, m_loggerControl->BTSendSetup2})
        connect(b, &QPushButton::clicked, this, [this] { BTSendSetup1Click(); });
    connect(m_loggerControl->BTStop, &QPushButton::clicked, this, [this] { BTStopClick(); });
    for (QPushButton* b : {m_loggerControl->Button1, m_loggerControl->Button2})
        connect(b, &QPushButton::clicked, this, [this, b] { Button1Click(b); });

    const MenuItems& menu = m_services.menu;
    menu.MenuMooredTimeUpdate->setCheckable(true);
    connect(menu.MenuMooredTimeUpdate, &QAction::triggered, this, [this] { MooredTimeUpdatesClick(); });
    menu.MenuUpdateTimeNow->setCheckable(true);
    connect(menu.MenuUpdateTimeNow, &QAction::triggered, this, [this] { MenuUpdateTimeNowClick(); });
    // "Automatic Time Sync" is a plain check mark that the status display reads.
    menu.MenuAutoTimeUpdate->setCheckable(true);
    connect(menu.MenuChangeLoggerID, &QAction::triggered, this, [this] { MenuChangeLoggerIDClick(); });
}

// ---- screen values ----

setup::SetupControls SetupScreen::screenControls() const {
    setup::SetupControls c;
    c.mode = m_loggerControl->ModeCB->currentIndex();
    c.output = m_loggerControl->OutputCB->currentIndex();
    c.file = m_loggerControl->FileCB->currentIndex();
    c.timeSource = m_loggerControl->TimeSourceCB->currentIndex();
    c.hostSpeed = m_portSetup->CBHostPortSetup->currentIndex();
    for (size_t p = 0; p < setup::kSerialPorts; ++p) {
        c.portType[p] = m_portSetup->ComboMeter[p]->currentIndex();
        c.portSpeed[p] = m_portSetup->CBPortSetup[p]->currentIndex();
    }
    for (size_t a = 0; a < setup::kAnalogChannels; ++a) c.analog[a] = m_portSetup->CBAnalog[a]->currentIndex();
    for (size_t p = 0; p < setup::kPumps; ++p) c.pump[p] = m_portSetup->CBPump[p]->currentIndex();
    for (size_t f = 0; f < setup::kScheduleFields; ++f) {
        c.scheduleNumber[f] = m_loggerControl->scheduleUD[f]->value();
        c.scheduleUnit[f] = m_loggerControl->scheduleCombo[f]->currentIndex();
    }
    c.lvCutOff = m_loggerControl->UDLVCutOff->value();
    c.analogRate = m_loggerControl->UDAnalogRate->value();
    c.autoStart = m_loggerControl->CBAutoStart->isChecked();
    c.oncePerHour = 0;
    for (int p = 0; p < setup::kSerialPorts; ++p)
        if (m_portSetup->SOPH[size_t(p)]->isChecked()) c.oncePerHour |= setup::serialHourBit(p);
    for (int a = 0; a < setup::kAnalogChannels; ++a)
        if (m_portSetup->AOPH[size_t(a)]->isChecked()) c.oncePerHour |= setup::analogHourBit(a);
    for (int p = 0; p < setup::kPumps; ++p)
        if (m_portSetup->POPH[size_t(p)]->isChecked()) c.oncePerHour |= setup::pumpHourBit(p);
    return c;
}

void SetupScreen::showControls(const setup::SetupControls& c) {
    setIndex(m_loggerControl->ModeCB, c.mode);
    setIndex(m_loggerControl->OutputCB, c.output);
    setIndex(m_loggerControl->FileCB, c.file);
    setIndex(m_loggerControl->TimeSourceCB, c.timeSource);
    setIndex(m_portSetup->CBHostPortSetup, c.hostSpeed);
    for (size_t p = 0; p < setup::kSerialPorts; ++p) {
        setIndex(m_portSetup->ComboMeter[p], c.portType[p]);
        setIndex(m_portSetup->CBPortSetup[p], c.portSpeed[p]);
    }
    for (size_t a = 0; a < setup::kAnalogChannels; ++a) setIndex(m_portSetup->CBAnalog[a], c.analog[a]);
    for (size_t p = 0; p < setup::kPumps; ++p) setIndex(m_portSetup->CBPump[p], c.pump[p]);
    for (size_t f = 0; f < setup::kScheduleFields; ++f) {
        setSpinner(m_loggerControl->scheduleUD[f], c.scheduleNumber[f]);
        setIndex(m_loggerControl->scheduleCombo[f], c.scheduleUnit[f]);
    }
    setSpinner(m_loggerControl->UDLVCutOff, c.lvCutOff);
    setSpinner(m_loggerControl->UDAnalogRate, c.analogRate);
    m_loggerControl->CBAutoStart->setChecked(c.autoStart);
    for (int p = 0; p < setup::kSerialPorts; ++p)
        m_portSetup->SOPH[size_t(p)]->setChecked(c.oncePerHour & setup::serialHourBit(p));
    for (int a = 0; a < setup::kAnalogChannels; ++a)
        m_portSetup->AOPH[size_t(a)]->setChecked(c.oncePerHour & setup::analogHourBit(a));
    for (int p = 0; p < setup::kPumps; ++p) m_portSetup->POPH[size_t(p)]->setChecked(c.oncePerHour & setup::pumpHourBit(p));
}

// ---- setup record ----

bool SetupScreen::showArrivedSetup() {
    LoggerRecords& records = m_services.records;
    if (!records.setupArrived) return false;
    compareArrivedSetup();
    const setup::DecodedSetup d = setup::decodeSetup(records.setup, portNames());
    const setup::SetupControls& c = d.controls;

    for (size_t f = 0; f < setup::kScheduleFields; ++f) {
        setSpinner(m_loggerControl->scheduleUD[f], c.scheduleNumber[f]);
        setIndex(m_loggerControl->scheduleCombo[f], c.scheduleUnit[f]);
    }
    setIndex(m_loggerControl->OutputCB, c.output);
    setIndex(m_loggerControl->FileCB, c.file);
    for (size_t p = 0; p < setup::kSerialPorts; ++p) {
        m_dataStatus->MTypeLabel[p]->setText("OFF");
        m_dataStatus->MStatusLabel[p]->setText("0");
        m_dataStatus->MFileSizeLabel[p]->setText("0 K");
    }
    emit loggerSpeedReported(c.hostSpeed);
    setIndex(m_portSetup->CBHostPortSetup, c.hostSpeed);
    for (size_t p = 0; p < setup::kSerialPorts; ++p) {
        setIndex(m_portSetup->ComboMeter[p], c.portType[p]);
        setIndex(m_portSetup->CBPortSetup[p], c.portSpeed[p]);
        m_dataStatus->MTypeLabel[p]->setText(qs(d.dataStatusTypes[p]));
    }
    for (QLabel* l : m_dataStatus->Analog) l->setText("0.000");
    for (size_t a = 0; a < setup::kAnalogChannels; ++a) setIndex(m_portSetup->CBAnalog[a], c.analog[a]);
    for (size_t p = 0; p < setup::kPumps; ++p) setIndex(m_portSetup->CBPump[p], c.pump[p]);
    m_loggerControl->CBAutoStart->setChecked(c.autoStart);
    setSpinner(m_loggerControl->UDLVCutOff, c.lvCutOff);
    m_loggerControl->LBLowVoltage->setText(qs(setup::lowVoltageText(c.lvCutOff)));
    setSpinner(m_loggerControl->UDAnalogRate, c.analogRate);
    refreshAnalogRateReadout();
    for (int p = 0; p < setup::kSerialPorts; ++p)
        m_portSetup->SOPH[size_t(p)]->setChecked(c.oncePerHour & setup::serialHourBit(p));
    for (int a = 0; a < setup::kAnalogChannels; ++a)
        m_portSetup->AOPH[size_t(a)]->setChecked(c.oncePerHour & setup::analogHourBit(a));
    for (int p = 0; p < setup::kPumps; ++p) m_portSetup->POPH[size_t(p)]->setChecked(c.oncePerHour & setup::pumpHourBit(p));
    setIndex(m_loggerControl->TimeSourceCB, c.timeSource);
    setIndex(m_loggerControl->ModeCB, c.mode);
    setMooredFlag(setup::isMooredMode(c.mode));
    showPolledButtons(c.mode == setup::kModePolledMoored);
    showLoggerMode(getI16le(&records.setup[setup::offset::kMode]));

    // A value the screen had to change is not what the logger holds: the next Send Setup
    // would change the logger without an edit.
    setSetupMarker(d.changed.empty() ? 1 : 0);
    if (!d.changed.empty()) m_services.warnings.show(setup::kChangedFieldsCaption, setup::changedFieldsText(d.changed));
    records.setupArrived = false;
    refreshLineCapacity();
    return true;
}

setup::PortNames SetupScreen::portNames() const {
    setup::PortNames names;
    for (size_t p = 0; p < setup::kSerialPorts; ++p) {
        QString row = m_portSetup->LBS[p]->text().trimmed();
        if (row.endsWith(':')) row.chop(1);
        names[p] = row.toStdString();
    }
    return names;
}

void SetupScreen::keepHiddenUnchosen(setup::SetupControls& c) const {
    auto keep = [](int& value, const QWidget* control) {
        if (value < 0 && control->isHidden()) value = setup::kKeepReceived;
    };
    keep(c.mode, m_loggerControl->ModeCB);
    keep(c.output, m_loggerControl->OutputCB);
    keep(c.file, m_loggerControl->FileCB);
    keep(c.hostSpeed, m_portSetup->CBHostPortSetup);
    for (size_t p = 0; p < setup::kSerialPorts; ++p) {
        keep(c.portType[p], m_portSetup->ComboMeter[p]);
        keep(c.portSpeed[p], m_portSetup->CBPortSetup[p]);
    }
    for (size_t a = 0; a < setup::kAnalogChannels; ++a) keep(c.analog[a], m_portSetup->CBAnalog[a]);
    for (size_t p = 0; p < setup::kPumps; ++p) keep(c.pump[p], m_portSetup->CBPump[p]);
    for (size_t f = 0; f < setup::kScheduleFields; ++f) keep(c.scheduleUnit[f], m_loggerControl->scheduleCombo[f]);
}

void SetupScreen::BTSendSetup1Click() {
    setup::SetupControls c = screenControls();
    // The operator cannot choose in a hidden control, so it must not block sending.
    keepHiddenUnchosen(c);
    const std::vector<std::string> missing = setup::missingChoices(c, portNames());
    if (!missing.empty()) {
        std::string text = std::string(kSendAbortedText) + "\n\nChoose a value for: ";
        for (size_t i = 0; i < missing.size(); ++i) text += (i ? ", " : "") + missing[i];
        m_services.warnings.show(kSendAbortedCaption, text + ".");
        return;
    }
    if (!maySendWhileSampling(m_services.dialogs, m_services.facts.state, "Send Setup")) return;
    // Encode into a copy: a warning box below runs the timers, and a setup arriving meanwhile
    // must not end up mixed into the bytes the operator asked to send.
    SetupBytes out = m_services.records.setup;
    const setup::EncodeResult r = setup::encodeSetup(c, m_services.facts.hasIntegratedMeter(), out);
    showControls(r.shown);
    refreshAnalogRateReadout();
    if (r.realTimeWithStorage) m_services.warnings.show(kMemoryFillsCaption, kMemoryFillsText);
    const bool wentOut = m_services.commands.sendBlock(out.data(), out.size());
    if (wentOut) {
        m_services.records.setup = out;
        m_lastSent = out;
    }
    showSetupSent(wentOut);
    refreshLineCapacity();
}

void SetupScreen::setSetupMarker(int state) {
    if (state != 0 && state != 1) return;
    m_setupMarker = state;
    m_restoreCurrent = false;
    PStore->setText(state == 1 ? kMarkerCurrent : kMarkerNotCurrent);
    tellState(PStore, PStore->text());
    paintShade(PStore, state == 1 ? Shade::Silver : Shade::Yellow);
    relayout();
}

void SetupScreen::refreshAnalogRateReadout() {
    const int rate = m_loggerControl->UDAnalogRate->value();
    m_loggerControl->LBAnalogRate->setText(qs(setup::analogRateText(rate)));
    paintShade(m_loggerControl->LBAnalogRate, setup::analogRateShade(rate, m_loggerControl->FileCB->currentIndex()));
}

void SetupScreen::CBPort1SetupChange() {
    setSetupMarker(0);
    const int rate = setup::minimumAnalogRate(screenControls(), m_loggerControl->UDAnalogRate->value());
    if (rate != m_loggerControl->UDAnalogRate->value()) setSpinner(m_loggerControl->UDAnalogRate, rate);
    UDAnalogRateClick();
}

void SetupScreen::UDAnalogRateClick() {
    refreshAnalogRateReadout();
    setSetupMarker(0);
    refreshLineCapacity();
}

void SetupScreen::UDLVCutOffClick() {
    m_loggerControl->LBLowVoltage->setText(qs(setup::lowVoltageText(m_loggerControl->UDLVCutOff->value())));
    setSetupMarker(0);
}

void SetupScreen::ModeCBChange() {
    const int mode = m_loggerControl->ModeCB->currentIndex();
    setMooredFlag(setup::isMooredMode(mode));
    showPolledButtons(mode == setup::kModePolledMoored);
    setSetupMarker(0);
    refreshLineCapacity();
}

void SetupScreen::SOPH1Click() { setSetupMarker(0); }

void SetupScreen::TimeSourceCBChange() { setSetupMarker(0); }

// ---- commands ----

void SetupScreen::BTGetSetup1Click(QObject* sender) {
    if (!sender) return;
    CommandSink& out = m_services.commands;
    if (sender == m_portSetup->BTGetSetup1 || sender == m_loggerControl->BTGetSetup2) out.sendCommand(cmd::kGetSetup);
    if (sender == PStore) {
        if (status::isStandbyState(m_services.facts.state))
            out.sendCommand(cmd::kGetSetup);
        else
            m_services.warnings.show(kNotStandbyCaption, kNotStandbyText);
    }
    if (sender == m_loggerControl->BTBegin) out.sendCommand(cmd::kBegin);
    if (sender == m_loggerControl->BTSleep) m_dialogs->openSleep();
}

void SetupScreen::BTStopClick() {
    const int hostSpeed = m_portSetup->CBHostPortSetup->currentIndex();
    bool stopped = false;
    if (hostSpeed == 5 || hostSpeed == 7)
        stopped = m_services.commands.sendRaw(kStop7E1Text);
    else if ((stopped = m_services.commands.sendCommand(cmd::kStop)))
        m_services.commands.sendRaw(kBreakText);
    // The stop also ends a port test (the test window's Stop Test comes here too).
    if (stopped) m_services.facts.portTestRunning = false;
}

void SetupScreen::Button1Click(QObject* sender) {
    if (!sender) return;
    const QString name = sender->objectName();
    if (name == "Button1") m_services.commands.sendRaw(kWakeText);
    if (name == "Button2") m_services.commands.sendRaw(kSleepText);
}

void SetupScreen::MooredTimeUpdatesClick() {
    const bool shown = m_services.menu.MenuMooredTimeUpdate->isChecked();
    m_loggerControl->TimeSourceLB->setVisible(shown);
    m_loggerControl->TimeSourceCB->setVisible(shown);
}

void SetupScreen::MenuUpdateTimeNowClick() {
    m_services.menu.MenuUpdateTimeNow->setChecked(true);
}

void SetupScreen::MenuChangeLoggerIDClick() { m_dialogs->openLoggerId(); }

} // namespace cv
