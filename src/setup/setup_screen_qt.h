#pragma once
// The setup screen controller: moves the logger setup and status records onto the Port Setup,
// Logger Control and Data Status pages and the Logger Status box, reacts to the operator's
// edits, sends the setup and the commands of those pages, and lays the main window out for the
// host mode chosen from the Modes menu.
//
// One class, one file per job: the setup form and its commands (setup_screen_qt.cpp), the host
// mode layout (setup_host_mode_qt.cpp), the status display (setup_status_display_qt.cpp) and the
// host setup file's lines (setup_host_lines_qt.cpp); the sleep, firmware and logger ID windows
// are SetupDialogs.
#include <QObject>
#include <memory>
#include <string>

#include "base/sent_block.h"
#include "protocol/host_setup_part.h"
#include "protocol/host_modes.h"
#include "protocol/logger_identity_state.h"
#include "setup/logger_identity.h"
#include "setup/setup_record.h"
#include "setup/status_follower.h"
#include "setup/status_record.h"

class QLabel;
class QSpinBox;
class QWidget;

namespace cv {

struct HostServices;
class ClickableLabel;
class DataStatusPage;
class FirmwareWarningDialog;
class LoggerControlPage;
class LoggerIdDialog;
class LineLoad;
class LoggerStatusPanel;
class PortSetupPage;
class SetupDialogs;
class SleepDialog;

class SetupScreen : public QObject, public HostSetupPart {
    Q_OBJECT
public:
    // Builds its pages (TSPortSetup, TSLoggerControl, TSDataStatus), the Logger Status box, the
    // setup marker, the remote-host panel, the PC clock label and its three dialogs under
    // `mainWindow`, and connects the Modes and time menu items the window made.
    // `follower` decodes the statuses this screen shows and checks which logger answers.
    SetupScreen(QWidget* mainWindow, HostServices& services, status::StatusFollower& follower,
                QObject* parent = nullptr);
    ~SetupScreen() override;

    // 10 ms tick, the PC clock step: the PC clock read-outs.
    void hostClockTick();
    // 475 ms tick, the setup step (first): decodes a newly arrived setup; true when one was
    // shown (loggerSpeedReported then told the logger's host port speed).
    bool showArrivedSetup();
    // The time menu's choice for the status step: the automatic time update, or once now.
    status::TimeSync timeSync() const;
    // A decoded status on the Logger Status box, the pages and the setup's windows.
    void showStatus(const status::StatusView& v);
    // The identity check's verdict on the status that arrived.
    void showIdentityVerdict(const status::IdentityFinding& found);

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

    // The line went away or may lead to another logger now: the values stay greyed, and the
    // setup "Not Current", until a status shows that the same logger answers again. `started`:
    // no check was running yet.
    void showIdentityCheck(bool started);

    SleepDialog* sleepDialog() const;
    FirmwareWarningDialog* firmwareWarningDialog() const;
    LoggerIdDialog* loggerIdDialog() const;
    PortSetupPage* portSetupPage() const { return m_portSetup; }
    LoggerControlPage* loggerControlPage() const { return m_loggerControl; }
    DataStatusPage* dataStatusPage() const { return m_dataStatus; }
    LoggerStatusPanel* loggerStatusPanel() const { return m_statusPanel; }

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
    // The chosen logger mode is (or is no longer) polled moored: the polled wake and sleep
    // buttons of other pages show with this screen's own.
    void polledModeChosen(bool polled);
    // Whether the logger that answers is known to be the one whose values the pages hold: once
    // when the line goes or is opened anew (Checking), once when the next status tells.
    void loggerIdentityChanged(LoggerIdentityState state);

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
    // setup_screen_qt.cpp: the setup form and its commands
    void buildLeftColumnItems();
    void connectControls();
    setup::PortNames portNames() const;
    void keepHiddenUnchosen(setup::SetupControls& c) const;
    void relayout();
    void setSpinner(QSpinBox* ud, int value);
    void refreshAnalogRateReadout();
    // setup_sent_word_qt.cpp: the word after Send Setup and the host port's room for the setup
    void showSetupSent(bool wentOut);
    void compareArrivedSetup();
    // Another logger answers: the word of a Send to the one before goes.
    void forgetSetupSent();
    void refreshLineCapacity();
    // setup_host_mode_qt.cpp: the host mode layout
    void connectModeMenu();
    void checkModeMenuItem();
    void applyLayout(int mode);
    void showPolledButtons(bool show);
    void refreshOncePerHourColumn();
    void recolourModeReadouts();
    // setup_status_display_qt.cpp: the status display
    void applyHostClock(const status::HostClockView& v);
    void applyStatus(const status::StatusView& v);

    QWidget* m_window;
    HostServices& m_services;
    PortSetupPage* m_portSetup = nullptr;
    LoggerControlPage* m_loggerControl = nullptr;
    DataStatusPage* m_dataStatus = nullptr;
    LoggerStatusPanel* m_statusPanel = nullptr;
    std::unique_ptr<SetupDialogs> m_dialogs;

    status::StatusFollower& m_follower;
    SentBlockWord m_setupSent{"Setup", "setup"};
    SetupBytes m_lastSent{};
    int m_setupMarker = 0;
    bool m_restoreCurrent = false;  // the setup was current before the line went and is unedited since

    int m_requestedHostMode = 0;
    int m_currentHostMode = -1;
    int m_shownLoggerMode = -1;
    bool m_moored = false;
};

} // namespace cv
