#pragma once
// The logger port as both programs run it: the operator's port and speed, the receive call with
// the supervision's rules, and once a second the supervision (auto baud reopening the port at
// the speed it finds), the line load and a lost device tried again.
#include <cstdint>
#include <optional>

#include "link/line_load.h"
#include "link/port_slots.h"
#include "link/receiver.h"
#include "link/supervision.h"

namespace cv {

struct LinkSecond {
    SecondReport report;
    bool speedChanged = false;       // auto baud reopened the port at report.autoBaudChoice
    std::optional<bool> lostChanged;  // the device went away (true) or came back (false)
};

class LoggerPort {
public:
    LoggerPort(PortSlotTable& ports, PacketReceiver& receiver) : m_ports(ports), m_receiver(receiver) {}

    // The operator's choice (0: none): countdowns reloaded, old bytes drained, the port opened.
    // What became of a lost device is told by the next lostStep().
    void open(int comNumber, int speedChoice);
    int comNumber() const { return m_com; }
    int speedChoice() const { return m_speed; }

    // One receive call: the ReceiveResult, and whether packets framed again after a fault.
    struct Received {
        int result = 0;
        bool recovered = false;
    };
    // The 5 ms tick's call, counted as a loop of the second.
    Received receiveTick();
    // A call outside the tick (bytes announced by the port), not counted as a loop.
    Received receiveNow();

    // Once a second: `sequenceErrors` is the stream's total; `portTest` while the logger passes
    // an instrument's line through; `nowMs` a monotonic clock for the line load.
    LinkSecond secondStep(uint32_t sequenceErrors, bool portTest, uint32_t nowMs);
    // A lost device tried again when due; the change of the lost state since the last call.
    std::optional<bool> lostStep();
    bool lost() const { return m_lost; }
    // Auto baud switched on again whenever the search has ended, for a recording nobody watches:
    // every later spell of a wrong speed is searched as if the operator had asked. The search
    // itself is the supervision's, the same as the window's.
    void keepAutoBaud(bool on);
    uint32_t packetsFramed() const { return m_receiver.counters().packetsFramed; }

    LinkSupervisor& supervisor() { return m_supervisor; }
    LineLoad& lineLoad() { return m_lineLoad; }
    const LineLoad& lineLoad() const { return m_lineLoad; }

private:
    PortSlotTable& m_ports;
    PacketReceiver& m_receiver;
    LinkSupervisor m_supervisor;
    LineLoad m_lineLoad;
    int m_com = 0;
    int m_speed = 6;
    uint32_t m_uploadBlocksSeen = 0;
    bool m_lost = false;
    bool m_keepAutoBaud = false;
};

} // namespace cv
