// Sampling and the live stream: mux packets for every unit the simulator plays, the logger's
// own recorded into the run as they go out.
#include "simulator.h"

#include <algorithm>

#include "base/bytes.h"

namespace cv {

namespace st = sim::state;

std::chrono::milliseconds Kr8Simulator::streamIntervalLocked() const {
    if (m_options.streamInterval.count() > 0) return m_options.streamInterval;
    // The logger sends what it gathered once per analog scan.
    return std::chrono::milliseconds(1000 / sim::setupAnalogRate(m_setup));
}

void Kr8Simulator::beginSamplingLocked(Clock::time_point now) {
    const int16_t number = m_store.nextRunNumber();
    const auto interval = streamIntervalLocked();
    sim::RunContext context;
    context.deviceType = m_deviceType;
    context.loggerId = m_loggerId;
    context.serialNumber = getI16le(m_hardware.data() + 2);
    context.firmware = m_firmware;
    context.startTime = uint32_t(loggerClockLocked());
    context.startMv = m_supplyMv;
    context.totalMemory = m_totalMemory;
    context.packetIntervalMs = int16_t(std::clamp<int64_t>(interval.count(), 1, 32767));
    m_sampling.emplace(Sampling{sim::RunRecorder(number, m_setup, context), now, {}});
    std::vector<uint8_t> units;
    for (int unit : m_options.streamUnits) units.push_back(uint8_t(unit));
    if (units.empty()) units.push_back(uint8_t(m_loggerId));
    m_stream.begin(std::move(units), m_rng());
    m_runNumber = number;
    m_startMv = m_supplyMv;
    m_endMv = 0;
    m_state = st::kSampling;
    m_nextStream = now + interval;
}

void Kr8Simulator::endSamplingLocked(bool keepRun) {
    if (!m_sampling) return;
    m_endMv = int16_t(m_supplyMv - 150);
    m_lastRecorded = m_sampling->recorder.recordedBytes();
    m_lastRunSize = int32_t(m_sampling->recorder.size());
    sim::SimRun run = m_sampling->recorder.finish(m_endMv, freeMemoryLocked());
    m_sampling.reset();
    if (keepRun) m_store.put(std::move(run));
    m_state = st::kEndOfRun;
}

void Kr8Simulator::streamPeriodicLocked(Clock::time_point now) {
    if (!m_sampling || now < m_nextStream) return;
    const auto interval = streamIntervalLocked();
    m_nextStream += interval;
    if (m_nextStream <= now) m_nextStream = now + interval;
    sendMuxInterval(now, interval);
}

void Kr8Simulator::sendMuxInterval(Clock::time_point now, std::chrono::milliseconds interval) {
    Sampling& s = *m_sampling;
    const auto sinceStart = std::chrono::duration_cast<std::chrono::milliseconds>(now - s.startedAt);
    const int scans = std::max(1, int(sim::setupAnalogRate(m_setup) * interval.count() / 1000));
    const auto packets =
        m_stream.interval(m_setup, uint32_t(sinceStart.count() / 100), loggerClockLocked(), scans, m_faults.stream);
    const uint8_t ownUnit = uint8_t(m_loggerId);
    for (const sim::SentMuxPacket& sent : packets) {
        if (sent.unit == ownUnit && !sent.duplicate) {
            // The logger keeps its own data, once, whether or not anybody listens.
            s.recorder.addMuxRecord(sent.packet.data() + 2, sent.packet.size() - 4);
            for (int k = 0; k < 9; ++k) {
                const size_t bytes = getU16be(sent.packet.data() + 12 + 2 * k);
                const int16_t type = k < 8 ? sim::setupPortType(m_setup, k + 1) : 0;
                const bool perRecord = type == sim::port::kBinary || type == sim::port::kWakeBinary;
                s.lastInterval[size_t(k)] = perRecord ? bytes : bytes * 1000 / size_t(std::max<int64_t>(1, interval.count()));
            }
        }
        if (!queue(sent.packet.data(), sent.packet.size(), Traffic::Periodic) || garblingLocked()) continue;
        ++m_stats.muxSent;
        if (m_options.logLimit > 0 && m_sent.size() >= m_options.logLimit)
            m_sent.erase(m_sent.begin(), m_sent.begin() + long(m_sent.size() / 2 + 1));
        m_sent.push_back(sent);
        if (m_options.sentSink) m_pendingSent.push_back(sent);
    }
}

void Kr8Simulator::beginSampling() { setState(st::kSampling); }

void Kr8Simulator::stopSampling() {
    {
        std::lock_guard lock(m_mutex);
        if (m_sampling) endSamplingLocked(true);
    }
    notifyEvent();
}

std::vector<sim::SentMuxPacket> Kr8Simulator::sentMuxPackets() const { return locked(m_sent); }

void Kr8Simulator::clearSentMuxPackets() {
    std::lock_guard lock(m_mutex);
    m_sent.clear();
}

} // namespace cv
