// What the host sends and what the logger answers with: commands, typed blocks, raw texts, the
// status record, and the logger's identity and records as the control interface sets them.
#include "simulator.h"

#include <algorithm>
#include <cstdio>

#include "base/bytes.h"
#include "protocol/commands.h"

namespace cv {

using namespace std::chrono_literals;
namespace st = sim::state;

namespace {

std::string hex16(uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", v);
    return text;
}

std::string printable(const std::vector<uint8_t>& bytes) {
    std::string out;
    for (uint8_t b : bytes) {
        if (b >= 0x20 && b < 0x7F) {
            out += char(b);
        } else if (b == '\r') {
            out += "\\r";
        } else if (b == '\n') {
            out += "\\n";
        } else {
            char text[8];
            std::snprintf(text, sizeof text, "\\x%02X", b);
            out += text;
        }
    }
    return out;
}

} // namespace

std::string commandName(uint16_t code) {
    switch (code) {
    case cmd::kStop: return "stop";
    case cmd::kBegin: return "begin";
    case cmd::kLoadHardwareDefaults: return "load-hardware-defaults";
    case cmd::kSetMuxId: return "set-mux-id";
    case cmd::kSleepUntil: return "sleep-until";
    case cmd::kGetHardware: return "get-hardware";
    case cmd::kBlockAck: return "block-ack";
    case cmd::kGetSetup: return "get-setup";
    case cmd::kGetAnalog: return "get-analog";
    case cmd::kSetTime: return "set-time";
    case cmd::kLoadDefaultSetup: return "load-default-setup";
    case cmd::kSwitchToRs232: return "switch-to-rs232";
    case cmd::kSwitchToRs422: return "switch-to-rs422";
    case cmd::kResetToMonitor: return "reset-to-monitor";
    case cmd::kGetDirectory: return "get-directory";
    case cmd::kUploadRequest: return "upload-request";
    case cmd::kClearMemory: return "clear-memory";
    default: return "unknown-command";
    }
}

std::string describe(const Kr8SimReceived& item) {
    switch (item.kind) {
    case Kr8SimReceived::Kind::Command:
        return "command " + commandName(item.code) + " (" + hex16(item.code) + ") arg32=" + std::to_string(item.arg32) +
               " arg16=" + std::to_string(item.arg16);
    case Kr8SimReceived::Kind::Block: {
        static const char* const names[] = {"", "setup", "", "", "", "", "analog", "hardware", "", "", "port-test"};
        const char* name = item.blockType < 11 ? names[item.blockType] : "";
        return std::string("block ") + name + " (type " + std::to_string(item.blockType) + ", " +
               std::to_string(item.bytes.size()) + " bytes)";
    }
    case Kr8SimReceived::Kind::Text: return "text \"" + printable(item.bytes) + "\"";
    }
    return {};
}


// ---------------------------------------------------------------------------------------------
// What the host sends

void Kr8Simulator::handleInput(const Kr8SimReceived& in, Clock::time_point now) {
    if (m_options.logLimit > 0 && m_log.size() >= m_options.logLimit)
        m_log.erase(m_log.begin(), m_log.begin() + long(m_log.size() / 2 + 1));
    m_log.push_back(in);
    if (m_options.logSink) m_pendingLogLines.push_back(describe(in));
    switch (in.kind) {
    case Kr8SimReceived::Kind::Command: handleCommand(in, now); break;
    case Kr8SimReceived::Kind::Block: handleBlock(in, now); break;
    case Kr8SimReceived::Kind::Text: handleText(in.text(), now); break;
    }
}

void Kr8Simulator::handleCommand(const Kr8SimReceived& in, Clock::time_point now) {
    if (m_state == st::kSleeping && in.code != cmd::kStop) return;  // asleep: only a stop wakes it
    switch (in.code) {
    case cmd::kStop:
        m_portTest.reset();
        if (m_state == st::kSampling) {
            endSamplingLocked(true);
        } else if (m_state == st::kSleeping) {
            wakeUpLocked();
        } else if (m_state != st::kUpload && m_state != st::kClearMemory) {
            m_state = st::kStandby;
        }
        break;
    case cmd::kBegin:
        m_portTest.reset();
        if (m_state != st::kSampling) beginSamplingLocked(now);
        break;
    case cmd::kLoadHardwareDefaults:
        m_hardware = sim::defaultHardware(m_deviceType);
        m_analog = sim::defaultAnalog();
        m_loggerId = 2;
        m_rs422 = false;
        break;
    case cmd::kSetMuxId: m_loggerId = int16_t(in.arg16); break;
    case cmd::kSleepUntil:
        if (int64_t(in.arg32) > loggerClockLocked()) {
            if (m_sampling) endSamplingLocked(true);
            m_portTest.reset();
            m_wakeTime = int64_t(in.arg32);
            m_state = st::kSleeping;
            sendStatus();  // the last word before it nods off
        }
        break;
    case cmd::kGetHardware: queue(m_hardware.data(), m_hardware.size(), Traffic::Reply); break;
    case cmd::kBlockAck: handleAck(in); break;
    case cmd::kGetSetup: queue(m_setup.data(), m_setup.size(), Traffic::Reply); break;
    case cmd::kGetAnalog: queue(m_analog.data(), m_analog.size(), Traffic::Reply); break;
    case cmd::kSetTime: setLoggerClockLocked(int64_t(in.arg32)); break;
    case cmd::kLoadDefaultSetup:
        if (m_sampling) endSamplingLocked(true);
        m_portTest.reset();
        m_setup = sim::defaultSetup();
        m_state = st::kStandby;
        break;
    case cmd::kSwitchToRs232: m_rs422 = false; break;
    case cmd::kSwitchToRs422: m_rs422 = true; break;
    case cmd::kResetToMonitor:
        if (m_sampling) endSamplingLocked(true);
        m_portTest.reset();
        m_upload.active = false;
        m_state = st::kStandby;
        break;
    case cmd::kGetDirectory: sendDirectory(); break;
    case cmd::kUploadRequest: startUpload(int16_t(in.arg16)); break;
    case cmd::kClearMemory:
        if (in.arg16 != 1) break;  // the logger wants the confirmation value before it erases
        if (m_sampling) endSamplingLocked(false);
        m_upload.active = false;
        m_store.clear();
        m_runNumber = -1;
        m_lastRecorded = {};
        m_lastRunSize = 0;
        m_state = st::kClearMemory;
        m_clearMemoryUntil = now + m_options.clearMemoryTime;
        break;
    default: break;
    }
}

void Kr8Simulator::handleBlock(const Kr8SimReceived& in, Clock::time_point now) {
    if (m_state == st::kSleeping) return;
    switch (in.blockType) {
    case sim::kTypeSetup:
        std::copy_n(in.bytes.begin(), sim::kSetupLength, m_setup.begin());
        if (m_options.logLimit > 0 && m_setups.size() >= m_options.logLimit)
            m_setups.erase(m_setups.begin(), m_setups.begin() + long(m_setups.size() / 2 + 1));
        m_setups.push_back(m_setup);
        break;
    case sim::kTypeAnalog: std::copy_n(in.bytes.begin(), sim::kAnalogLength, m_analog.begin()); break;
    case sim::kTypeHardware: {
        std::copy_n(in.bytes.begin(), sim::kHardwareLength, m_hardware.begin());
        const int16_t kind = getI16le(m_hardware.data() + 4);
        if (kind >= 1 && kind <= 3) m_deviceType = kind;
        break;
    }
    case sim::kTypePortTest:
        if (m_sampling) endSamplingLocked(true);
        m_portTest = sim::parsePortTest(in.bytes.data());
        m_portTestLines = 0;
        m_nextPortTestLine = now + 200ms;
        break;
    default: break;
    }
}

void Kr8Simulator::handleText(const std::string& text, Clock::time_point now) {
    if (text.find("STOP7E1") != std::string::npos) {
        Kr8SimReceived stop;
        stop.kind = Kr8SimReceived::Kind::Command;
        stop.code = cmd::kStop;
        handleCommand(stop, now);
    } else if (text.find("BREAKBREAKBREAK") != std::string::npos) {
        m_portTest.reset();
        if (m_state == st::kSleeping) wakeUpLocked();
    } else if (text.find("WAKE") != std::string::npos) {
        if (m_state == st::kSleeping) wakeUpLocked();
    } else if (text.find("SLEEP") != std::string::npos) {
        if (m_state == st::kStandby || m_state == st::kEndOfRun) {
            m_wakeTime.reset();
            m_state = st::kSleeping;
            sendStatus();
        }
    }
}

void Kr8Simulator::wakeUpLocked() {
    m_wakeTime.reset();
    m_state = st::kStandby;
    sendStatus();
}

sim::BuildMasks Kr8Simulator::masksLocked() const {
    sim::BuildMasks masks = m_buildMasks ? *m_buildMasks : sim::buildMasksFor(m_deviceType);
    masks.serial &= 0x00FF;
    if (m_rs422) masks.serial |= 0x0100;
    for (int port = 1; port <= 8; ++port) {
        if ((masks.serial & (1u << (port - 1))) && sim::setupPortType(m_setup, port) == sim::port::kRemoteHost)
            masks.serial |= 0x0200;
    }
    return masks;
}


sim::StatusFields Kr8Simulator::statusFieldsLocked() {
    sim::StatusFields f;
    const int64_t clock = loggerClockLocked();
    f.state = m_state;
    f.runNumber = m_runNumber;
    f.clock = int32_t(clock);
    if (m_sampling) {
        const int64_t elapsed = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - m_sampling->startedAt).count();
        f.timeLeft = uint32_t(std::max<int64_t>(0, int64_t(getI32le(m_setup.data() + sim::setup::kSample)) - elapsed));
    } else if (m_state == st::kSleeping && m_wakeTime) {
        f.timeLeft = uint32_t(std::max<int64_t>(0, *m_wakeTime - clock));
    }
    f.deviceType = m_deviceType;
    f.loggerId = m_loggerId;
    const sim::BuildMasks masks = masksLocked();
    f.serialMask = masks.serial;
    f.analogMask = masks.analog;
    f.pumpMask = masks.pump;
    std::uniform_int_distribution<int> wobble(-8, 8);
    f.powerStatus = int16_t(0x03 | (m_sampling ? 0x04 : 0));
    f.currentMv = int16_t(m_supplyMv - (m_sampling ? 150 : 0) + wobble(m_rng));
    f.startMv = m_startMv;
    f.endMv = m_endMv;
    f.runStopSwitch = m_runStopSwitch;
    for (int c = 1; c <= 7; ++c) {
        if (masks.analog & (1u << (c - 1))) f.analogMv[size_t(c)] = int16_t(1000 + 250 * c + wobble(m_rng));
    }
    const std::array<int32_t, 9>& recorded = m_sampling ? m_sampling->recorder.recordedBytes() : m_lastRecorded;
    const int32_t runSize = m_sampling ? int32_t(m_sampling->recorder.size()) : m_lastRunSize;
    int32_t counted = 0;
    for (int port = 1; port <= 8; ++port) {
        f.portFileSize[size_t(port)] = recorded[size_t(port)];
        counted += recorded[size_t(port)];
        if (m_sampling) f.portRate[size_t(port)] = sim::statusPortRate(m_setup, port, m_sampling->lastInterval[size_t(port - 1)]);
    }
    f.analogFileSize = recorded[0];
    counted += recorded[0];
    f.otherRunBytes = std::max(0, runSize - counted);
    f.freeMemory = freeMemoryLocked();
    f.totalMemory = m_totalMemory;
    f.firmware = m_firmware;
    return f;
}

