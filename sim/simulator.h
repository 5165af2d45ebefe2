#pragma once
// A KR-8 logger on the far end of a serial line: it answers the host's commands and blocks,
// reports its status once a second, keeps a setup, a hardware configuration, a calibration and a
// clock, serves its stored runs block by block with acknowledgements, and streams mux packets
// while it samples. It runs on a thread of its own on the master side of a pseudo-terminal (or
// on any serial device), so the host under test talks to it exactly as to a logger.
//
// Its jobs are parts of their own: line() the transport and its thread, logger() the logger's
// state and what it does with each command, memory() the stored runs and the upload server,
// probe() what tests observe and the faults they set. Every public call of each part is
// thread-safe; the waits block with a deadline on what the parts observe.
#include "sim_core.h"
#include "sim_line.h"
#include "sim_logger.h"
#include "sim_probe.h"
#include "upload_server.h"

namespace cv {

class Kr8Simulator : private sim::LineClient {
public:
    explicit Kr8Simulator(Kr8SimOptions options = {});
    ~Kr8Simulator() override;
    Kr8Simulator(const Kr8Simulator&) = delete;
    Kr8Simulator& operator=(const Kr8Simulator&) = delete;

    sim::SimLine& line() { return m_line; }
    sim::SimLogger& logger() { return m_logger; }
    sim::UploadServer& memory() { return m_memory; }
    sim::SimProbe& probe() { return m_probe; }
    const sim::SimLine& line() const { return m_line; }
    const sim::SimLogger& logger() const { return m_logger; }
    const sim::UploadServer& memory() const { return m_memory; }
    const sim::SimProbe& probe() const { return m_probe; }

private:
    sim::LineSetting hostLineLocked() const override;
    void lineStartedLocked(sim::SimClock::time_point now) override;
    void heardLocked(const sim::HostInput& input, sim::SimClock::time_point now) override;
    void tickLocked(sim::SimClock::time_point now) override;
    void tickEndedLocked() override;
    void tickEnded() override;

    sim::SimCore m_core;
    sim::SimProbe m_probe;
    sim::SimLine m_line;
    sim::SimLogger m_logger;
    sim::UploadServer m_memory;
};

} // namespace cv
