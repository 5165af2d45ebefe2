// What the logger does with each command, block and text the host sends, and what it sends on
// its own: the status once a second, the port test's lines and the faults laid on the line.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/bytes.h"
#include "base/logger_codes.h"
#include "protocol/commands.h"
#include "sim_line.h"
#include "sim_logger.h"
#include "sim_probe.h"
#include "upload_server.h"

namespace cv::sim {

using namespace std::chrono_literals;
namespace st = state;

void SimLogger::heardLocked(const HostInput& in, SimClock::time_point now) {
    switch (in.kind) {
    case HostInput::Kind::Command: handleCommand(in, now); break;
    case HostInput::Kind::Block: handleBlock(in, now); break;
    case HostInput::Kind::Text: handleText(in.text(), now); break;
    }
}

void SimLogger::handleCommand(const HostInput& in, SimClock::time_point now) {
    if (m_state == st::kSleeping && in.code != cmd::kStop) return;  // asleep: only a stop wakes it
    switch (in.code) {
    case cmd::kStop:
        m_portTest.reset();
        if (m_state == st::kSampling) {
            endSamplingLocked(true);
        } else if (m_state == st::kSleeping) {
            wakeUp();
        } else if (m_state != st::kUpload && m_state != st::kClearMemory) {
            m_state = st::kStandby;
        }
        break;
    case cmd::kBegin:
        m_portTest.reset();
        if (m_state != st::kSampling) beginSamplingLocked(now);
        break;
    case cmd::kLoadHardwareDefaults:
        m_hardware = defaultHardware(m_deviceType);
        m_analog = defaultAnalog();
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
    case cmd::kGetHardware: m_line.queue(m_hardware.data(), m_hardware.size(), Traffic::Reply); break;
    case cmd::kBlockAck: m_uploads.acknowledgedLocked(in); break;
    case cmd::kGetSetup: m_line.queue(m_setup.data(), m_setup.size(), Traffic::Reply); break;
    case cmd::kGetAnalog: m_line.queue(m_analog.data(), m_analog.size(), Traffic::Reply); break;
    case cmd::kSetTime: setLoggerClock(int64_t(in.arg32)); break;
    case cmd::kLoadDefaultSetup:
        if (m_sampling) endSamplingLocked(true);
        m_portTest.reset();
        m_setup = defaultSetup();
        m_state = st::kStandby;
        break;
    case cmd::kSwitchToRs232: m_rs422 = false; break;
    case cmd::kSwitchToRs422: m_rs422 = true; break;
    case cmd::kResetToMonitor:
        if (m_sampling) endSamplingLocked(true);
        m_portTest.reset();
        m_uploads.dropUploadLocked();
        m_state = st::kStandby;
        break;
    case cmd::kGetDirectory: m_uploads.sendDirectoryLocked(); break;
    case cmd::kUploadRequest: m_uploads.startUploadLocked(int16_t(in.arg16)); break;
    case cmd::kClearMemory:
        if (in.arg16 != 1) break;  // the logger wants the confirmation value before it erases
        clearMemory(now);
        break;
    default: break;
    }
}

void SimLogger::clearMemory(SimClock::time_point now) {
    if (m_sampling) endSamplingLocked(false);
    m_uploads.dropUploadLocked();
    m_uploads.storeLocked().clear();
    m_runNumber = -1;
    m_lastRecorded = {};
    m_lastRunSize = 0;
    m_state = st::kClearMemory;
    m_clearMemoryUntil = now + m_core.options.clearMemoryTime;
}

void SimLogger::handleBlock(const HostInput& in, SimClock::time_point now) {
    if (m_state == st::kSleeping) return;
    switch (in.blockType) {
    case kTypeSetup:
        std::copy_n(in.bytes.begin(), kSetupLength, m_setup.begin());
        m_probe.setupReceivedLocked(m_setup);
        break;
    case kTypeAnalog: std::copy_n(in.bytes.begin(), kAnalogLength, m_analog.begin()); break;
    case kTypeHardware: {
        std::copy_n(in.bytes.begin(), kHardwareLength, m_hardware.begin());
        const int16_t kind = getI16le(m_hardware.data() + 4);
        if (kind >= 1 && kind <= 3) m_deviceType = kind;
        break;
    }
    case kTypePortTest:
        if (m_sampling) endSamplingLocked(true);
        m_portTest = parsePortTest(in.bytes.data());
        m_portTestLines = 0;
        m_nextPortTestLine = now + 200ms;
        break;
    default: break;
    }
}

void SimLogger::handleText(const std::string& text, SimClock::time_point now) {
    if (text.find("STOP7E1") != std::string::npos) {
        HostInput stop;
        stop.kind = HostInput::Kind::Command;
        stop.code = cmd::kStop;
        handleCommand(stop, now);
    } else if (text.find("BREAKBREAKBREAK") != std::string::npos) {
        m_portTest.reset();
        if (m_state == st::kSleeping) wakeUp();
    } else if (text.find("WAKE") != std::string::npos) {
        if (m_state == st::kSleeping) wakeUp();
    } else if (text.find("SLEEP") != std::string::npos) {
        if (m_state == st::kStandby || m_state == st::kEndOfRun) {
            m_wakeTime.reset();
            m_state = st::kSleeping;
            sendStatus();
        }
    }
}

void SimLogger::wakeUp() {
    m_wakeTime.reset();
    m_state = st::kStandby;
    sendStatus();
}

// ---------------------------------------------------------------------------------------------
// What the logger sends on its own

void SimLogger::startedLocked(SimClock::time_point now) { m_nextStatus = now + 100ms; }

void SimLogger::tickLocked(SimClock::time_point now) {
    if (m_state == st::kClearMemory && now >= m_clearMemoryUntil) m_state = st::kStandby;
    wakeIfDue();

    if (now >= m_nextStatus) {
        m_nextStatus += m_core.options.statusInterval;
        if (m_nextStatus <= now) m_nextStatus = now + m_core.options.statusInterval;
        ++m_core.stats.statusPeriods;
        const bool asleep = m_state == st::kSleeping && !m_core.options.statusWhileSleeping;
        if (!asleep && !m_portTest && m_core.faults.falseMuxHeader && !m_falseMuxHeaderSent && m_core.stats.statusSent > 0)
            sendFalseMuxHeader();
        if (!asleep && !m_portTest) sendStatus();
    }
    streamTick(now);
    if (m_portTest && now >= m_nextPortTestLine) sendPortTestLine(now);
    m_uploads.tickLocked(now);
}

void SimLogger::sendFalseMuxHeader() {
    // Only the 30 header bytes: the statuses behind it are what the host must not lose.
    std::array<uint8_t, 30> header{8, 8};
    header[4] = uint8_t(m_loggerId);
    putU16be(header.data() + 6, 4000);
    m_falseMuxHeaderSent = m_line.queue(header.data(), header.size(), Traffic::Periodic);
}

void SimLogger::sendPortTestLine(SimClock::time_point now) {
    m_nextPortTestLine = now + 1s;
    char line[96];
    std::snprintf(line, sizeof line, "PORT %d TEST %u,%d,%c,1 LINE %u\r\n", m_portTest->port,
                  unsigned(m_portTest->testBaud), m_portTest->testDataBits, m_portTest->testParity == 2 ? 'E' : 'N',
                  unsigned(++m_portTestLines));
    m_line.queue(reinterpret_cast<const uint8_t*>(line), std::strlen(line), Traffic::Periodic);
}

BuildMasks SimLogger::reportedMasks() const {
    BuildMasks masks = m_buildMasks ? *m_buildMasks : buildMasksFor(m_deviceType);
    masks.serial &= 0x00FF;
    if (m_rs422) masks.serial |= 0x0100;
    for (int port = 1; port <= 8; ++port) {
        if ((masks.serial & (1u << (port - 1))) && setupPortType(m_setup, port) == sim::port::kRemoteHost)
            masks.serial |= 0x0200;
    }
    return masks;
}

StatusFields SimLogger::statusFields() {
    StatusFields f;
    const int64_t clock = loggerClockLocked();
    f.state = m_state;
    f.runNumber = m_runNumber;
    f.clock = int32_t(clock);
    if (m_sampling) {
        const int64_t elapsed = std::chrono::duration_cast<std::chrono::seconds>(SimClock::now() - m_sampling->startedAt).count();
        f.timeLeft = uint32_t(std::max<int64_t>(0, int64_t(getI32le(m_setup.data() + sim::setup::kSample)) - elapsed));
    } else if (m_state == st::kSleeping && m_wakeTime) {
        f.timeLeft = uint32_t(std::max<int64_t>(0, *m_wakeTime - clock));
    }
    f.deviceType = m_deviceType;
    f.loggerId = m_loggerId;
    const BuildMasks built = reportedMasks();
    f.serialMask = built.serial;
    f.analogMask = built.analog;
    f.pumpMask = built.pump;
    std::uniform_int_distribution<int> wobble(-8, 8);
    f.powerStatus = int16_t(0x03 | (m_sampling ? 0x04 : 0));
    f.currentMv = int16_t(m_supplyMv - (m_sampling ? 150 : 0) + wobble(m_core.rng));
    f.startMv = m_startMv;
    f.endMv = m_endMv;
    f.runStopSwitch = m_runStopSwitch;
    for (int c = 1; c <= kAnalogChannels; ++c) {
        if (built.analog & (1u << (c - 1))) f.analogMv[size_t(c)] = int16_t(1000 + 250 * c + wobble(m_core.rng));
    }
    const std::array<int32_t, 9>& recorded = m_sampling ? m_sampling->recorder.recordedBytes() : m_lastRecorded;
    const int32_t runSize = m_sampling ? int32_t(m_sampling->recorder.size()) : m_lastRunSize;
    int32_t counted = 0;
    for (int port = 1; port <= 8; ++port) {
        f.portFileSize[size_t(port)] = recorded[size_t(port)];
        counted += recorded[size_t(port)];
        if (m_sampling) f.portRate[size_t(port)] = statusPortRate(m_setup, port, m_sampling->lastInterval[size_t(port - 1)]);
    }
    f.analogFileSize = recorded[0];
    counted += recorded[0];
    f.otherRunBytes = std::max(0, runSize - counted);
    f.freeMemory = freeMemoryLocked();
    f.totalMemory = m_totalMemory;
    f.firmware = m_firmware;
    return f;
}

void SimLogger::sendStatus() {
    const StatusRecord status = buildStatus(statusFields());
    if (m_line.queue(status.data(), status.size(), Traffic::Periodic)) ++m_core.stats.statusSent;
}

int32_t SimLogger::freeMemoryLocked() const {
    if (m_freeOverride) return *m_freeOverride;
    int64_t used = int64_t(m_uploads.storeLocked().usedBytes());
    if (m_sampling) used += int64_t(m_sampling->recorder.size());
    return int32_t(std::max<int64_t>(0, int64_t(m_totalMemory) - used));
}

} // namespace cv::sim
