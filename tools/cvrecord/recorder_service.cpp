#include "recorder_service.h"

namespace cv {

RecorderService::RecorderService(HostClock& clock, SerialDeviceFactory& serial, OperatorDialogs& dialogs)
    : m_clock(clock), m_warnings(dialogs), m_ports(serial, dialogs), m_receiver(m_ports, m_loggerRecords),
      m_stream(m_warnings), m_recorder(clock, m_warnings) {
    m_receiver.setConsumer(this);
    m_receiver.setClock(&clock);
    // The counter first: a record counts as seen whether or not the file took it.
    m_stream.addConsumer(this);
    m_stream.addConsumer(&m_recorder);
}

RecorderService::~RecorderService() { stop(); }

bool RecorderService::openLoggerPort(int comNumber, int speedChoice) {
    m_comNumber = comNumber;
    m_speedChoice = speedChoice;
    m_supervisor.portReopened();
    m_receiver.drainLoggerPort();
    m_ports.openPortSlot(kLoggerSlot, comNumber, speedChoice);
    return m_ports.isPortOpen(kLoggerSlot);
}

bool RecorderService::startRecording(RecordingMode mode, const std::string& name) {
    m_lastMinute = int(m_clock.localTime(m_clock.now()).tm_min);
    if (mode == recording::kContinuous) return m_recorder.startContinuous(name);
    return m_recorder.startPeriodic(mode, name);
}

void RecorderService::stop() {
    m_recorder.stop();
    m_ports.closeAll();
}

void RecorderService::receiveTick() {
    m_supervisor.countTick();
    m_supervisor.afterReceive(m_receiver.receiveLoggerPackets());
}

bool RecorderService::secondTick() {
    m_supervisor.secondTick(m_receiver.counters(), m_comNumber, m_speedChoice, m_stream.totalSequenceErrors(),
                            m_receiver.packetArriving());
    m_lineLoad.sample(m_receiver.counters().bytesReceived, m_clock.elapsedMs(), m_comNumber, m_speedChoice);
    statusStep();
    if (m_ports.retryLostPortWhenDue(kLoggerSlot)) {
        m_receiver.drainLoggerPort();
        m_supervisor.portReopened();
    }
    m_recorder.minuteTick();
    const int minute = m_clock.localTime(m_clock.now()).tm_min;
    const bool newMinute = minute != m_lastMinute;
    m_lastMinute = minute;
    return newMinute;
}

void RecorderService::statusStep() {
    if (!m_loggerRecords.statusArrived) return;
    m_loggerRecords.statusArrived = false;
    if (!m_timeSync) return;
    status::StatusTiming timing;
    timing.late = m_lineLoad.busy() || m_lineLoad.full();
    timing.heldOffset = m_lineLoad.clockOffset();
    const status::StatusView v = m_tracker.decode(m_loggerRecords.status, m_clock, m_facts, true, false, timing);
    m_lineLoad.noteStatusOffset(v.clockOffset);
    if (v.setTimeArgument && m_commands.sendCommand(cmd::kSetTime, 0, *v.setTimeArgument)) {
        m_lineLoad.clockSet();
        ++m_clockSets;
    }
}

std::string RecorderService::statusLine() const {
    std::string line = "records " + std::to_string(m_records) + ", gaps " +
                       std::to_string(m_stream.totalSequenceErrors()) + ", file " +
                       (m_recorder.fileName().empty() ? std::string("-") : m_recorder.fileName()) + ", bytes " +
                       std::to_string(m_recorder.recordedBytes());
    if (m_recorder.failedWrites() > 0) line += ", failed writes " + std::to_string(m_recorder.failedWrites());
    if (m_timeSync) line += ", clock sets " + std::to_string(m_clockSets);
    // The port's state follows from the program, with the network figures (it outlives stop()).
    return line;
}

} // namespace cv
