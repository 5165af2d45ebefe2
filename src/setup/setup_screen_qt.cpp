#include "setup/setup_screen_qt.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>

#include "widgets/clickable_label.h"
#include "widgets/host_services.h"
#include "widgets/widget_helpers.h"
#include "setup/firmware_warning_dialog.h"
#include "setup/logger_id_dialog.h"
#include "setup/sleep_dialog.h"
#include "base/bytes.h"
#include "setup/data_status_page.h"
#include "protocol/host_modes.h"
#include "setup/logger_control_page.h"
#include "setup/logger_status_panel.h"
#include "setup/polled_buttons_widget.h"
#include "setup/port_setup_page.h"
#include "widgets/colours.h"

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
constexpr int kTitleAllowance = 32;
constexpr int kFrameAllowance = 8;

} // namespace

SetupScreen::SetupScreen(QWidget* mainWindow, HostServices& services, QObject* parent)
    : QObject(parent ? parent : mainWindow), m_window(mainWindow), m_services(services) {
    // The window places these: the pages on its tabs, the rest in its left column and on the
    // Real Time Data page.
    m_ps = new PortSetupPage(mainWindow);
    m_lc = new LoggerControlPage(mainWindow);
    m_ds = new DataStatusPage(mainWindow);
    m_status = new LoggerStatusPanel(mainWindow);
    m_polled = new PolledButtonsWidget(mainWindow);
    buildLeftColumnItems();

    m_sleep = new SleepDialog(services, mainWindow);
    m_firmware = new FirmwareWarningDialog(mainWindow);
    m_loggerId = new LoggerIdDialog(services.commands, mainWindow);

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
    RemoteHostPanel = panel("RemoteHostPanel", "Remote Host Is On");
    setPanelColour(RemoteHostPanel, kYellow);
    LBHostDandT = named(new QLabel(m_window), "LBHostDandT");
    LBHostDandT->setAccessibleName("PC date and time");
}

SetupScreen::~SetupScreen() = default;

QAction* SetupScreen::action(const char* name) const { return m_window->findChild<QAction*>(name); }

bool SetupScreen::checked(const char* actionName) const {
    QAction* a = action(actionName);
    return a && a->isChecked();
}

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
        feeding.push_back(m_ps->CBPortSetup[size_t(p)]);
        feeding.push_back(m_ps->ComboMeter[size_t(p)]);
    }
    feeding.push_back(m_ps->CBHostPortSetup);
    for (QComboBox* cb : m_ps->CBPump) feeding.push_back(cb);
    for (QComboBox* cb : m_ps->CBAnalog) feeding.push_back(cb);
    for (QComboBox* cb : m_lc->scheduleCombo) feeding.push_back(cb);
    feeding.push_back(m_lc->OutputCB);
    feeding.push_back(m_lc->FileCB);
    // Operator changes only: an index set from code does not run the handler.
    for (QComboBox* cb : feeding) connect(cb, &QComboBox::activated, this, change);
    // A schedule spinner's arrows are its click handler; typing into its edit box is an edit
    // like any combo's.
    for (size_t f = 0; f < setup::kScheduleFields; ++f) {
        connect(m_lc->scheduleUD[f], &QSpinBox::valueChanged, this, [this] { UDAnalogRateClick(); });
        if (QLineEdit* edit = m_lc->scheduleEdit[f]) connect(edit, &QLineEdit::textEdited, this, change);
    }
    connect(m_lc->CBAutoStart, &QCheckBox::clicked, this, change);
    connect(m_lc->UDAnalogRate, &QSpinBox::valueChanged, this, [this] { UDAnalogRateClick(); });
    connect(m_lc->UDLVCutOff, &QSpinBox::valueChanged, this, [this] { UDLVCutOffClick(); });
    connect(m_lc->ModeCB, &QComboBox::activated, this, [this] { ModeCBChange(); });
    connect(m_lc->TimeSourceCB, &QComboBox::activated, this, [this] { TimeSourceCBChange(); });

    std::vector<QCheckBox*> hourBoxes(m_ps->SOPH.begin(), m_ps->SOPH.end());
    hourBoxes.insert(hourBoxes.end(), m_ps->AOPH.begin(), m_ps->AOPH.end());
    hourBoxes.insert(hourBoxes.end(), m_ps->POPH.begin(), m_ps->POPH.end());
    for (QCheckBox* box : hourBoxes) connect(box, &QCheckBox::clicked, this, [this] { SOPH1Click(); });

    for (QPushButton* b : {m_ps->BTGetSetup1, m_lc->BTGetSetup2, m_lc->BTBegin, m_lc->BTSleep})
        connect(b, &QPushButton::clicked, this, [this, b] { BTGetSetup1Click(b); });
    connect(PStore, &ClickableLabel::clicked, this, [this] { BTGetSetup1Click(PStore); });
    for (QPushButton* b : {m_ps->BTSendSetup1, m_lc->BTSendSetup2})
        connect(b, &QPushButton::clicked, this, [this] { BTSendSetup1Click(); });
    connect(m_lc->BTStop, &QPushButton::clicked, this, [this] { BTStopClick(); });
    for (QPushButton* b : {m_lc->Button1, m_lc->Button2, m_polled->Button3, m_polled->Button4})
        connect(b, &QPushButton::clicked, this, [this, b] { Button1Click(b); });

    if (QAction* a = action("MenuMooredTimeUpdate")) {
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this] { MooredTimeUpdatesClick(); });
    }
    if (QAction* a = action("MenuUpdateTimeNow")) {
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this] { MenuUpdateTimeNowClick(); });
    }
    // "Automatic Time Sync" is a plain check mark that the status display reads.
    if (QAction* a = action("MenuAutoTimeUpdate")) a->setCheckable(true);
    if (QAction* a = action("MenuChangeLoggerID"))
        connect(a, &QAction::triggered, this, [this] { MenuChangeLoggerIDClick(); });
}