void Kr8Simulator::sendStatus() {
    const sim::StatusRecord status = sim::buildStatus(statusFieldsLocked());
    if (queue(status.data(), status.size(), Traffic::Periodic)) ++m_stats.statusSent;
}

// ---------------------------------------------------------------------------------------------
// Control interface

int16_t Kr8Simulator::state() const { return locked(m_state); }

void Kr8Simulator::setState(int16_t value) {
    {
        std::lock_guard lock(m_mutex);
        if (value == st::kSampling && !m_sampling) {
            beginSamplingLocked(Clock::now());
        } else {
            if (value != st::kSampling && m_sampling) endSamplingLocked(true);
            if (value != st::kSleeping) m_wakeTime.reset();
            m_state = value;
        }
    }
    notifyEvent();
}

int16_t Kr8Simulator::deviceType() const { return locked(m_deviceType); }

void Kr8Simulator::setDeviceType(int16_t type) {
    std::lock_guard lock(m_mutex);
    m_deviceType = type;
    if (type >= 1 && type <= 3) {
        putI16le(m_hardware.data() + 4, type);
        frameBlock(m_hardware.data(), m_hardware.size(), sim::kTypeHardware);
    }
}

int16_t Kr8Simulator::loggerId() const { return locked(m_loggerId); }

