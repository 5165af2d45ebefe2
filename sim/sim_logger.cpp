// The logger's state, identity and records as tests and the command line set and read them.
#include "sim_logger.h"

#include "base/bytes.h"
#include "sim_line.h"

namespace cv::sim {

namespace st = state;

SimLogger::SimLogger(SimCore& core, SimLine& line, UploadServer& uploads, SimProbe& probe)
    : m_core(core),
      m_line(line),
      m_uploads(uploads),
      m_probe(probe),
      m_state(core.options.state),
      m_deviceType(core.options.deviceType),
      m_loggerId(core.options.loggerId),
      m_firmware(core.options.firmwareWord),
      m_clockOffset(core.options.clockOffsetSeconds),
      m_runStopSwitch(core.options.runStopSwitch),
      m_setup(defaultSetup()),
      m_hardware(defaultHardware(core.options.deviceType)),
      m_analog(defaultAnalog()) {}

RunInfo SimLogger::runInfoFallbackLocked(int16_t runNumber) const {
    RunInfo fallback = runInfoFromSetup(runNumber, m_setup);
    fallback.startTime = uint32_t(loggerClockLocked());
    fallback.startMv = m_supplyMv;
    fallback.endMv = int16_t(m_supplyMv - 150);
    return fallback;
}

int16_t SimLogger::state() const { return m_core.locked(m_state); }

void SimLogger::setState(int16_t value) {
    {
        std::lock_guard lock(m_core.mutex());
        if (value == st::kSampling && !m_sampling) {
            beginSamplingLocked(SimClock::now());
        } else {
            if (value != st::kSampling && m_sampling) endSamplingLocked(true);
            if (value != st::kSleeping) m_wakeTime.reset();
            m_state = value;
        }
    }
    m_core.notifyEvent();
}

bool SimLogger::waitForState(int16_t value, std::chrono::milliseconds timeout) {
    return m_core.waitUntil([&] { return state() == value; }, timeout);
}

int16_t SimLogger::deviceType() const { return m_core.locked(m_deviceType); }

void SimLogger::setDeviceType(int16_t type) {
    std::lock_guard lock(m_core.mutex());
    m_deviceType = type;
    if (type >= 1 && type <= 3) {
        putI16le(m_hardware.data() + 4, type);
        frameBlock(m_hardware.data(), m_hardware.size(), kTypeHardware);
    }
}

int16_t SimLogger::loggerId() const { return m_core.locked(m_loggerId); }

void SimLogger::setLoggerId(int16_t id) { m_core.setLocked(m_loggerId, id); }

uint32_t SimLogger::firmwareWord() const { return m_core.locked(m_firmware); }

void SimLogger::setFirmwareWord(uint32_t word) { m_core.setLocked(m_firmware, word); }

int16_t SimLogger::runStopSwitch() const { return m_core.locked(m_runStopSwitch); }

void SimLogger::setRunStopSwitch(int16_t value) { m_core.setLocked(m_runStopSwitch, value); }

int16_t SimLogger::supplyMillivolts() const { return m_core.locked(m_supplyMv); }

void SimLogger::setSupplyMillivolts(int16_t mv) { m_core.setLocked(m_supplyMv, mv); }

void SimLogger::setMemory(int32_t totalBytes, std::optional<int32_t> freeBytes) {
    std::lock_guard lock(m_core.mutex());
    m_totalMemory = totalBytes;
    m_freeOverride = freeBytes;
}

int32_t SimLogger::totalMemory() const { return m_core.locked(m_totalMemory); }

int32_t SimLogger::freeMemory() const {
    std::lock_guard lock(m_core.mutex());
    return freeMemoryLocked();
}

void SimLogger::setBuildMasks(std::optional<BuildMasks> masks) { m_core.setLocked(m_buildMasks, masks); }

bool SimLogger::isRs422() const { return m_core.locked(m_rs422); }

SetupRecord SimLogger::setup() const { return m_core.locked(m_setup); }

void SimLogger::setSetup(const SetupRecord& setup) { m_core.setLocked(m_setup, setup); }

HardwareRecord SimLogger::hardware() const { return m_core.locked(m_hardware); }

void SimLogger::setHardware(const HardwareRecord& hardware) { m_core.setLocked(m_hardware, hardware); }

AnalogRecord SimLogger::analog() const { return m_core.locked(m_analog); }

void SimLogger::setAnalog(const AnalogRecord& analog) { m_core.setLocked(m_analog, analog); }

void SimLogger::sendFlashErrorCount(uint16_t count) {
    {
        std::lock_guard lock(m_core.mutex());
        const CommandRecord packet = buildFlashErrorPacket(count);
        m_line.queue(packet.data(), packet.size(), Traffic::Reply);
    }
    m_line.wake();
}

} // namespace cv::sim
