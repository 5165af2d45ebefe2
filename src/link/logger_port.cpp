#include "link/logger_port.h"

namespace cv {

void LoggerPort::open(int comNumber, int speedChoice) {
    m_com = comNumber;
    m_speed = speedChoice;
    m_supervisor.portReopened();
    m_receiver.drainLoggerPort();
    m_ports.openPortSlot(kLoggerSlot, comNumber, speedChoice);
}

LoggerPort::Received LoggerPort::receiveTick() {
    m_supervisor.countTick();
    return receiveNow();
}

LoggerPort::Received LoggerPort::receiveNow() {
    Received r;
    r.result = m_receiver.receiveLoggerPackets();
    r.recovered = m_supervisor.afterReceive(r.result);
    return r;
}

LinkSecond LoggerPort::secondStep(uint32_t sequenceErrors, bool portTest, uint32_t nowMs) {
    LinkSecond s;
    m_supervisor.setPortTest(portTest);
    s.report = m_supervisor.secondTick(m_receiver.counters(), m_com, m_speed, sequenceErrors, m_receiver.packetArriving());
    if (s.report.nonFraming && s.report.autoBaudChoice >= 0) {
        m_speed = s.report.autoBaudChoice;
        m_ports.openPortSlot(kLoggerSlot, m_com, m_speed);
        m_receiver.drainLoggerPort();
        s.speedChanged = true;
    }
    const LinkCounters& c = m_receiver.counters();
    const bool uploading = c.uploadBlocks != m_uploadBlocksSeen;
    m_uploadBlocksSeen = c.uploadBlocks;
    m_lineLoad.sample(c.bytesReceived, nowMs, m_com, m_speed, uploading);
    s.lostChanged = lostStep();
    // Switched on at the end of a second, as an operator's click between two seconds would.
    if (m_keepAutoBaud && !m_supervisor.autoBaud()) m_supervisor.setAutoBaud(true);
    return s;
}

void LoggerPort::keepAutoBaud(bool on) {
    m_keepAutoBaud = on;
    m_supervisor.setAutoBaud(on);
}

std::optional<bool> LoggerPort::lostStep() {
    if (m_ports.retryLostPortWhenDue(kLoggerSlot)) {
        m_receiver.drainLoggerPort();
        m_supervisor.portReopened();
    }
    const bool lost = m_ports.isPortLost(kLoggerSlot);
    if (lost == m_lost) return std::nullopt;
    m_lost = lost;
    return lost;
}

} // namespace cv