namespace {
const std::pair<const char*, int> kModeMenuItems[] = {
    {"MenuProfile", hostmode::kProfileLogging}, {"MenuMoored", hostmode::kMooredLogging},
    {"MenuRealTimeOutput", hostmode::kRealTimeOutput}, {"MenuAnalog", hostmode::kAnalogOutput},
    {"MenuAdvanced", hostmode::kAdvancedUser}, {"PCLogger", hostmode::kPcLogger},
    {"MenuPSM3", hostmode::kPsm3Output}, {"Menubq5PassThru", hostmode::kBq5PassThru}};
} // namespace

void SetupScreen::connectModeMenu() {
    // One check mark in the menu tells the operator which mode the screen is laid out for.
    auto* group = new QActionGroup(this);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (const auto& [name, mode] : kModeMenuItems)
        if (QAction* a = action(name)) {
            a->setCheckable(true);
            group->addAction(a);
            connect(a, &QAction::triggered, this, [this, m = mode] { modeMenuClick(m); });
        }
}

void SetupScreen::checkModeMenuItem() {
    for (const auto& [name, mode] : kModeMenuItems)
        if (QAction* a = action(name)) a->setChecked(mode == m_currentHostMode);
}

void SetupScreen::attachSharedButton(QAbstractButton* button, SharedButton kind) {
    if (!button) return;
    m_shared[size_t(kind)] = button;
    connect(button, &QAbstractButton::clicked, this, [this, button] { BTGetSetup1Click(button); });
}

// ---- screen values ----

setup::SetupControls SetupScreen::screenControls() const {
    setup::SetupControls c;
    c.mode = m_lc->ModeCB->currentIndex();
    c.output = m_lc->OutputCB->currentIndex();
    c.file = m_lc->FileCB->currentIndex();
    c.timeSource = m_lc->TimeSourceCB->currentIndex();
    c.hostSpeed = m_ps->CBHostPortSetup->currentIndex();
    for (size_t p = 0; p < setup::kSerialPorts; ++p) {
        c.portType[p] = m_ps->ComboMeter[p]->currentIndex();
        c.portSpeed[p] = m_ps->CBPortSetup[p]->currentIndex();
    }
    for (size_t a = 0; a < setup::kAnalogChannels; ++a) c.analog[a] = m_ps->CBAnalog[a]->currentIndex();
    for (size_t p = 0; p < setup::kPumps; ++p) c.pump[p] = m_ps->CBPump[p]->currentIndex();
    for (size_t f = 0; f < setup::kScheduleFields; ++f) {
        c.scheduleNumber[f] = m_lc->scheduleUD[f]->value();
        c.scheduleUnit[f] = m_lc->scheduleCombo[f]->currentIndex();
    }
    c.lvCutOff = m_lc->UDLVCutOff->value();
    c.analogRate = m_lc->UDAnalogRate->value();
    c.autoStart = m_lc->CBAutoStart->isChecked();
    c.oncePerHour = 0;
    for (int p = 0; p < setup::kSerialPorts; ++p)
        if (m_ps->SOPH[size_t(p)]->isChecked()) c.oncePerHour |= setup::serialHourBit(p);
    for (int a = 0; a < setup::kAnalogChannels; ++a)
        if (m_ps->AOPH[size_t(a)]->isChecked()) c.oncePerHour |= setup::analogHourBit(a);
    for (int p = 0; p < setup::kPumps; ++p)
        if (m_ps->POPH[size_t(p)]->isChecked()) c.oncePerHour |= setup::pumpHourBit(p);
    return c;
}