void Kr8Simulator::setLoggerId(int16_t id) { setLocked(m_loggerId, id); }

uint32_t Kr8Simulator::firmwareWord() const { return locked(m_firmware); }

void Kr8Simulator::setFirmwareWord(uint32_t word) { setLocked(m_firmware, word); }

int16_t Kr8Simulator::runStopSwitch() const { return locked(m_runStopSwitch); }

void Kr8Simulator::setRunStopSwitch(int16_t value) { setLocked(m_runStopSwitch, value); }

int16_t Kr8Simulator::supplyMillivolts() const { return locked(m_supplyMv); }

void Kr8Simulator::setSupplyMillivolts(int16_t mv) { setLocked(m_supplyMv, mv); }

void Kr8Simulator::setMemory(int32_t totalBytes, std::optional<int32_t> freeBytes) {
    std::lock_guard lock(m_mutex);
    m_totalMemory = totalBytes;
    m_freeOverride = freeBytes;
}

int32_t Kr8Simulator::totalMemory() const { return locked(m_totalMemory); }

int32_t Kr8Simulator::freeMemory() const {
    std::lock_guard lock(m_mutex);
    return freeMemoryLocked();
}

void Kr8Simulator::setBuildMasks(std::optional<sim::BuildMasks> masks) { setLocked(m_buildMasks, masks); }

