#include "hardware/hardware_screen_qt.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "hardware/test_port_dialog.h"
#include "hardware/analog_page.h"
#include "hardware/hardware_page.h"
#include "hardware/record_file.h"
#include "protocol/host_modes.h"
#include "widgets/colours.h"
#include "widgets/host_services.h"
#include "widgets/page_tabs.h"
#include "widgets/widget_helpers.h"

namespace cv {

namespace {
constexpr const char* kSaveQuestionTitle = "**** Warning ****";
} // namespace

HardwareScreen::HardwareScreen(QWidget* window, HostServices& services, PageTabs& tabs, HardwareHooks hooks)
    : QObject(window), m_services(services), m_tabs(tabs), m_hooks(std::move(hooks)),
      m_hardwarePage(new HardwarePage(window)), m_analogPage(new AnalogPage(window)) {
    TTestPortForm::Hooks test;
    test.send = [this](const uint8_t* bytes, size_t n) {
        const bool sent = m_services.commands.sendBlock(bytes, n);
        if (sent) m_services.facts.portTestRunning = true;
        return sent;
    };
    test.showRawLoggerData = [this] {
        m_hooks.showRealTimePage(true);
        m_hooks.showRawLoggerData();
    };
    test.stop = [this] { m_hooks.stopLogger(); };
    test.closed = [this] { testPortClosed(); };
    m_testPort = new TTestPortForm(m_services.warnings, std::move(test), window);

    connectControls();
    markHardware(false);
    markCalibration(false);
}

HardwareScreen::~HardwareScreen() = default;

void HardwareScreen::connectControls() {
    const MenuItems& menu = m_services.menu;
    menu.HardwareConfig->setText("Show Hardware Configuration");
    connect(menu.HardwareConfig, &QAction::triggered, this, &HardwareScreen::HardwareConfigClick);
    menu.AnalogCal->setText("Show Analog Calibration");
    connect(menu.AnalogCal, &QAction::triggered, this, &HardwareScreen::AnalogCalClick);
    connect(menu.MenuTestOneSerialPort, &QAction::triggered, this, &HardwareScreen::MenuTestOneSerialPortClick);

    auto edited = [this] {
        if (!m_filling) HardwareSetupChange();
    };
    for (QComboBox* cb : {m_hardwarePage->DeviceTypeCB, m_hardwarePage->RunStopCB, m_hardwarePage->StatusLEDCB})
        connect(cb, &QComboBox::currentIndexChanged, this, edited);
    for (QComboBox* cb : m_hardwarePage->relays) connect(cb, &QComboBox::currentIndexChanged, this, edited);
    connect(m_hardwarePage->UDSerialNumber, &QSpinBox::valueChanged, this, edited);
    connect(m_hardwarePage->BTSendHardwareSetup, &QPushButton::clicked, this, &HardwareScreen::BTSendHardwareSetupClick);
    connect(m_hardwarePage->BTSaveHardwareFile, &QPushButton::clicked, this, &HardwareScreen::BTSaveHardwareFileClick);
    connect(m_hardwarePage->BTLoadHardwareFile, &QPushButton::clicked, this, &HardwareScreen::BTLoadHardwareFileClick);
    connect(m_hardwarePage->BTDoneWithHardware, &QPushButton::clicked, this, &HardwareScreen::HardwareConfigClick);
    connect(m_hardwarePage->BTGetHardware, &QPushButton::clicked, this, &HardwareScreen::BTGetHardwareClick);
    connect(m_hardwarePage->BTKR8Defaults, &QPushButton::clicked, this, &HardwareScreen::BTKR8DefaultsClick);

    for (size_t e = 0; e < hardware::kCalibrationEntries; ++e)
        for (QLineEdit* box : {m_analogPage->MEScale[e], m_analogPage->MEOffset[e]})
            connect(box, &QLineEdit::textChanged, this, [this] {
                if (!m_filling) AnalogSetupChange();
            });
    connect(m_analogPage->BTSendAnalogCalibration, &QPushButton::clicked, this, &HardwareScreen::BTSendAnalogCalibrationClick);
    connect(m_analogPage->BTSaveAnalogFile, &QPushButton::clicked, this, &HardwareScreen::BTSaveAnalogFileClick);
    connect(m_analogPage->BTLoadAnalogFile, &QPushButton::clicked, this, &HardwareScreen::BTLoadAnalogFileClick);
    connect(m_analogPage->BTDoneWithAnalog, &QPushButton::clicked, this, &HardwareScreen::AnalogCalClick);
    connect(m_analogPage->BTGetAnalog, &QPushButton::clicked, this, &HardwareScreen::BTGetAnalogClick);
}

// ---- showing and hiding the pages ----

void HardwareScreen::togglePage(QWidget* page, QAction* item, const char* showCaption, const char* hideCaption) {
    const std::optional<bool> shown = m_tabs.tabShown(page);
    if (!shown) return;
    m_tabs.setTabShown(page, !*shown);
    item->setText(*shown ? showCaption : hideCaption);
    if (m_services.relayout) m_services.relayout();
}

void HardwareScreen::HardwareConfigClick() {
    togglePage(m_hardwarePage, m_services.menu.HardwareConfig, "Show Hardware Setup", "Hide Hardware Setup");
}

void HardwareScreen::AnalogCalClick() {
    togglePage(m_analogPage, m_services.menu.AnalogCal, "Show Analog Calibration", "Hide Analog Calibration");
}

// ---- password ----

bool HardwareScreen::passwordAccepted(const QString& typed) {
    std::string refusal;
    if (m_password.check(typed.toStdString(), refusal)) return true;
    m_services.warnings.show(hardware::kPasswordErrorTitle, refusal);
    return false;
}

// The flash defaults replace the logger's hardware configuration, so the password guards them
// like a Send.
void HardwareScreen::BTKR8DefaultsClick() {
    if (passwordAccepted(m_hardwarePage->HWPassword->text())) m_services.commands.sendCommand(cmd::kLoadHardwareDefaults);
}

// ---- hardware configuration ----

void HardwareScreen::BTGetHardwareClick() { m_services.commands.sendCommand(cmd::kGetHardware); }

hardware::HardwareValues HardwareScreen::screenHardware() const {
    hardware::HardwareValues v;
    v.serialNumber = m_hardwarePage->UDSerialNumber->value();
    v.deviceType = m_hardwarePage->DeviceTypeCB->currentIndex();
    v.statusLed = m_hardwarePage->StatusLEDCB->currentIndex();
    v.runStop = m_hardwarePage->RunStopCB->currentIndex();
    for (size_t b = 0; b < hardware::kRelayBoxes; ++b) v.relays[b] = m_hardwarePage->relays[b]->currentIndex();
    return v;
}

void HardwareScreen::showHardware(const hardware::HardwareValues& v) {
    m_filling = true;
    for (size_t b = 0; b < hardware::kRelayBoxes; ++b) setIndex(m_hardwarePage->relays[b], v.relays[b]);
    setIndex(m_hardwarePage->DeviceTypeCB, v.deviceType);
    m_hardwarePage->UDSerialNumber->setValue(v.serialNumber);
    setIndex(m_hardwarePage->RunStopCB, v.runStop);
    setIndex(m_hardwarePage->StatusLEDCB, v.statusLed);
    m_filling = false;
}

void HardwareScreen::markHardware(bool current) {
    m_hardwareCurrent = current;
    m_restoreHardware = false;
    m_hardwarePage->HardwarePanel->setVisible(!current);
    for (QWidget* w : {m_hardwarePage->BTGetHardware, m_hardwarePage->BTSendHardwareSetup})
        tellState(w, current ? hardware::kCurrentText : hardware::kNotCurrentText);
}

void HardwareScreen::onHardwareConfiguration() {
    m_arrivedChanges.clear();
    m_arrivedHardware = hardware::decodeHardware(m_services.records.hardware, &m_arrivedChanges);
    m_hardwareArrived = true;
    showAnswer(m_hardwareSent, m_hardwarePage->LBHardwareSent,
               hardware::decodeHardware(m_services.records.hardware) == m_sentHardware);
}

void HardwareScreen::showArrivedHardware() {
    if (!m_hardwareArrived) return;
    showHardware(m_arrivedHardware);
    // A value the page had to change is not what the logger holds.
    markHardware(m_arrivedChanges.empty());
    warnChanged(hardware::kHardwareChanged, m_arrivedChanges);
    m_hardwareArrived = false;
}

void HardwareScreen::warnChanged(const ChangedFieldsNotice& notice, const std::vector<ChangedField>& changed) {
    if (!changed.empty()) m_services.warnings.show(notice.caption, changedFieldsText(notice, changed));
}

void HardwareScreen::HardwareSetupChange() { markHardware(false); }

void HardwareScreen::BTSendHardwareSetupClick() {
    const hardware::HardwareValues v = screenHardware();
    hardware::encodeHardware(m_services.records.hardware, v);
    if (!hardware::hardwareSendable(v)) {
        m_services.warnings.show(hardware::kHardwareErrorTitle, hardware::kHardwareErrorText);
        return;
    }
    const std::vector<std::string> missing = hardware::missingHardwareChoices(v);
    if (!missing.empty()) {
        std::string text = hardware::kMissingChoicesText;
        for (size_t i = 0; i < missing.size(); ++i) text += (i ? ", " : "") + missing[i];
        m_services.warnings.show(hardware::kHardwareErrorTitle, text + ".");
        return;
    }
    if (!passwordAccepted(m_hardwarePage->HWPassword->text())) return;
    if (!maySendWhileSampling(m_services.dialogs, m_services.facts.state, "Send Hardware Configuration")) return;
    m_sentHardware = hardware::decodeHardware(m_services.records.hardware);
    showSent(m_hardwareSent, m_hardwarePage->LBHardwareSent,
             m_services.commands.sendBlock(m_services.records.hardware.data(), m_services.records.hardware.size()));
}

bool HardwareScreen::askSaveAnyway(const char* text) {
    m_services.dialogs.beep(Icon::Exclamation);
    return m_services.dialogs.ask(kSaveQuestionTitle, text, Buttons::OkCancel, Icon::Exclamation) == Answer::Ok;
}

bool HardwareScreen::saveRecord(const uint8_t* record, size_t length, const char* title, const char* filter,
                                const char* extension) {
    const std::optional<std::string> chosen = m_services.dialogs.chooseSaveFile({title, filter, {}, false});
    if (!chosen) return false;
    const std::string path = hardware::withDefaultExtension(*chosen, extension);
    if (!mayReplaceFile(m_services.dialogs, title, path)) return false;
    const hardware::FileOutcome outcome = hardware::writeRecordFile(path, record, length);
    if (outcome == hardware::FileOutcome::Ok) return true;
    m_services.warnings.show(title, hardware::fileProblemText(outcome, path));
    return false;
}

std::optional<std::string> HardwareScreen::loadRecord(uint8_t* record, size_t length, const char* title,
                                                      const char* filter) {
    const std::optional<std::string> path = m_services.dialogs.chooseOpenFile({title, filter, {}, false});
    if (!path) return std::nullopt;
    const hardware::FileOutcome outcome = hardware::readRecordFile(*path, record, length);
    if (outcome == hardware::FileOutcome::Ok) return path;
    m_services.warnings.show(title, hardware::fileProblemText(outcome, *path));
    return std::nullopt;
}

void HardwareScreen::BTSaveHardwareFileClick() {
    if (!m_hardwareCurrent && !askSaveAnyway(hardware::kMayNotMatchText)) return;
    hardware::encodeHardware(m_services.records.hardware, screenHardware());
    saveRecord(m_services.records.hardware.data(), m_services.records.hardware.size(), hardware::kSaveTitle,
               hardware::kFilter, hardware::kExtension);
}

void HardwareScreen::BTLoadHardwareFileClick() {
    hardware::HardwareRecord r = m_services.records.hardware;
    const std::optional<std::string> path = loadRecord(r.data(), r.size(), hardware::kLoadTitle, hardware::kFilter);
    if (!path) return;
    m_services.records.hardware = r;
    std::vector<ChangedField> changed;
    showHardware(hardware::decodeHardware(r, &changed));
    markHardware(false);  // it did not come from the logger
    warnChanged(hardware::kHardwareChanged, changed);
    if (!hardware::recordIntact(r.data(), r.size(), hardware::kHardwareType))
        m_services.warnings.show(hardware::kLoadTitle, *path + hardware::kDamagedText);
}

// ---- analog calibration ----

void HardwareScreen::BTGetAnalogClick() { m_services.commands.sendCommand(cmd::kGetAnalog); }

hardware::CalibrationValues HardwareScreen::screenCalibration() {
    hardware::CalibrationValues v;
    for (size_t e = 0; e < hardware::kCalibrationEntries; ++e) {
        v.scale[e] = hardware::readCalibrationBox(m_analogPage->MEScale[e]->text().toStdString(), hardware::kScaleLower).value;
        v.offset[e] =
            hardware::readCalibrationBox(m_analogPage->MEOffset[e]->text().toStdString(), hardware::kOffsetLower).value;
    }
    paintEmptyBoxes();
    return v;
}

// A box with no digit at all sends its lower limit; red says so until it holds a number.
void HardwareScreen::paintEmptyBoxes() {
    for (size_t e = 0; e < hardware::kCalibrationEntries; ++e)
        for (QLineEdit* box : {m_analogPage->MEScale[e], m_analogPage->MEOffset[e]}) {
            const bool number = hardware::readCalibrationBox(box->text().toStdString(), 0).hasNumber;
            setFieldColour(box, number ? normalFieldColour() : kRed);
        }
}

void HardwareScreen::showCalibration(const hardware::CalibrationValues& v) {
    m_filling = true;
    for (size_t e = 0; e < hardware::kCalibrationEntries; ++e) {
        m_analogPage->MEScale[e]->setText(qs(hardware::calibrationBoxText(v.scale[e])));
        m_analogPage->MEOffset[e]->setText(qs(hardware::calibrationBoxText(v.offset[e])));
    }
    m_filling = false;
    paintEmptyBoxes();
}

void HardwareScreen::markCalibration(bool current) {
    m_calibrationCurrent = current;
    m_restoreCalibration = false;
    m_analogPage->AnalogPanel->setVisible(!current);
    for (QWidget* w : {m_analogPage->BTGetAnalog, m_analogPage->BTSendAnalogCalibration})
        tellState(w, current ? hardware::kCurrentCalibrationText : hardware::kNotCurrentCalibrationText);
}

void HardwareScreen::onAnalogCalibration() {
    const hardware::CalibrationValues v = hardware::decodeCalibration(m_services.records.analog);
    showAnswer(m_calibrationSent, m_analogPage->LBAnalogSent, v == m_sentCalibration);
    showCalibration(v);
    const std::vector<ChangedField> changed = hardware::unsendableCalibration(v);
    // Shown as received, but a Send would not give the logger back what it holds.
    markCalibration(changed.empty());
    warnChanged(hardware::kCalibrationChanged, changed);
}

void HardwareScreen::AnalogSetupChange() {
    markCalibration(false);
    paintEmptyBoxes();
}

void HardwareScreen::BTSendAnalogCalibrationClick() {
    if (!passwordAccepted(m_analogPage->ALGPassword->text())) return;
    if (!maySendWhileSampling(m_services.dialogs, m_services.facts.state, "Send Analog Calibration")) return;
    m_services.records.analog = hardware::encodeCalibration(screenCalibration());
    m_sentCalibration = hardware::decodeCalibration(m_services.records.analog);
    showSent(m_calibrationSent, m_analogPage->LBAnalogSent,
             m_services.commands.sendBlock(m_services.records.analog.data(), m_services.records.analog.size()));
}

void HardwareScreen::BTSaveAnalogFileClick() {
    if (!m_calibrationCurrent && !askSaveAnyway(hardware::kCalibrationMayNotMatchText)) return;
    m_services.records.analog = hardware::encodeCalibration(screenCalibration());
    saveRecord(m_services.records.analog.data(), m_services.records.analog.size(), hardware::kCalibrationSaveTitle,
               hardware::kCalibrationFilter, hardware::kCalibrationExtension);
}

void HardwareScreen::BTLoadAnalogFileClick() {
    hardware::AnalogRecord r = m_services.records.analog;
    const std::optional<std::string> path =
        loadRecord(r.data(), r.size(), hardware::kCalibrationLoadTitle, hardware::kCalibrationFilter);
    if (!path) return;
    m_services.records.analog = r;
    const hardware::CalibrationValues v = hardware::decodeCalibration(r);
    showCalibration(v);
    markCalibration(false);  // it did not come from the logger
    warnChanged(hardware::kCalibrationChanged, hardware::unsendableCalibration(v));
    if (!hardware::recordIntact(r.data(), r.size(), hardware::kAnalogType))
        m_services.warnings.show(hardware::kCalibrationLoadTitle, *path + hardware::kCalibrationDamagedText);
}

// ---- which logger answers ----

void HardwareScreen::followLoggerIdentity(LoggerIdentityState state) {
    switch (state) {
    case LoggerIdentityState::Checking: {
        const bool hardware = m_restoreHardware || m_hardwareCurrent;
        const bool calibration = m_restoreCalibration || m_calibrationCurrent;
        markHardware(false);
        markCalibration(false);
        m_restoreHardware = hardware;
        m_restoreCalibration = calibration;
        break;
    }
    case LoggerIdentityState::SameLogger:
        if (m_restoreHardware) markHardware(true);
        if (m_restoreCalibration) markCalibration(true);
        break;
    case LoggerIdentityState::OtherLogger:
        // The pages hold the other logger's configuration and calibration until a Get reads this one's.
        m_restoreHardware = false;
        m_restoreCalibration = false;
        forgetSent(m_hardwareSent, m_hardwarePage->LBHardwareSent);
        forgetSent(m_calibrationSent, m_analogPage->LBAnalogSent);
        break;
    }
}

// ---- port test ----

void HardwareScreen::MenuTestOneSerialPortClick() {
    m_testPort->show();
    m_testPort->raise();
    m_testPort->activateWindow();
}

// Moored and Profile work show no live data, so the page the test opened goes again.
void HardwareScreen::testPortClosed() {
    const int mode = m_hooks.hostMode();
    if (mode == hostmode::kMooredLogging || mode == hostmode::kProfileLogging) m_hooks.showRealTimePage(false);
}

// ---- the word after a Send ----

void HardwareScreen::showSent(SentBlockWord& word, QLabel* label, bool wentOut) {
    word.sent(wentOut, m_services.clock.localTime(m_services.clock.now()));
    showCaption(label, qs(word.text()));
    label->setAutoFillBackground(false);
}

void HardwareScreen::showAnswer(SentBlockWord& word, QLabel* label, bool same) {
    word.arrived(same, m_services.clock.localTime(m_services.clock.now()));
    showCaption(label, qs(word.text()));
    paintShade(label, Shade::Yellow);
    label->setAutoFillBackground(word.differs());  // yellow only where the logger holds another
}

void HardwareScreen::forgetSent(SentBlockWord& word, QLabel* label) {
    word.forget();
    showCaption(label, {});
    label->setAutoFillBackground(false);
}

} // namespace cv
