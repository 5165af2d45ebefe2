#pragma once
// The link screen controller: the logger port choice and its speed, the link supervision with
// its colours and auto baud detection, a lost device coming back and the flash-error panel. Its
// statistics window (LinkStatistics) and the factory commands with the interface-type window
// (FactoryCommands) are parts of their own.
#include <QObject>
#include <functional>
#include <optional>
#include <memory>

#include "link/logger_port.h"
#include "link/port_map.h"
#include "link/port_slots.h"
#include "link/receiver.h"
#include "protocol/host_setup_part.h"
#include "protocol/host_modes.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QWidget;

namespace cv {

struct HostServices;
class ClickableLabel;
class FactoryCommands;
class LinkStatistics;
class PortMapDialog;
class StatsDialog;

class LinkScreen : public QObject, public HostSetupPart {
    Q_OBJECT
public:
    // Builds the link's controls under `window` and connects the Logger_Port and factory menu
    // items that the window created. The Port Map window changes `portMap`. `loggerPort` is the
    // line the screen chooses and shows; whoever owns it drives its ticks.
    LinkScreen(QWidget* window, HostServices& services, PortSlotTable& ports, LoggerPort& loggerPort,
               PortMap& portMap);
    ~LinkScreen() override;

    // 5 ms tick, before the receive call: the packet count on the statistics window.
    void packetCountStep();
    // Packets frame again: colours back to normal, auto baud detection ended.
    void linkRecovered();
    // 475 ms tick: the flash-error panel follows the logger's count.
    void flashErrorStep();
    // The second's supervision: statistics, colours, the speed auto baud found, the line load, a
    // lost device.
    void showSupervision(const LinkSecond& second);
    // 1000 ms tick, last step: the receive loops counted in the second.
    void loopsStep();

    // A setup arrived naming the logger's host port speed: follow it and reopen the port.
    void followLoggerSpeed(int speedChoice);
    // Chooses and opens the logger port as the operator would (command line, host setup file).
    void selectLoggerPort(int comNumber, int speedChoice);
    // The logger port's COM number stands for another device now (the port map changed): opens
    // it there at the same speed, and whatever answers is checked to be the logger from before.
    void reopenLoggerPort();
    // Start-up: the port group is shown while no port or no speed is chosen.
    void showPortSetupWhenNoPort();
    // The link's part of a host mode.
    void applyHostMode(const hostmode::Layout& layout);

    // Host setup file: the logger port and speed (line 1; from the menu only while no port is
    // chosen), the port reopened once the host mode is laid out (line 2), the Logger_Port menu (10).
    void writeHostSetupLine(int number, std::vector<int>& values) const override;
    void applyHostSetupLine(int number, const std::vector<int>& values, const HostSetupLoad& load) override;

    bool portLost() const { return m_shownLost; }
    LinkSupervisor& supervisor() { return m_port.supervisor(); }
    LineLoad& lineLoad() { return m_port.lineLoad(); }
    LinkStatistics* statistics() const { return m_statistics.get(); }
    StatsDialog* statsForm() const;
    FactoryCommands* factoryCommands() const { return m_factory; }
    PortMapDialog* portMapForm() const { return m_portMapForm; }

    // Handlers, named after the controls they serve.
    void LoggerPortCBChange();
    void ShowLoggerPortSetupClick();
    void AutoBaudRateDetectionClick();
    void HostPortStatsClick();
    void PortMapClick();

    // Controls, named as the screens name them.
    QLabel* FlashPanel = nullptr;
    QLabel* PLoggerPort = nullptr;
    QLabel* COMStatus = nullptr;
    QGroupBox* LoggerPortGB = nullptr;
    QComboBox* LoggerPortCB = nullptr;
    QComboBox* LoggerSetupCB = nullptr;
    ClickableLabel* CloseLoggerPortSetup = nullptr;
    // Beside the port: "Line full: data about 18 s late" while the line carries all it can.
    QLabel* LBLineLoad = nullptr;

signals:
    // The operator's port choice found the logger port's device gone (true) or back (false).
    void lostChanged(bool lost);
    // The logger port was opened on another device: the logger behind it may be another one.
    void lineReplaced();
    // COM n opens another device now; the logger port has been reopened on it if it was on it.
    void comRemapped(int comNumber);

private:
    void buildControls();
    void followPortMap(int comNumber);
    void connectMenus();
    void showLoggerPortGroup(bool show);
    void applySecondReport(const LinkSecond& s);
    void showLost(std::optional<bool> change);
    void showPortDescription();
    void relayout();
    // line_load_display_qt.cpp: the line's load beside the port and on the statistics window.
    void buildLineLoadLabel();
    void showLineLoad();

    QWidget* m_window;
    HostServices& m_services;
    PortSlotTable& m_ports;
    LoggerPort& m_port;
    PortMap& m_portMap;
    PortMapDialog* m_portMapForm = nullptr;
    std::unique_ptr<LinkStatistics> m_statistics;
    FactoryCommands* m_factory = nullptr;
    uint16_t m_shownFlashCount = 0;
    SecondReport m_lastReport;
    bool m_shownLost = false;
};

} // namespace cv
