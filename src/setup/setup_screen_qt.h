#pragma once
// The setup screen controller: moves the logger setup and status records onto the Port Setup,
// Logger Control and Data Status pages and the Logger Status box, reacts to the operator's
// edits, sends the setup and the commands of those pages, and lays the main window out for the
// host mode chosen from the Modes menu.
#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "setup/setup_record.h"
#include "setup/status_record.h"

class QAction;
class QComboBox;
class QLabel;
class QSpinBox;
class QTabWidget;
class QWidget;

namespace cv {

struct HostServices;
class DataStatusPage;
class FirmwareWarningDialog;
class LoggerControlPage;
class LoggerIdDialog;
class LoggerStatusPanel;
class PortSetupPage;
class SleepDialog;

class SetupScreen : public QObject {
    Q_OBJECT
public:
    // Finds the pages (TSPortSetup, TSLoggerControl, TSDataStatus), the Logger Status box
    // (LoggerStatusGB), the left-column panels and the menu actions under `mainWindow` by their
    // names and connects their handlers. The three dialogs are taken from the window when it
    // already holds them (TSleepForm, TForm2, TMuxIDForm) and created otherwise.
    SetupScreen(QWidget* mainWindow, HostServices& services, QObject* parent = nullptr);
    ~SetupScreen() override;

    // 10 ms tick, step 1: the PC clock read-outs.
    void hostClockTick();
    // 475 ms tick, step 1: decodes a newly arrived setup; true when one was shown (the window
    // then reopens the logger port at the speed now in LoggerSetupCB).
    bool showArrivedSetup();
    // 475 ms tick, step 3: decodes a newly arrived status, with time sync and firmware check.
    void showArrivedStatus();

    // Lays the screen out for a host mode (-1, 1..8; 0 re-lays with no new request).
    void setupDisplayMode(int requestedMode);
    int currentHostMode() const { return m_currentHostMode; }
    bool moored() const { return m_moored; }
    int shownLoggerMode() const { return m_shownLoggerMode; }

    // 0 "Setup is Not Current", 1 "Setup is Current"; anything else changes nothing.
    void setSetupMarker(int state);
    void setMooredFlag(bool flag);
    // The sample-interval controls and the Sleep button alone (the host setup file switches
    // them for the stored mode without touching the moored flag).
    void setIntervalControlsShown(bool shown);
    void showLoggerMode(int operatingMode);

    // The setup screen's values, and putting values back (no change handler runs).
    setup::SetupControls screenControls() const;
    void showControls(const setup::SetupControls& c);

    // Buttons of other pages that share BTGetSetup1Click (BTGetAnalog, BTGetHardware,
    // BTKR8Defaults) and the device-named buttons of the Upload page may be created after this
    // controller; call this once they exist (it is also tried on every status).
    void attachLateControls();
    // The hardware password check guarding the load-hardware-defaults command. Without one the
    // command is never sent.
    void setPasswordCheck(std::function<bool(const std::string&)> check) { m_passwordCheck = std::move(check); }
    // Closes the PC logger's output ports when a layout asks for it (after DeckPort1CB..8 are
    // set to "OFF" here).
    void setPcLoggerPortsCloser(std::function<void()> closer) { m_closePcLoggerPorts = std::move(closer); }

    SleepDialog* sleepDialog() const { return m_sleep; }
    FirmwareWarningDialog* firmwareWarningDialog() const { return m_firmware; }
    LoggerIdDialog* loggerIdDialog() const { return m_loggerId; }
    PortSetupPage* portSetupPage() const { return m_ps; }
    LoggerControlPage* loggerControlPage() const { return m_lc; }
    DataStatusPage* dataStatusPage() const { return m_ds; }
    LoggerStatusPanel* loggerStatusPanel() const { return m_status; }

    // Handlers, named after the controls they serve.
    void BTGetSetup1Click(QObject* sender);
    void BTSendSetup1Click();
    void CBPort1SetupChange();
    void UDAnalogRateClick();
    void UDLVCutOffClick();
    void ModeCBChange();
    void SOPH1Click();
    void TimeSourceCBChange();
    void BTStopClick();
    void Button1Click(QObject* sender);
    void MooredTimeUpdatesClick();
    void MenuUpdateTimeNowClick();
    void MenuChangeLoggerIDClick();
    void modeMenuClick(int hostMode);

private:
    template <class T>
    T* find(const char* name) const;
    QAction* action(const char* name) const;
    void connectControls();
    void connectModeMenu();
    void relayout();
    void setSpinner(QSpinBox* ud, int value);
    void refreshAnalogRateReadout();
    void showPolledButtons(bool show);
    void refreshOncePerHourColumn();
    void recolourModeReadouts();
    void applyLayout(int mode);
    void applyHostClock(const status::HostClockView& v);
    void applyStatus(const status::StatusView& v);
    void setTabShown(const char* name, bool shown);
    bool checked(const char* actionName) const;

    QWidget* m_window;
    HostServices& m_services;
    PortSetupPage* m_ps = nullptr;
    LoggerControlPage* m_lc = nullptr;
    DataStatusPage* m_ds = nullptr;
    LoggerStatusPanel* m_status = nullptr;
    std::unique_ptr<QWidget> m_standIns;  // pages the window did not provide
    QTabWidget* m_tabs = nullptr;
    SleepDialog* m_sleep = nullptr;
    FirmwareWarningDialog* m_firmware = nullptr;
    LoggerIdDialog* m_loggerId = nullptr;

    status::StatusTracker m_tracker;
    std::function<bool(const std::string&)> m_passwordCheck;
    std::function<void()> m_closePcLoggerPorts;
    static constexpr int kLateControls = 5;
    std::array<QPointer<QObject>, kLateControls> m_late;  // found by name after construction

    int m_requestedHostMode = 0;
    int m_currentHostMode = -1;
    int m_shownLoggerMode = -1;
    bool m_moored = false;
};

} // namespace cv