void SetupScreen::showControls(const setup::SetupControls& c) {
    setIndex(m_lc->ModeCB, c.mode);
    setIndex(m_lc->OutputCB, c.output);
    setIndex(m_lc->FileCB, c.file);
    setIndex(m_lc->TimeSourceCB, c.timeSource);
    setIndex(m_ps->CBHostPortSetup, c.hostSpeed);
    for (size_t p = 0; p < setup::kSerialPorts; ++p) {
        setIndex(m_ps->ComboMeter[p], c.portType[p]);
        setIndex(m_ps->CBPortSetup[p], c.portSpeed[p]);
    }
    for (size_t a = 0; a < setup::kAnalogChannels; ++a) setIndex(m_ps->CBAnalog[a], c.analog[a]);
    for (size_t p = 0; p < setup::kPumps; ++p) setIndex(m_ps->CBPump[p], c.pump[p]);
    for (size_t f = 0; f < setup::kScheduleFields; ++f) {
        setSpinner(m_lc->scheduleUD[f], c.scheduleNumber[f]);
        setIndex(m_lc->scheduleCombo[f], c.scheduleUnit[f]);
    }
    setSpinner(m_lc->UDLVCutOff, c.lvCutOff);
    setSpinner(m_lc->UDAnalogRate, c.analogRate);
    m_lc->CBAutoStart->setChecked(c.autoStart);
    for (int p = 0; p < setup::kSerialPorts; ++p)
        m_ps->SOPH[size_t(p)]->setChecked(c.oncePerHour & setup::serialHourBit(p));
    for (int a = 0; a < setup::kAnalogChannels; ++a)
        m_ps->AOPH[size_t(a)]->setChecked(c.oncePerHour & setup::analogHourBit(a));
    for (int p = 0; p < setup::kPumps; ++p) m_ps->POPH[size_t(p)]->setChecked(c.oncePerHour & setup::pumpHourBit(p));
}

// ---- setup record ----

bool SetupScreen::showArrivedSetup() {
    LoggerRecords& records = m_services.records;
    if (!records.setupArrived) return false;
    const setup::DecodedSetup d = setup::decodeSetup(records.setup, portNames());
    const setup::SetupControls& c = d.controls;

    for (size_t f = 0; f < setup::kScheduleFields; ++f) {
        setSpinner(m_lc->scheduleUD[f], c.scheduleNumber[f]);
        setIndex(m_lc->scheduleCombo[f], c.scheduleUnit[f]);
    }
    setIndex(m_lc->OutputCB, c.output);
    setIndex(m_lc->FileCB, c.file);
    for (size_t p = 0; p < setup::kSerialPorts; ++p) {
        m_ds->MTypeLabel[p]->setText("OFF");
        m_ds->MStatusLabel[p]->setText("0");
        m_ds->MFileSizeLabel[p]->setText("0 K");
    }
    emit loggerSpeedReported(c.hostSpeed);
    setIndex(m_ps->CBHostPortSetup, c.hostSpeed);
    for (size_t p = 0; p < setup::kSerialPorts; ++p) {
        setIndex(m_ps->ComboMeter[p], c.portType[p]);
        setIndex(m_ps->CBPortSetup[p], c.portSpeed[p]);
        m_ds->MTypeLabel[p]->setText(qs(d.dataStatusTypes[p]));
    }
    for (QLabel* l : m_ds->Analog) l->setText("0.000");
    for (size_t a = 0; a < setup::kAnalogChannels; ++a) setIndex(m_ps->CBAnalog[a], c.analog[a]);
    for (size_t p = 0; p < setup::kPumps; ++p) setIndex(m_ps->CBPump[p], c.pump[p]);
    m_lc->CBAutoStart->setChecked(c.autoStart);
    setSpinner(m_lc->UDLVCutOff, c.lvCutOff);
    m_lc->LBLowVoltage->setText(qs(setup::lowVoltageText(c.lvCutOff)));
    setSpinner(m_lc->UDAnalogRate, c.analogRate);
    refreshAnalogRateReadout();
    for (int p = 0; p < setup::kSerialPorts; ++p)
        m_ps->SOPH[size_t(p)]->setChecked(c.oncePerHour & setup::serialHourBit(p));
    for (int a = 0; a < setup::kAnalogChannels; ++a)
        m_ps->AOPH[size_t(a)]->setChecked(c.oncePerHour & setup::analogHourBit(a));
    for (int p = 0; p < setup::kPumps; ++p) m_ps->POPH[size_t(p)]->setChecked(c.oncePerHour & setup::pumpHourBit(p));
    setIndex(m_lc->TimeSourceCB, c.timeSource);
    setIndex(m_lc->ModeCB, c.mode);
    setMooredFlag(setup::isMooredMode(c.mode));
    showPolledButtons(c.mode == setup::kModePolledMoored);
    showLoggerMode(getI16le(&records.setup[setup::offset::kMode]));

    // A value the screen had to change is not what the logger holds: the next Send Setup
    // would change the logger without an edit.
    setSetupMarker(d.changed.empty() ? 1 : 0);
    if (!d.changed.empty()) m_services.warnings.show(setup::kChangedFieldsCaption, setup::changedFieldsText(d.changed));
    records.setupArrived = false;
    return true;
}

