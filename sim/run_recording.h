#pragma once
// What the simulated instruments deliver while the logger samples, and how a sampling session
// becomes a run file: a Summary record, the sender unit, then every mux record as it was sent.
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "run_file_generator.h"
#include "run_store.h"
#include "sim_records.h"

namespace cv::sim {

using Sections = std::array<std::vector<uint8_t>, 9>;  // ports 1..8, then analog data

// Plausible output of the instruments a setup names, one interval at a time.
class InstrumentSource {
public:
    explicit InstrumentSource(uint32_t seed) : m_rng(seed) {}
    // tick counts the intervals of the run; clock is the logger clock (local seconds);
    // analogScans is how often each analog channel was read (below 1: the setup's rate).
    Sections next(const SetupRecord& setup, uint32_t tick, int64_t clock, int analogScans = 0);

private:
    std::mt19937 m_rng;
};

// Bytes a port delivered in one interval as the status reports them: binary instruments as
// bytes per record (negative), the others as bytes per second.
int16_t statusPortRate(const SetupRecord& setup, int port, size_t bytes);

struct RunContext {
    int16_t deviceType = 2;
    int16_t loggerId = 2;
    int16_t serialNumber = 117;
    uint32_t firmware = kDefaultFirmwareWord;
    uint32_t startTime = 0;
    int16_t startMv = 12000;
    int32_t totalMemory = 0;
    int16_t packetIntervalMs = 1000;
};

class RunRecorder {
public:
    RunRecorder(int16_t runNumber, const SetupRecord& setup, const RunContext& context);
    // A mux record as sent: the packet without its type bytes and checksum.
    void addMuxRecord(const uint8_t* record, size_t length);
    // Recorded bytes: entry 0 analog data, entries 1..8 serial ports 1..8.
    const std::array<int32_t, 9>& recordedBytes() const { return m_recorded; }
    size_t size() const { return m_bytes.size(); }
    int16_t runNumber() const { return m_info.runNumber; }
    SimRun finish(int16_t endMv, int32_t freeMemory);

private:
    RunInfo m_info;
    RunSummarySettings m_summary;
    std::vector<uint8_t> m_bytes;
    std::array<int32_t, 9> m_recorded{};
};

} // namespace cv::sim
