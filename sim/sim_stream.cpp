// Sampling and the live stream: mux packets for every unit the simulator plays, the logger's
// own recorded into the run as they go out.
#include <algorithm>

#include "base/bytes.h"
#include "sim_line.h"
#include "sim_logger.h"
#include "sim_probe.h"
#include "upload_server.h"

namespace cv::sim {

std::chrono::milliseconds SimLogger::streamInterval() const {
    if (m_core.options.streamInterval.count() > 0) return m_core.options.streamInterval;
    // The logger sends what it gathered once per analog scan.
    return std::chrono::milliseconds(1000 / setupAnalogRate(m_setup));
}

void SimLogger::beginSamplingLocked(SimClock::time_point now) {
    const int16_t number = m_uploads.storeLocked().nextRunNumber();
    const auto interval = streamInterval();
    RunContext context;
    context.deviceType = m_deviceType;
    context.loggerId = m_loggerId;
    context.serialNumber = getI16le(m_hardware.data() + 2);
    context.firmware = m_firmware;
    context.startTime = uint32_t(loggerClockLocked());
    context.startMv = m_supplyMv;
    context.totalMemory = m_totalMemory;
    context.packetIntervalMs = int16_t(std::clamp<int64_t>(interval.count(), 1, 32767));
    m_sampling.emplace(Sampling{RunRecorder(number, m_setup, context), now, {}});
    std::vector<uint8_t> units;
    for (int unit : m_core.options.streamUnits) units.push_back(uint8_t(unit));
    if (units.empty()) units.push_back(uint8_t(m_loggerId));
    m_stream.begin(std::move(units), m_core.rng());
    m_runNumber = number;
    m_startMv = m_supplyMv;
    m_endMv = 0;
    m_state = state::kSampling;
    m_nextStream = now + interval;
}

void SimLogger::endSamplingLocked(bool keepRun) {
    if (!m_sampling) return;
    m_endMv = int16_t(m_supplyMv - 150);
    m_lastRecorded = m_sampling->recorder.recordedBytes();
    m_lastRunSize = int32_t(m_sampling->recorder.size());
    SimRun run = m_sampling->recorder.finish(m_endMv, freeMemoryLocked());
    m_sampling.reset();
    if (keepRun) m_uploads.storeLocked().put(std::move(run));
    m_state = state::kEndOfRun;
}

void SimLogger::streamTick(SimClock::time_point now) {
    if (!m_sampling || now < m_nextStream) return;
    const auto interval = streamInterval();
    m_nextStream += interval;
    if (m_nextStream <= now) m_nextStream = now + interval;
    sendMuxInterval(now, interval);
}

void SimLogger::sendMuxInterval(SimClock::time_point now, std::chrono::milliseconds interval) {
    Sampling& s = *m_sampling;
    const auto sinceStart = std::chrono::duration_cast<std::chrono::milliseconds>(now - s.startedAt);
    const int scans = std::max(1, int(setupAnalogRate(m_setup) * interval.count() / 1000));
    const auto packets =
        m_stream.interval(m_setup, uint32_t(sinceStart.count() / 100), loggerClockLocked(), scans, m_core.faults.stream);
    const uint8_t ownUnit = uint8_t(m_loggerId);
    for (const SentMuxPacket& sent : packets) {
        if (sent.unit == ownUnit && !sent.duplicate) {
            // The logger keeps its own data, once, whether or not anybody listens.
            s.recorder.addMuxRecord(sent.packet.data() + 2, sent.packet.size() - 4);
            for (int k = 0; k < 9; ++k) {
                const size_t bytes = getU16be(sent.packet.data() + 12 + 2 * k);
                const int16_t type = k < 8 ? setupPortType(m_setup, k + 1) : 0;
                const bool perRecord = type == sim::port::kBinary || type == sim::port::kWakeBinary;
                s.lastInterval[size_t(k)] = perRecord ? bytes : bytes * 1000 / size_t(std::max<int64_t>(1, interval.count()));
            }
        }
        if (!m_line.queue(sent.packet.data(), sent.packet.size(), Traffic::Periodic) || m_line.garbling()) continue;
        ++m_core.stats.muxSent;
        m_probe.muxSentLocked(sent);
    }
}

void SimLogger::beginSampling() { setState(state::kSampling); }

void SimLogger::stopSampling() {
    {
        std::lock_guard lock(m_core.mutex());
        if (m_sampling) endSamplingLocked(true);
    }
    m_core.notifyEvent();
}

} // namespace cv::sim