setup::PortNames SetupScreen::portNames() const {
    setup::PortNames names;
    for (size_t p = 0; p < setup::kSerialPorts; ++p) {
        QString row = m_ps->LBS[p]->text().trimmed();
        if (row.endsWith(':')) row.chop(1);
        names[p] = row.toStdString();
    }
    return names;
}

void SetupScreen::keepHiddenUnchosen(setup::SetupControls& c) const {
    auto keep = [](int& value, const QWidget* control) {
        if (value < 0 && control->isHidden()) value = setup::kKeepReceived;
    };
    keep(c.mode, m_lc->ModeCB);
    keep(c.output, m_lc->OutputCB);
    keep(c.file, m_lc->FileCB);
    keep(c.hostSpeed, m_ps->CBHostPortSetup);
    for (size_t p = 0; p < setup::kSerialPorts; ++p) {
        keep(c.portType[p], m_ps->ComboMeter[p]);
        keep(c.portSpeed[p], m_ps->CBPortSetup[p]);
    }
    for (size_t a = 0; a < setup::kAnalogChannels; ++a) keep(c.analog[a], m_ps->CBAnalog[a]);
    for (size_t p = 0; p < setup::kPumps; ++p) keep(c.pump[p], m_ps->CBPump[p]);
    for (size_t f = 0; f < setup::kScheduleFields; ++f) keep(c.scheduleUnit[f], m_lc->scheduleCombo[f]);
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
    // Encode into a copy: a warning box below runs the timers, and a setup arriving meanwhile
    // must not end up mixed into the bytes the operator asked to send.
    SetupBytes out = m_services.records.setup;
    const setup::EncodeResult r = setup::encodeSetup(c, m_services.facts.hasIntegratedMeter(), out);
    showControls(r.shown);
    refreshAnalogRateReadout();
    if (r.realTimeWithStorage) m_services.warnings.show(kMemoryFillsCaption, kMemoryFillsText);
    if (m_services.commands.sendBlock(out.data(), out.size())) m_services.records.setup = out;
}

void SetupScreen::setSetupMarker(int state) {
    if (state != 0 && state != 1) return;
    PStore->setText(state == 1 ? kMarkerCurrent : kMarkerNotCurrent);
    paintShade(PStore, state == 1 ? Shade::Silver : Shade::Yellow);
    relayout();
}

void SetupScreen::refreshAnalogRateReadout() {
    const int rate = m_lc->UDAnalogRate->value();
    m_lc->LBAnalogRate->setText(qs(setup::analogRateText(rate)));
    paintShade(m_lc->LBAnalogRate, setup::analogRateShade(rate, m_lc->FileCB->currentIndex()));
}

void SetupScreen::CBPort1SetupChange() {
    setSetupMarker(0);
    const int rate = setup::minimumAnalogRate(screenControls(), m_lc->UDAnalogRate->value());
    if (rate != m_lc->UDAnalogRate->value()) setSpinner(m_lc->UDAnalogRate, rate);
    UDAnalogRateClick();
}

void SetupScreen::UDAnalogRateClick() {
    refreshAnalogRateReadout();
    setSetupMarker(0);
}

void SetupScreen::UDLVCutOffClick() {
    m_lc->LBLowVoltage->setText(qs(setup::lowVoltageText(m_lc->UDLVCutOff->value())));
    setSetupMarker(0);
}

void SetupScreen::ModeCBChange() {
    const int mode = m_lc->ModeCB->currentIndex();
    setMooredFlag(setup::isMooredMode(mode));
    showPolledButtons(mode == setup::kModePolledMoored);
    setSetupMarker(0);
}

void SetupScreen::SOPH1Click() { setSetupMarker(0); }

void SetupScreen::TimeSourceCBChange() { setSetupMarker(0); }

// ---- commands ----

