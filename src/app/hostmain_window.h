#pragma once
// TForm1: the main window. It owns the Host (the live road and the logger's records for the
// whole run), the four timers that drive everything, the menus and the left column, builds one
// screen controller per subsystem, calls the Host's and their steps in the order of the ticks and
// passes on what the Host tells.
#include <QMainWindow>
#include <QTimer>
#include <filesystem>
#include <optional>
#include <string>

#include "adapters/network_sockets_qt.h"
#include "host/host.h"
#include "link/operator_commands.h"
#include "link/port_map.h"
#include "protocol/host_modes.h"
#include "widgets/host_services.h"
#include "widgets/menu_items.h"
#include "widgets/page_tabs.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QTabWidget;

namespace cv {

class HardwareScreen;
class LinkScreen;
class SetupScreen;
class StreamScreen;
class UploadScreen;
class RecordingScreen;
class SettingsScreen;
class PcLoggerScreen;
namespace share {
class NetworkScreen;
}

// The outside world the window talks to; production and tests pass different ones.
struct HostEnvironment {
    HostClock& clock;
    OperatorDialogs& dialogs;
    SerialDeviceFactory& serial;
    // Shown beside the COM numbers, changed in the Port Map window; none: the window keeps an
    // empty one of its own.
    PortMap* portMap = nullptr;
    // Where last.cvh is read at start-up and written at Exit (the working directory the
    // program started in); none: the window keeps no host setup file of its own.
    std::optional<std::filesystem::path> startupDirectory = std::nullopt;
    // Where the network outputs' rows are kept; empty: they are not kept.
    std::string networkSettingsFile = {};
    // The network outputs' sockets; none: Qt's.
    share::OutputSocketFactory* sockets = nullptr;
    // Where the recorder's files live; none: the file system.
    ArchiveFiles* archiveFiles = nullptr;
    RecorderLimits recorderLimits = {};
};

class TForm1 : public QMainWindow, public PacketConsumer, private PageTabs, private HostEvents {
    Q_OBJECT
public:
    explicit TForm1(HostEnvironment env, QWidget* parent = nullptr);
    ~TForm1() override;

    // Timer handlers, public so tests drive them with a fake clock.
    void Timer10msTimer();
    void Timer475msTimer();
    void Timer1000msTimer();
    void TTimeoutTimer();
    // The logger port announced new bytes. During an upload they are framed now rather than at
    // the next tick, so each block's acknowledgement leaves as soon as the block is whole.
    void loggerDataReady();
    // Starts the four timers (FormCreate's last step); tests leave them off.
    void startTimers();

    // The one way out, whatever the operator closes the window with: asks "EXIT Program?" and on
    // OK writes last.cvh, closes every port and ends the program.
    void BTExitClick();
    // Help > Operator's Guide: one guide window, opened beside the main window and brought back
    // to the front when asked again.
    void showOperatorGuide();
    void FormResize();
    void TabsChange();

    Host& host() { return m_host; }
    PortSlotTable& ports() { return m_host.ports(); }
    PacketReceiver& receiver() { return m_host.receiver(); }
    LoggerRecords& records() { return m_host.records(); }
    LoggerFacts& facts() { return m_host.facts(); }
    HostServices& services() { return m_services; }
    LinkScreen* linkScreen() const { return m_link; }
    SetupScreen* setupScreen() const { return m_setup; }
    UploadScreen* uploadScreen() const { return m_upload; }
    RecordingScreen* recordingScreen() const { return m_recording; }
    StreamScreen* streamScreen() const { return m_stream; }
    SettingsScreen* settingsScreen() const { return m_settings; }
    HardwareScreen* hardwareScreen() const { return m_hardware; }
    PcLoggerScreen* pcLoggerScreen() const { return m_pcLogger; }
    // The 475 ms tick's status step: an arrived status, with the time menu's choice.
    void statusStep();

    // PacketConsumer: the receiver's hand-over of upload blocks and directory entries.
    void onUploadBlock() override;
    void onDirectoryEntry() override;
    void onAnalogCalibration() override;
    void onHardwareConfiguration() override;

protected:
    void resizeEvent(QResizeEvent* e) override;
    // The title bar's close button, Alt+F4 and a desktop logout take the Exit path.
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // The Exit question and, on OK, what Exit does before the window goes: true when confirmed.
    bool confirmExit();
    void buildMenus();
    void buildTimers();
    void buildControllers();
    void buildLeftColumn();
    void buildTabs();
    void applyHostMode(const hostmode::Layout& layout);
    void showPage(const char* name, bool shown);  // a tab shown (and chosen) or hidden
    // PageTabs: what the controllers may do with the tabs of their own pages.
    std::optional<bool> tabShown(const QWidget* page) const override;
    std::optional<bool> tabShown(std::string_view pageName) const override;
    void setTabShown(QWidget* page, bool shown) override;
    void setTabCaption(const QWidget* page, const QString& caption, const QColor& colour) override;
    QAction* addAction(QMenu* menu, const char* name, const QString& caption, bool checkable = false);
    // HostEvents: each to the screen that shows it.
    void linkRecovered() override;
    void linkSupervised(const LinkSecond& second) override;
    void identityCheckStarted(bool started) override;
    void identityVerdict(const status::IdentityFinding& found) override;
    void statusDecoded(const status::StatusView& view) override;

    HostEnvironment m_env;
    PortMap m_ownPortMap;
    share::QtOutputSocketFactory m_ownSockets;
    Host m_host;
    OperatorCommandSender m_operatorCommands;
    MenuItems m_menu;
    HostServices m_services;
    QSize m_tabsStartSize;
    QLabel* m_noModeHint = nullptr;
    QWidget* m_guide = nullptr;  // made when first asked for
    bool m_dataReadyQueued = false;  // one announcement waits in the event queue at most
    bool m_exiting = false;          // Exit was confirmed: the window's own close goes through
    QWidget* m_client = nullptr;  // the scrolled client area that holds the column and the tabs
    std::vector<QWidget*> m_leftColumn;  // top to bottom
    LinkScreen* m_link = nullptr;
    SetupScreen* m_setup = nullptr;
    UploadScreen* m_upload = nullptr;
    RecordingScreen* m_recording = nullptr;
    StreamScreen* m_stream = nullptr;
    SettingsScreen* m_settings = nullptr;
    HardwareScreen* m_hardware = nullptr;
    PcLoggerScreen* m_pcLogger = nullptr;
    share::NetworkScreen* m_network = nullptr;

public:
    // Controls, named as the screens name them.
    QTimer* Timer10ms = nullptr;
    QTimer* Timer475ms = nullptr;
    QTimer* Timer1000ms = nullptr;
    QTimer* TTimeout = nullptr;
    QTabWidget* Tabs = nullptr;
    QGroupBox* HostStatusGB = nullptr;
    QAction* ShowLoggerPortSetup = nullptr;
    QAction* AutoBaudRateDetection = nullptr;
    QAction* HostPortStats = nullptr;
    QAction* Exit1 = nullptr;
};

} // namespace cv
