#pragma once
// The setup screen controller: moves the logger setup and status records onto the Port Setup,
// Logger Control and Data Status pages and the Logger Status box, reacts to the operator's
// edits, sends the setup and the commands of those pages, and lays the main window out for the
// host mode chosen from the Modes menu.
#include <QObject>
#include <QLineEdit>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "protocol/host_setup_part.h"
#include "protocol/host_modes.h"
#include "setup/setup_record.h"
#include "setup/status_record.h"

class QAbstractButton;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QWidget;

namespace cv {

struct HostServices;
class ClickableLabel;
class DataStatusPage;
class FirmwareWarningDialog;
class LoggerControlPage;
class LoggerIdDialog;
class LoggerStatusPanel;
class PolledButtonsWidget;
class PortSetupPage;
class SleepDialog;

class SetupScreen : public QObject, public HostSetupPart {
    Q_OBJECT
public:
    // Builds its pages (TSPortSetup, TSLoggerControl, TSDataStatus), the Logger Status box, the
    // setup marker, the remote-host panel, the PC clock label, the polled buttons and its three
    // dialogs under `mainWindow`, and connects the Modes and time menu items the window made.
    SetupScreen(QWidget* mainWindow, HostServices& services, QObject* parent = nullptr);
    ~SetupScreen() override;

    // 10 ms tick, step 1: the PC clock read-outs.
    void hostClockTick();
    // 475 ms tick, step 1: decodes a newly arrived setup; true when one was shown
    // (loggerSpeedReported then told the logger's host port speed).
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

    // Host setup file: CBHostPortSetup and the setup marker (line 1), the host mode (2), the
    // time and factory menu items (6, 8), CBAutoStart (9) and the mode, file and output boxes (21).
    void writeHostSetupLine(int number, std::vector<int>& values) const override;
    void applyHostSetupLine(int number, const std::vector<int>& values, const HostSetupLoad& load) override;

    // Buttons of other pages that share BTGetSetup1Click (BTGetAnalog, BTGetHardware,
    // BTKR8Defaults): their pages hand them over when they are built.
    enum class SharedButton { GetAnalog, GetHardware, LoadHardwareDefaults };
    void attachSharedButton(QAbstractButton* button, SharedButton kind);
    // The hardware password field and check guarding the load-hardware-defaults command.
    // Without a check the command is never sent.
    void setPasswordCheck(std::function<bool(const std::string&)> check) { m_passwordCheck = std::move(check); }
    void setPasswordField(QLineEdit* field) { m_passwordField = field; }
    // The logger port's device went away or came back: the status values are shown as stale.
    void showLinkLost(bool lost);

    SleepDialog* sleepDialog() const { return m_sleep; }
    FirmwareWarningDialog* firmwareWarningDialog() const { return m_firmware; }
    LoggerIdDialog* loggerIdDialog() const { return m_loggerId; }
    PortSetupPage* portSetupPage() const { return m_ps; }
    LoggerControlPage* loggerControlPage() const { return m_lc; }
    DataStatusPage* dataStatusPage() const { return m_ds; }
    LoggerStatusPanel* loggerStatusPanel() const { return m_status; }
    PolledButtonsWidget* polledButtons() const { return m_polled; }

    // Left-column items, named as the screens name them.
    ClickableLabel* PStore = nullptr;
    QLabel* RemoteHostPanel = nullptr;
    QLabel* LBHostDandT = nullptr;

signals:
    // A host mode is being laid out: the other subsystems apply their part of it.
    void hostModeLaidOut(const hostmode::Layout& layout);
    // An arrived setup names this speed choice for the logger's host port.
    void loggerSpeedReported(int speedChoice);
    // The device-named captions of the Upload page's buttons.
    void deviceCaptionsChanged(const QString& clearMemory, const QString& getDirectory);

public:

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
    void buildLeftColumnItems();
    QAction* action(const char* name) const;
    void connectControls();
    void connectModeMenu();
    void checkModeMenuItem();
    // Puts a dialog about to open over one half of the main window, clear of `other`.
    void placeApart(QWidget* dialog, const QWidget* other, bool leftHalf);
    setup::PortNames portNames() const;
    void keepHiddenUnchosen(setup::SetupControls& c) const;
    void relayout();
    void setSpinner(QSpinBox* ud, int value);
    void refreshAnalogRateReadout();
    void showPolledButtons(bool show);
    void refreshOncePerHourColumn();
    void recolourModeReadouts();
    void applyLayout(int mode);
    void applyHostClock(const status::HostClockView& v);
    void applyStatus(const status::StatusView& v);
    bool checked(const char* actionName) const;

    QWidget* m_window;
    HostServices& m_services;
    PortSetupPage* m_ps = nullptr;
    LoggerControlPage* m_lc = nullptr;
    DataStatusPage* m_ds = nullptr;
    LoggerStatusPanel* m_status = nullptr;
    PolledButtonsWidget* m_polled = nullptr;
    SleepDialog* m_sleep = nullptr;
    FirmwareWarningDialog* m_firmware = nullptr;
    LoggerIdDialog* m_loggerId = nullptr;

    status::StatusTracker m_tracker;
    std::function<bool(const std::string&)> m_passwordCheck;
    QPointer<QLineEdit> m_passwordField;
    std::array<QPointer<QObject>, 3> m_shared;  // by SharedButton

    int m_requestedHostMode = 0;
    int m_currentHostMode = -1;
    int m_shownLoggerMode = -1;
    bool m_moored = false;
};

} // namespace cv
