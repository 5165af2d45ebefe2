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

// Plausible output of the instruments a setup names, one interval at a time. The meter on a
// bq5 port reads like a CTD ("12.8714,4.07012,102.331,35.0312": temperature, conductivity,
// pressure, salinity, each drifting slowly) and the GPS sends a GGA sentence of a mooring that
// swings about its anchor, about one in kBadChecksumOneIn of them garbled on the way (its
// checksum no longer holds), so a plot has curves to draw and a reader sentences to refuse.
class InstrumentSource {
public:
    static constexpr uint32_t kBadChecksumOneIn = 50;

    explicit InstrumentSource(uint32_t seed);
    // tick counts the intervals of the run; clock is the logger clock (local seconds);
    // analogScans is how often each analog channel was read (below 1: the setup's rate).
    Sections next(const SetupRecord& setup, uint32_t tick, int64_t clock, int analogScans = 0);

private:
    // -1..1 from the generator's own bits: the standard distributions may differ between
    // libraries, and the same seed must give the same lines everywhere.
    double noise();
    // A random walk pulled back towards zero, so it wanders without ever straying far.
    double wander(double& walk, double step);

    std::mt19937 m_rng;
    double m_phase = 0;  // where in their slow swing this unit's instruments start
    std::array<std::array<double, 4>, 8> m_walks{};  // per port: the drift of each value it sends
};

// "$" body "*hh" CR LF, hh the XOR of the body's bytes; `garbled` sends a checksum that fails.
std::vector<uint8_t> nmeaSentence(const char* body, bool garbled = false);

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
