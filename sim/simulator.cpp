#include "simulator.h"

namespace cv {

Kr8Simulator::Kr8Simulator(Kr8SimOptions options)
    : m_core(std::move(options)),
      m_probe(m_core),
      m_line(m_core, *this),
      m_logger(m_core, m_line, m_memory, m_probe),
      m_memory(m_core, m_line, m_logger) {}

// The thread calls into the parts, so it ends before any of them goes.
Kr8Simulator::~Kr8Simulator() { m_line.stop(); }

sim::LineSetting Kr8Simulator::hostLineLocked() const { return sim::hostLineOf(m_logger.setupLocked()); }

void Kr8Simulator::lineStartedLocked(sim::SimClock::time_point now) { m_logger.startedLocked(now); }

void Kr8Simulator::heardLocked(const sim::HostInput& input, sim::SimClock::time_point now) {
    m_probe.heardLocked(input);
    m_logger.heardLocked(input, now);
}

void Kr8Simulator::tickLocked(sim::SimClock::time_point now) { m_logger.tickLocked(now); }

void Kr8Simulator::tickEndedLocked() { m_probe.takeHandOversLocked(); }

void Kr8Simulator::tickEnded() { m_probe.handOver(); }

} // namespace cv
