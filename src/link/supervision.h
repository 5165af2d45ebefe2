#pragma once
// Link supervision and the statistics window's lines: two countdowns notice a silent logger port and one whose bytes never frame,
// and, when asked, step the port speed downward until packets frame again.
#include <array>
#include <cstdint>
#include <string>

#include "link/receiver.h"
#include "link/statistics_lines.h"

namespace cv {

// Port description shown in COMStatus: "COM3 @ 9600 Baud", "No Port is OFF", ...
std::string comStatusText(int loggerPortIndex, int speedChoice);
std::string loggerPortPanelText(int loggerPortIndex);
// COMStatus while the chosen port's device has gone away: "COM1 lost - waiting for the device".
std::string lostPortStatusText(int loggerPortIndex);
// COMStatus while the logger passes an instrument port through: "COM1 @ 9600 Baud - port test".
std::string portTestStatusText(int loggerPortIndex, int speedChoice);
// Statistics line 6: "Mod Errors:  %1lu".
std::string sequenceErrorsLine(uint32_t muxSequenceErrors);

// One second's findings, in the order the window applies them.
struct SecondReport {
    bool packetsFlowed = false;  // normal colour for LoggerSetupCB, PLoggerPort, stats line 3; else line 3 red
    bool bytesFlowed = false;    // stats line 1 normal; else yellow
    bool portSilent = false;     // no-data expiry with a port chosen: LoggerPortCB, PLoggerPort red, group shown
    bool nonFraming = false;     // bad-data expiry: LoggerSetupCB, PLoggerPort red, group shown
    int autoBaudChoice = -1;     // >= 0: set LoggerSetupCB to it and reopen the port at it
    std::array<std::string, statsline::kCount> statisticsLines;  // lines 1..9 (index 0..8); the packet count's is left empty
    std::string& line(int number) { return statisticsLines[size_t(number - 1)]; }
    const std::string& line(int number) const { return statisticsLines[size_t(number - 1)]; }
};

class LinkSupervisor {
public:
    // After each receive call; true when a packet framed and the link counts as healthy again
    // (colours back to normal, auto baud detection ended).
    bool afterReceive(int receiveResult);
    // Once a second: statistics and supervision. Resets this second's largest mux payload.
    // `packetArriving`: the receiver holds a packet head whose bytes are still due.
    SecondReport secondTick(LinkCounters& counters, int loggerPortIndex, int speedChoice, uint32_t muxSequenceErrors,
                            bool packetArriving = false);
    // LoggerPortCBChange: countdowns reloaded whenever the port is reopened by the operator.
    void portReopened();
    void setAutoBaud(bool on);
    // While the logger runs a port test its host port carries the instrument's bytes, which
    // never frame, or nothing when the instrument is quiet: neither is a fault of the link.
    void setPortTest(bool running) { m_portTest = running; }
    bool autoBaud() const { return m_autoBaud; }
    void countTick() { ++m_ticks; }

    int noDataCountdown() const { return m_noData; }
    int badDataCountdown() const { return m_badData; }

private:
    int m_noData = 2;
    int m_badData = 3;
    bool m_autoBaud = false;
    bool m_stepFromTop = false;  // switched on, not stepped yet
    bool m_portTest = false;
    uint32_t m_lastBytes = 0;
    uint32_t m_lastPackets = 0;
    int32_t m_largestEver = 0;
    int m_ticks = 0;
};

} // namespace cv