void SetupScreen::BTGetSetup1Click(QObject* sender) {
    if (!sender) return;
    CommandSink& out = m_services.commands;
    const auto& shared = m_shared;
    if (sender == shared[size_t(SharedButton::GetAnalog)]) out.sendCommand(cmd::kGetAnalog);
    if (sender == shared[size_t(SharedButton::GetHardware)]) out.sendCommand(cmd::kGetHardware);
    if (sender == m_ps->BTGetSetup1 || sender == m_lc->BTGetSetup2) out.sendCommand(cmd::kGetSetup);
    if (sender->objectName() == "PStore") {
        if (status::isStandbyState(m_services.facts.state))
            out.sendCommand(cmd::kGetSetup);
        else
            m_services.warnings.show(kNotStandbyCaption, kNotStandbyText);
    }
    if (sender == m_lc->BTBegin) out.sendCommand(cmd::kBegin);
    if (sender == m_lc->BTSleep) {
        m_sleep->show();
        m_sleep->raise();
    }
    if (sender == shared[size_t(SharedButton::LoadHardwareDefaults)]) {
        const std::string typed = m_passwordField ? m_passwordField->text().toStdString() : std::string();
        if (m_passwordCheck && m_passwordCheck(typed)) out.sendCommand(cmd::kLoadHardwareDefaults);
    }
}

void SetupScreen::BTStopClick() {
    const int hostSpeed = m_ps->CBHostPortSetup->currentIndex();
    if (hostSpeed == 5 || hostSpeed == 7) {
        m_services.commands.sendRaw(kStop7E1Text);
        return;
    }
    if (m_services.commands.sendCommand(cmd::kStop)) m_services.commands.sendRaw(kBreakText);
}

void SetupScreen::Button1Click(QObject* sender) {
    if (!sender) return;
    const QString name = sender->objectName();
    if (name == "Button1" || name == "Button3") m_services.commands.sendRaw(kWakeText);
    if (name == "Button2" || name == "Button4") m_services.commands.sendRaw(kSleepText);
}

void SetupScreen::MooredTimeUpdatesClick() {
    const bool shown = checked("MenuMooredTimeUpdate");
    m_lc->TimeSourceLB->setVisible(shown);
    m_lc->TimeSourceCB->setVisible(shown);
}

void SetupScreen::MenuUpdateTimeNowClick() {
    if (QAction* a = action("MenuUpdateTimeNow")) a->setChecked(true);
}

void SetupScreen::MenuChangeLoggerIDClick() {
    placeApart(m_loggerId, m_firmware, false);
    m_loggerId->show();
    m_loggerId->raise();
}

void SetupScreen::placeApart(QWidget* dialog, const QWidget* other, bool leftHalf) {
    // An open window stays where it is (the operator may have moved it).
    if (dialog->isVisible()) return;
    dialog->adjustSize();
    const QRect area = m_window->frameGeometry();
    // The frame the window manager adds is not known before the first show.
    const QSize size = dialog->size() + QSize(2 * kFrameAllowance, kTitleAllowance + kFrameAllowance);
    auto at = [&](int quarter) {
        return QRect(QPoint(area.left() + area.width() * quarter / 4 - size.width() / 2,
                            area.center().y() - size.height() / 2),
                     size);
    };
    QRect spot = at(leftHalf ? 1 : 3);
    if (other && other->isVisible() && spot.intersects(other->frameGeometry())) {
        spot = at(leftHalf ? 3 : 1);
        if (spot.intersects(other->frameGeometry()))
            spot.moveTop(other->frameGeometry().bottom() + 1 + kFrameAllowance);
    }
    dialog->move(spot.topLeft());
}

// ---- host modes ----

void SetupScreen::modeMenuClick(int hostMode) {
    setSetupMarker(0);
    setupDisplayMode(hostMode);
}

void SetupScreen::applyLayout(int mode) {
    const hostmode::Layout& l = *hostmode::layoutFor(mode);
    // The other subsystems lay out their own part first: the logger port may close here.
    emit hostModeLaidOut(l);

    m_lc->CBAutoStart->show();
    m_lc->CBAutoStart->setChecked(l.autoStartChecked);
    auto preset = [](QLabel* label, QComboBox* cb, const hostmode::ComboPreset& p) {
        label->setVisible(p.shown);
        cb->setVisible(p.shown);
        if (p.index == hostmode::kKeep) {
            if (cb->currentIndex() < 0) cb->setCurrentIndex(hostmode::kKeepDefault);
        } else {
            cb->setCurrentIndex(p.index);
        }
    };
    preset(m_lc->ModeLB, m_lc->ModeCB, l.modeCB);
    preset(m_lc->FileLB, m_lc->FileCB, l.fileCB);
    preset(m_lc->OutputLB, m_lc->OutputCB, l.outputCB);
    preset(m_lc->TimeSourceLB, m_lc->TimeSourceCB, l.timeSourceCB);

    RemoteHostPanel->hide();
    PStore->setVisible(l.setupMarker);
    m_status->setVisible(l.loggerStatus);
    m_status->LBPower->setVisible(l.power);
    m_status->LBRunStop->setVisible(l.runStop);
    m_status->LBRunNumber->setVisible(l.runNumber);
}

