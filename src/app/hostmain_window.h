#pragma once
// TForm1: the main window. It owns the host's state for the whole run (port slots, receiver,
// records, supervision), the four timers that drive everything, the menus and the left column,
// and lends the subsystem controllers what they need through HostServices.
#include <QMainWindow>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "widgets/host_services.h"
#include "extract/run_extraction.h"
#include "link/command_sender.h"
#include "link/port_map.h"
#include "link/port_slots.h"
#include "link/receiver.h"
#include "link/supervision.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QTabWidget;

namespace cv {

class ClickableLabel;
class StatsDialog;
class UploadScreen;
class SetupScreen;
class WarningSink;
class Rs422Dialog;

// The outside world the window talks to; production and tests pass different ones.
struct HostEnvironment {
    HostClock& clock;
    OperatorDialogs& dialogs;
    SerialDeviceFactory& serial;
    const PortMap* portMap = nullptr;  // shown beside the COM numbers when given
};

class TForm1 : public QMainWindow, public PacketConsumer {
    Q_OBJECT
public:
    explicit TForm1(HostEnvironment env, QWidget* parent = nullptr);
    ~TForm1() override;

    // Timer handlers, public so tests drive them with a fake clock.
    void Timer10msTimer();
    void Timer475msTimer();
    void Timer1000msTimer();
    void TTimeoutTimer();
    // Starts the four timers (FormCreate's last step); tests leave them off.
    void startTimers();

    // Control handlers.
    void LoggerPortCBChange();
    void ShowLoggerPortSetupClick();
    void AutoBaudRateDetectionClick();
    void HostPortStatsClick();
    void ResetToMonitorClick();
    void LoadDefaultFlashSetupClick();
    void ChangeHostPortType1Click();
    void BTExitClick();
    void FormResize();
    void ToggleDebugClick();
    void TabsChange();

    // Chooses and opens the logger port as the operator would (command line, host setup file).
    void selectLoggerPort(int comNumber, int speedChoice);

    PortSlotTable& ports() { return m_ports; }
    PacketReceiver& receiver() { return m_receiver; }
    LinkSupervisor& supervisor() { return m_supervisor; }
    LoggerRecords& records() { return m_records; }
    LoggerFacts& facts() { return m_facts; }
    HostServices& services() { return m_services; }
    StatsDialog* statsForm() const { return m_stats; }
    UploadScreen* uploadScreen() const { return m_upload; }
    SetupScreen* setupScreen() const { return m_setup; }
    bool debugListing() const { return m_debugListing; }

    // PacketConsumer: the receiver's hand-over of upload, directory, calibration, hardware, mux.
    void onUploadBlock() override;
    void onDirectoryEntry() override;
    void onAnalogCalibration() override;
    void onHardwareConfiguration() override;
    void onMuxRecord(uint8_t* record, size_t length, int recordingMode) override;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void buildMenus();
    void buildLeftColumn();
    void buildTabs();
    void buildControllers();
    QAction* addAction(QMenu* menu, const char* name, const QString& caption, bool checkable = false);
    QAction* addSeparator(QMenu* menu, const char* name);
    void showLoggerPortGroup(bool show);
    void applySecondReport(const SecondReport& r);
    void linkRecovered();

    // Timer steps that belong to the subsystems; each is one named place to hook them in.
    void hostClockTick();
    void pcLoggerClockStep();
    void pcLoggerSampleStep();
    void replayStopStep();
    void rawDisplayStep();
    void showArrivedHardware();
    void recordingStatusStep();
    void muxUnitCountersStep();
    void uploadSupervisionStep();
    void pcLoggerCountersStep();
    void saveHostSetupOnExit();
    void extractRunFile(const std::filesystem::path& file, int choice);

    HostEnvironment m_env;
    WarningBox m_warnings;
    PortSlotTable m_ports;
    PortCommandSender m_commands;
    LoggerRecords m_records;
    LoggerFacts m_facts;
    PacketReceiver m_receiver;
    LinkSupervisor m_supervisor;
    HostServices m_services;
    int m_recordingMode = 0;
    uint32_t m_shownPacketCount = 0;
    uint16_t m_shownFlashCount = 0;
    QSize m_tabsStartSize;
    QLabel* m_noModeHint = nullptr;

public:
    // Controls, named as the screens name them.
    QTimer* Timer10ms = nullptr;
    QTimer* Timer475ms = nullptr;
    QTimer* Timer1000ms = nullptr;
    QTimer* TTimeout = nullptr;
    QTabWidget* Tabs = nullptr;
    ClickableLabel* PStore = nullptr;
    QLabel* FlashPanel = nullptr;
    QLabel* RemoteHostPanel = nullptr;
    QGroupBox* HostStatusGB = nullptr;
    QLabel* LBHostDandT = nullptr;
    QLabel* PLoggerPort = nullptr;
    QLabel* COMStatus = nullptr;
    QGroupBox* LoggerPortGB = nullptr;
    QComboBox* LoggerPortCB = nullptr;
    QComboBox* LoggerSetupCB = nullptr;
    ClickableLabel* CloseLoggerPortSetup = nullptr;
    QWidget* LoggerStatusGB = nullptr;
    QAction* ShowLoggerPortSetup = nullptr;
    QAction* AutoBaudRateDetection = nullptr;
    QAction* HostPortStats = nullptr;
    QAction* Exit1 = nullptr;

private:
    StatsDialog* m_stats = nullptr;
    Rs422Dialog* m_rs422 = nullptr;
    UploadScreen* m_upload = nullptr;
    SetupScreen* m_setup = nullptr;
    std::unique_ptr<WarningSink> m_extractionWarnings;
    ExtractionState m_extraction;
    bool m_debugListing = false;
};

} // namespace cv
