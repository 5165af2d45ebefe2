#pragma once
// The simulated logger itself: its state and identity, its clock, the setup, hardware
// configuration and calibration it holds, the status it reports once a second, sampling with its
// live stream, the port test, and what it does with each command, block and text the host sends.
// Public calls are thread-safe; the Locked ones are for the simulator's other parts.
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "host_input.h"
#include "live_stream.h"
#include "run_recording.h"
#include "sim_core.h"
#include "sim_records.h"

namespace cv::sim {

class SimLine;
class SimProbe;
class UploadServer;

class SimLogger {
public:
    SimLogger(SimCore& core, SimLine& line, UploadServer& uploads, SimProbe& probe);

    // State and identity.
    int16_t state() const;
    void setState(int16_t state);
    bool waitForState(int16_t state, std::chrono::milliseconds timeout);
    int16_t deviceType() const;
    void setDeviceType(int16_t type);
    int16_t loggerId() const;
    void setLoggerId(int16_t id);
    uint32_t firmwareWord() const;
    void setFirmwareWord(uint32_t word);
    int64_t clockOffset() const;
    void setClockOffset(int64_t seconds);
    int64_t loggerClock() const;  // local wall-clock seconds since 1970 as the logger counts them
    int16_t runStopSwitch() const;
    void setRunStopSwitch(int16_t value);
    int16_t supplyMillivolts() const;
    void setSupplyMillivolts(int16_t mv);
    void setMemory(int32_t totalBytes, std::optional<int32_t> freeBytes = std::nullopt);
    int32_t totalMemory() const;
    int32_t freeMemory() const;
    void setBuildMasks(std::optional<BuildMasks> masks);  // nullopt: as the device type builds
    bool isRs422() const;
    std::optional<int64_t> wakeTime() const;

    // Records the logger holds.
    SetupRecord setup() const;
    void setSetup(const SetupRecord& setup);
    HardwareRecord hardware() const;
    void setHardware(const HardwareRecord& hardware);
    AnalogRecord analog() const;
    void setAnalog(const AnalogRecord& analog);

    // Actions as the logger's own buttons or firmware would take them.
    void beginSampling();
    void stopSampling();
    void sendFlashErrorCount(uint16_t count);

    // Under the lock, for the line and the upload server.
    void startedLocked(SimClock::time_point now);
    void heardLocked(const HostInput& in, SimClock::time_point now);
    void tickLocked(SimClock::time_point now);
    int16_t stateLocked() const { return m_state; }
    void setStateLocked(int16_t state) { m_state = state; }
    const SetupRecord& setupLocked() const { return m_setup; }
    // What the directory shows of a run that does not tell it itself.
    RunInfo runInfoFallbackLocked(int16_t runNumber) const;

private:
    struct Sampling {
        RunRecorder recorder;
        SimClock::time_point startedAt;
        std::array<size_t, 9> lastInterval{};  // per section: bytes a second, binary ports bytes a record
    };

    void handleCommand(const HostInput& in, SimClock::time_point now);
    void handleBlock(const HostInput& in, SimClock::time_point now);
    void handleText(const std::string& text, SimClock::time_point now);
    void clearMemory(SimClock::time_point now);
    void sendStatus();
    StatusFields statusFields();
    BuildMasks reportedMasks() const;  // as the status reports them
    int32_t freeMemoryLocked() const;
    void sendPortTestLine(SimClock::time_point now);
    void sendFalseMuxHeader();
    int64_t loggerClockLocked() const;
    void setLoggerClock(int64_t seconds);
    void wakeIfDue();
    void wakeUp();
    std::chrono::milliseconds streamInterval() const;
    void beginSamplingLocked(SimClock::time_point now);
    void endSamplingLocked(bool keepRun);
    void streamTick(SimClock::time_point now);
    void sendMuxInterval(SimClock::time_point now, std::chrono::milliseconds interval);

    SimCore& m_core;
    SimLine& m_line;
    UploadServer& m_uploads;
    SimProbe& m_probe;

    int16_t m_state;
    int16_t m_deviceType;
    int16_t m_loggerId;
    uint32_t m_firmware;
    int64_t m_clockOffset;
    int16_t m_runStopSwitch;
    int16_t m_supplyMv = 12150;
    int16_t m_startMv = 0;
    int16_t m_endMv = 0;
    int32_t m_totalMemory = 32 * 1024 * 1024;
    std::optional<int32_t> m_freeOverride;
    std::optional<BuildMasks> m_buildMasks;
    bool m_rs422 = false;
    int16_t m_runNumber = -1;
    std::optional<int64_t> m_wakeTime;
    SimClock::time_point m_clearMemoryUntil{};
    SetupRecord m_setup;
    HardwareRecord m_hardware;
    AnalogRecord m_analog;
    std::optional<Sampling> m_sampling;
    std::array<int32_t, 9> m_lastRecorded{};  // sizes of the last run, shown after it ended
    int32_t m_lastRunSize = 0;
    LiveStream m_stream;
    std::optional<PortTestRequest> m_portTest;
    uint32_t m_portTestLines = 0;
    bool m_falseMuxHeaderSent = false;
    SimClock::time_point m_nextStatus{};
    SimClock::time_point m_nextStream{};
    SimClock::time_point m_nextPortTestLine{};
};

} // namespace cv::sim