void SetupScreen::setupDisplayMode(int requestedMode) {
    m_requestedHostMode = requestedMode;
    if (requestedMode == hostmode::kNoRequest) m_services.warnings.show("HD", "Disp Done");
    if (hostmode::layoutFor(requestedMode)) applyLayout(requestedMode);

    m_status->HostMode->setText(qs(hostmode::hostModeName(requestedMode)));
    // The read-outs are compared against the mode being laid out, not the one it replaces.
    m_currentHostMode = requestedMode;
    m_requestedHostMode = hostmode::kNoRequest;
    checkModeMenuItem();
    recolourModeReadouts();

    const int mode = m_lc->ModeCB->currentIndex();
    setMooredFlag(setup::isMooredMode(mode));
    showPolledButtons(mode == setup::kModePolledMoored);
    UDAnalogRateClick();
    relayout();
}

void SetupScreen::setMooredFlag(bool flag) {
    m_moored = flag;
    setIntervalControlsShown(flag);
    refreshOncePerHourColumn();
}

void SetupScreen::setIntervalControlsShown(bool shown) {
    for (QWidget* w : {static_cast<QWidget*>(m_lc->LBSampleInterval), static_cast<QWidget*>(m_lc->scheduleUD[setup::kInterval]),
                       static_cast<QWidget*>(m_lc->scheduleCombo[setup::kInterval]), static_cast<QWidget*>(m_lc->BTSleep)})
        w->setVisible(shown);
}

void SetupScreen::refreshOncePerHourColumn() {
    auto anyRow = [](const auto& rows) {
        for (QWidget* w : rows)
            if (!w->isHidden()) return true;
        return false;
    };
    auto column = [this](const auto& rows, const auto& boxes, QLabel* heading1, QLabel* heading2, bool any) {
        heading1->setVisible(m_moored && any);
        heading2->setVisible(m_moored && any);
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (!m_moored) boxes[i]->setChecked(false);
            // The boxes follow the installed rows, as the status display leaves them.
            boxes[i]->setVisible(m_moored && !rows[i]->isHidden());
        }
    };
    column(m_ps->LBS, m_ps->SOPH, m_ps->SOPHLB1, m_ps->SOPHLB2, anyRow(m_ps->LBS));
    column(m_ps->LBAnalog, m_ps->AOPH, m_ps->AOPHLB1, m_ps->AOPHLB2, anyRow(m_ps->LBAnalog));
    column(m_ps->LBPumps, m_ps->POPH, m_ps->POPHLB1, m_ps->POPHLB2, anyRow(m_ps->LBPumps));
}

void SetupScreen::showPolledButtons(bool shown) {
    m_lc->Button1->setVisible(shown);
    m_lc->Button2->setVisible(shown);
    m_polled->Button3->setVisible(shown);
    m_polled->Button4->setVisible(shown);
}

void SetupScreen::showLoggerMode(int operatingMode) {
    m_status->LoggerMode->setText(qs(hostmode::loggerModeText(operatingMode, m_services.facts.hasIntegratedMeter())));
    m_status->LoggerMode->show();
    m_shownLoggerMode = operatingMode;
    recolourModeReadouts();
}

void SetupScreen::recolourModeReadouts() {
    const auto shade =
        hostmode::modeReadoutShade(m_currentHostMode, !m_status->LoggerMode->isHidden(), m_shownLoggerMode);
    if (!shade) return;
    paintShade(m_status->LoggerMode, *shade);
    paintShade(m_status->HostMode, *shade);
}

// ---- status record ----

void SetupScreen::hostClockTick() { applyHostClock(m_tracker.hostClockTick(m_services.clock)); }

void SetupScreen::applyHostClock(const status::HostClockView& v) {
    if (!v.newSecond) return;
    LBHostDandT->setText(qs(v.hostDateTime));
    m_sleep->showHostClock(qs(v.hostTime), qs(v.hostDate));
    if (v.loggerTimeStale) paintShade(m_status->LBDandT, Shade::Yellow);
}

void SetupScreen::showArrivedStatus() {
    LoggerRecords& records = m_services.records;
    if (!records.statusArrived) return;
    const bool syncNow = checked("MenuUpdateTimeNow");
    const status::StatusView v =
        m_tracker.decode(records.status, m_services.clock, m_services.facts, checked("MenuAutoTimeUpdate"), syncNow);
    applyStatus(v);
    if (v.setTimeArgument) m_services.automaticCommands().sendCommand(cmd::kSetTime, 0, *v.setTimeArgument);
    if (syncNow)
        if (QAction* a = action("MenuUpdateTimeNow")) a->setChecked(false);
    records.statusArrived = false;
}