bool Kr8Simulator::isRs422() const { return locked(m_rs422); }

Kr8SimFaults Kr8Simulator::faults() const { return locked(m_faults); }

void Kr8Simulator::setFaults(const Kr8SimFaults& faults) { setLocked(m_faults, faults); }

sim::SetupRecord Kr8Simulator::setup() const { return locked(m_setup); }

void Kr8Simulator::setSetup(const sim::SetupRecord& setup) { setLocked(m_setup, setup); }

sim::HardwareRecord Kr8Simulator::hardware() const { return locked(m_hardware); }

void Kr8Simulator::setHardware(const sim::HardwareRecord& hardware) { setLocked(m_hardware, hardware); }

sim::AnalogRecord Kr8Simulator::analog() const { return locked(m_analog); }

void Kr8Simulator::setAnalog(const sim::AnalogRecord& analog) { setLocked(m_analog, analog); }

std::vector<Kr8SimReceived> Kr8Simulator::received() const { return locked(m_log); }

std::vector<Kr8SimReceived> Kr8Simulator::receivedCommands(std::optional<uint16_t> code) const {
    std::lock_guard lock(m_mutex);
    std::vector<Kr8SimReceived> out;
    for (const auto& item : m_log)
        if (item.kind == Kr8SimReceived::Kind::Command && (!code || item.code == *code)) out.push_back(item);
    return out;
}

std::vector<Kr8SimReceived> Kr8Simulator::receivedBlocks(uint8_t type) const {
    std::lock_guard lock(m_mutex);
    std::vector<Kr8SimReceived> out;
    for (const auto& item : m_log)
        if (item.kind == Kr8SimReceived::Kind::Block && item.blockType == type) out.push_back(item);
    return out;
}

std::vector<std::string> Kr8Simulator::receivedTexts() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> out;
    for (const auto& item : m_log)
        if (item.kind == Kr8SimReceived::Kind::Text) out.push_back(item.text());
    return out;
}

std::vector<sim::SetupRecord> Kr8Simulator::receivedSetups() const { return locked(m_setups); }

void Kr8Simulator::clearReceived() {
    std::lock_guard lock(m_mutex);
    m_log.clear();
    m_setups.clear();
}

} // namespace cv
