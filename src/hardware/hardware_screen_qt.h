#pragma once
// The hardware screen controller: the Hardware Configuration and Analog Calibration pages with
// their menu items, the shared password, their *.hdw and *.alg files, and the port test window
// (which asks the logger to run one of its ports and shows what it passes on).
#include <QObject>
#include <functional>
#include <QPointer>

#include "base/sent_block.h"
#include "hardware/analog_calibration.h"
#include "hardware/hardware_config.h"
#include "hardware/password.h"
#include "protocol/logger_identity_state.h"

class QAction;
class QLabel;
class QLineEdit;
class QWidget;

namespace cv {

struct HostServices;
class PageTabs;
class AnalogPage;
class HardwarePage;
class TTestPortForm;

// What the hardware screen asks of the rest of the window, which the window lends it.
struct HardwareHooks {
    std::function<void(bool)> showRealTimePage;  // the Real Time Data tab shown or hidden
    std::function<void()> showRawLoggerData;     // the raw display switched to the logger's bytes
    std::function<void()> stopLogger;            // what the Stop button does
    std::function<int()> hostMode;
};

class HardwareScreen : public QObject {
    Q_OBJECT
public:
    // Builds both pages and the port test window under `window` and connects the menu items the
    // window made; `tabs` shows and hides the two pages. Both pages' buttons are served here, the password with them.
    HardwareScreen(QWidget* window, HostServices& services, PageTabs& tabs, HardwareHooks hooks);
    ~HardwareScreen() override;

    HardwarePage* hardwarePage() const { return m_hardwarePage; }
    AnalogPage* analogPage() const { return m_analogPage; }
    TTestPortForm* testPortForm() const { return m_testPort; }
    bool hardwareCurrent() const { return m_hardwareCurrent; }
    bool calibrationCurrent() const { return m_calibrationCurrent; }

    // The receiver's hand-overs: a hardware configuration waits for the next 475 ms tick, a
    // calibration is shown at once.
    void onHardwareConfiguration();
    void onAnalogCalibration();
    // 475 ms tick: shows a newly arrived hardware configuration.
    void showArrivedHardware();
    // While it is not known which logger answers, both pages are Not Current; the same logger
    // gives back what was current, another one leaves them Not Current until they are read.
    void followLoggerIdentity(LoggerIdentityState state);
    // Handlers, named after the controls they serve.
    void HardwareConfigClick();
    void AnalogCalClick();
    void HardwareSetupChange();
    void BTGetHardwareClick();
    void BTKR8DefaultsClick();
    void BTGetAnalogClick();
    void AnalogSetupChange();
    void BTSendHardwareSetupClick();
    void BTSaveHardwareFileClick();
    void BTLoadHardwareFileClick();
    void BTSendAnalogCalibrationClick();
    void BTSaveAnalogFileClick();
    void BTLoadAnalogFileClick();
    void MenuTestOneSerialPortClick();

private:
    // One refusal count for both pages and the flash defaults; a refusal is shown in a warning box.
    bool passwordAccepted(const QString& typed);
    void togglePage(QWidget* page, QAction* item, const char* showCaption, const char* hideCaption);
    void connectControls();
    hardware::HardwareValues screenHardware() const;
    void showHardware(const hardware::HardwareValues& v);
    void markHardware(bool current);
    // One warning naming each field shown or sent otherwise than the record holds it.
    void warnChanged(const ChangedFieldsNotice& notice, const std::vector<ChangedField>& changed);
    hardware::CalibrationValues screenCalibration();
    void showCalibration(const hardware::CalibrationValues& v);
    void markCalibration(bool current);
    void paintEmptyBoxes();
    bool askSaveAnyway(const char* text);
    bool saveRecord(const uint8_t* record, size_t length, const char* title, const char* filter, const char* extension);
    std::optional<std::string> loadRecord(uint8_t* record, size_t length, const char* title, const char* filter);
    void testPortClosed();
    // What became of the last Send on each page, and whether a later Get shows the logger took it.
    void showSent(SentBlockWord& word, QLabel* label, bool wentOut);
    void showAnswer(SentBlockWord& word, QLabel* label, bool same);
    void forgetSent(SentBlockWord& word, QLabel* label);

    HostServices& m_services;
    PageTabs& m_tabs;
    HardwareHooks m_hooks;
    HardwarePage* m_hardwarePage;
    AnalogPage* m_analogPage;
    TTestPortForm* m_testPort = nullptr;
    hardware::PasswordCheck m_password;
    hardware::HardwareValues m_arrivedHardware;
    std::vector<ChangedField> m_arrivedChanges;
    bool m_hardwareArrived = false;
    bool m_hardwareCurrent = false;
    bool m_calibrationCurrent = false;
    // Current before the line went and neither edited nor read since: current again on the same logger.
    bool m_restoreHardware = false;
    bool m_restoreCalibration = false;
    bool m_filling = false;  // controls being filled from a record, not edited
    SentBlockWord m_hardwareSent{"Hardware configuration", "hardware configuration"};
    SentBlockWord m_calibrationSent{"Calibration", "calibration"};
    hardware::HardwareValues m_sentHardware;
    hardware::CalibrationValues m_sentCalibration;
};

} // namespace cv