void SetupScreen::applyStatus(const status::StatusView& v) {
    const status::StatusFields& f = v.fields;
    m_status->showReportingLook();
    m_status->LBDandT->show();

    if (v.rowNames)
        for (size_t p = 0; p < 8; ++p) {
            m_ps->LBS[p]->setText(qs(v.rowNames->portSetup[p]));
            m_ds->MLabel[p]->setText(qs(v.rowNames->dataStatus[p]));
        }
    if (RemoteHostPanel->isHidden() == v.remoteHostOn) RemoteHostPanel->setVisible(v.remoteHostOn);
    m_status->HostType->setText(qs(v.hostType));
    for (size_t p = 0; p < 8; ++p) {
        const bool installed = v.portInstalled[p];
        for (QLabel* l : m_ds->portRow(int(p))) l->setVisible(installed);
        m_ps->LBS[p]->setVisible(installed);
        m_ps->ComboMeter[p]->setVisible(installed);
        m_ps->CBPortSetup[p]->setVisible(installed);
    }
    bool anyAnalog = false;
    for (size_t a = 0; a < 7; ++a) {
        const bool installed = v.analogInstalled[a];
        anyAnalog = anyAnalog || installed;
        m_ds->LBA[a]->setVisible(installed);
        m_ds->Analog[a]->setVisible(installed);
        m_ps->LBAnalog[a]->setVisible(installed);
        m_ps->CBAnalog[a]->setVisible(installed);
    }
    m_ds->AnalogFS->setVisible(anyAnalog);
    m_ds->AnalogFileSizeLabel->setVisible(anyAnalog);
    for (size_t p = 0; p < 4; ++p) {
        m_ps->LBPumps[p]->setVisible(v.pumpInstalled[p]);
        m_ps->CBPump[p]->setVisible(v.pumpInstalled[p]);
    }
    refreshOncePerHourColumn();
    m_ps->LBSerial->setVisible(f.serialMask != 0);
    m_ps->LBAnalogSetup->setVisible(f.analogMask != 0);
    m_ds->LBAnalog->setVisible(f.analogMask != 0);
    m_ps->LBPump->setVisible(f.pumpMask != 0);

    m_loggerId->showCurrentId(f.loggerId);
    // Raised only when it opens: raised on every status it would hide the firmware warning
    // and pull the operator away from whatever window he works in.
    if (v.askForLoggerId && !m_loggerId->isVisible()) MenuChangeLoggerIDClick();

    if (v.runStop) {
        if (v.runStop->visible) m_status->LBRunStop->setVisible(*v.runStop->visible);
        m_status->LBRunStop->setText(qs(v.runStop->text));
    }
    m_status->LBRunNumber->setText(qs(v.runNumber));
    m_status->LBRunSize->setText(qs(v.runSize));
    m_status->LBPower->setText(qs(v.power));

    if (v.firmwareWarning) {
        m_firmware->WarningText->setText(qs(*v.firmwareWarning));  // sized by its text when placed
        placeApart(m_firmware, m_loggerId, true);
        m_firmware->showWarning(qs(*v.firmwareWarning));
    }
    if (v.captions) emit deviceCaptionsChanged(qs(v.captions->clearMemory), qs(v.captions->getDirectory));

    applyHostClock(v.clock);

    paintShade(m_status->LBDandT, Shade::ButtonFace);
    m_status->LBDandT->setText(qs(v.loggerDateTime));
    m_sleep->showLoggerClock(qs(v.sleepTime), qs(v.sleepDate));
    m_status->LBDrift->setVisible(v.drift.has_value());
    if (v.drift) m_status->LBDrift->setText(qs(*v.drift));

    paintShade(m_status->LBOperation, Shade::ButtonFace);
    m_status->LBOperation->setText(qs(v.operation));
    m_status->LBTimeLeft->setText(qs(v.timeLeft));
    m_status->LBCurrentV->setText(qs(v.currentV));
    m_status->LBStartV->setText(qs(v.startV));
    m_status->LBEndV->setText(qs(v.endV));
    m_status->LBFreeDisk->setText(qs(v.freeMemory));
    m_status->LBTotalDisk->setText(qs(v.totalMemory));
    for (size_t a = 0; a < 7; ++a) m_ds->Analog[a]->setText(qs(v.analog[a]));
    m_ds->AnalogFileSizeLabel->setText(qs(v.analogFileSize));
    for (size_t p = 0; p < 8; ++p) {
        m_ds->MBPSLabel[p]->setText(qs(v.ports[p].rateCaption));
        m_ds->MStatusLabel[p]->setText(qs(v.ports[p].rate));
        m_ds->MFileSizeLabel[p]->setText(qs(v.ports[p].fileSize));
    }
    relayout();
}

void SetupScreen::showLinkLost(bool lost) { m_status->showStale(lost); }

// ---- host setup file ----

namespace {
// Line 6: the menu items at positions 1 to 6 and 8; position 5 is a check mark.
constexpr std::array<const char*, 8> kLine6Items{"Menubq5PassThru", "MenuAnnotateFile", "MenuLoggerTimeUpdate",
                                                 "MenuAutoTimeUpdate", "MenuAutoTimeUpdate", "MenuUpdateTimeNow",
                                                 nullptr, "MenuChangeLoggerID"};
constexpr size_t kLine6Checked = 4;
} // namespace

void SetupScreen::writeHostSetupLine(int number, std::vector<int>& v) const {
    auto shown = [](const QWidget* w) { return w->isHidden() ? 0 : 1; };
    switch (number) {
    case 1: v.at(2) = m_ps->CBHostPortSetup->currentIndex(); break;
    case 2: v.at(0) = m_currentHostMode; break;
    case 6:
        for (size_t i = 0; i < kLine6Items.size(); ++i) {
            const QAction* a = kLine6Items[i] ? action(kLine6Items[i]) : nullptr;
            if (a) v.at(i) = (i == kLine6Checked ? a->isChecked() : a->isVisible()) ? 1 : 0;
        }
        break;
    case 8:
        if (const QAction* a = action("MenuMooredTimeUpdate")) {
            v.at(0) = a->isVisible() ? 1 : 0;
            v.at(1) = a->isChecked() ? 1 : 0;
        }
        v.at(2) = shown(m_lc->TimeSourceCB);
        v.at(3) = m_lc->TimeSourceCB->currentIndex();
        break;
    case 9:
        v.at(2) = 1;
        v.at(3) = m_lc->CBAutoStart->isChecked() ? 1 : 0;
        break;
    case 21:
        v.at(0) = shown(m_lc->ModeCB);
        v.at(1) = m_lc->ModeCB->currentIndex();
        v.at(2) = shown(m_lc->FileCB);
        v.at(3) = m_lc->FileCB->currentIndex();
        v.at(4) = shown(m_lc->OutputCB);
        v.at(5) = m_lc->OutputCB->currentIndex();
        break;
    default: break;
    }
}

void SetupScreen::applyHostSetupLine(int number, const std::vector<int>& v, const HostSetupLoad& load) {
    switch (number) {
    case 1:
        if (load.currentVersion) setIndex(m_ps->CBHostPortSetup, v.at(2));
        setSetupMarker(0);
        break;
    case 2: setupDisplayMode(v.at(0) >= hostmode::kAnalogOutput && v.at(0) <= hostmode::kPcLogger ? v.at(0) : hostmode::kNone); break;
    case 6:
        for (size_t i = 0; i < kLine6Items.size(); ++i) {
            QAction* a = kLine6Items[i] ? action(kLine6Items[i]) : nullptr;
            if (!a) continue;
            if (i == kLine6Checked) a->setChecked(v.at(i) != 0);
            else a->setVisible(v.at(i) != 0);
        }
        setIntervalControlsShown(m_currentHostMode == hostmode::kMooredLogging ||
                                 m_currentHostMode == hostmode::kAdvancedUser);
        relayout();
        break;
    case 8:
        if (QAction* a = action("MenuMooredTimeUpdate")) {
            a->setVisible(v.at(0) != 0);
            a->setChecked(v.at(1) != 0);
        }
        m_lc->TimeSourceCB->setVisible(v.at(2) != 0);
        m_lc->TimeSourceLB->setVisible(v.at(2) != 0);
        setIndex(m_lc->TimeSourceCB, v.at(3));
        break;
    case 9:
        m_lc->CBAutoStart->show();
        m_lc->CBAutoStart->setChecked(v.at(3) != 0);
        break;
    case 21: {
        const std::pair<QLabel*, QComboBox*> boxes[] = {
            {m_lc->ModeLB, m_lc->ModeCB}, {m_lc->FileLB, m_lc->FileCB}, {m_lc->OutputLB, m_lc->OutputCB}};
        for (size_t i = 0; i < 3; ++i) {
            const auto& [label, box] = boxes[i];
            setIndex(box, v.at(2 * i + 1));
            box->setVisible(v.at(2 * i) != 0);
            label->setVisible(v.at(2 * i) != 0);
        }
        break;
    }
    default: break;
    }
}

} // namespace cv
