#include "simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include "base/bytes.h"
#include "link/commands.h"

namespace cv {

using namespace std::chrono_literals;
namespace st = sim::state;

namespace {

constexpr size_t kBacklogLimit = 16 * 1024;  // periodic packets wait no longer than this backlog
constexpr auto kLineCheckInterval = 200ms;
constexpr auto kLoopTick = 10ms;

int64_t localWallClockNow() {
    const time_t now = std::time(nullptr);
    std::tm fields{};
    localtime_r(&now, &fields);
    return int64_t(now) + fields.tm_gmtoff;
}

speed_t speedConstant(int32_t baud) {
    switch (baud) {
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B9600;
    }
}

int32_t baudOf(speed_t speed) {
    switch (speed) {
    case B600: return 600;
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return -1;
    }
}

// The host port's line as the setup names it; a speed the logger does not know runs at 9600 8N1.
struct LineSetting {
    int32_t baud = 9600;
    int bits = 8;
    int parity = 0;
};

LineSetting hostLineOf(const sim::SetupRecord& setup) {
    LineSetting line;
    const int32_t baud = sim::setupBaud(setup, 0);
    if (baudOf(speedConstant(baud)) == baud && baud > 0) {
        line.baud = baud;
        line.bits = sim::setupDataBits(setup, 0) == 7 ? 7 : 8;
        line.parity = sim::setupParity(setup, 0) == 2 ? 2 : 0;
    }
    return line;
}

void applyRawLine(int fd, const LineSetting& line) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return;
    cfmakeraw(&tio);
    cfsetispeed(&tio, speedConstant(line.baud));
    cfsetospeed(&tio, speedConstant(line.baud));
    tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD);
    tio.c_cflag |= (line.bits == 7 ? CS7 : CS8) | CLOCAL | CREAD;
    if (line.parity == 2) tio.c_cflag |= PARENB;
    tcsetattr(fd, TCSANOW, &tio);
}

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

Kr8Simulator::Kr8Simulator(Kr8SimOptions options)
    : m_options(std::move(options)),
      m_state(m_options.state),
      m_deviceType(m_options.deviceType),
      m_loggerId(m_options.loggerId),
      m_firmware(m_options.firmwareWord),
      m_clockOffset(m_options.clockOffsetSeconds),
      m_runStopSwitch(m_options.runStopSwitch),
      m_faults(m_options.faults),
      m_setup(sim::defaultSetup()),
      m_hardware(sim::defaultHardware(m_options.deviceType)),
      m_analog(sim::defaultAnalog()),
      m_rng(m_options.seed) {}

Kr8Simulator::~Kr8Simulator() { stop(); }

// ---------------------------------------------------------------------------------------------
// Line and thread

std::string Kr8Simulator::startPty() {
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
    char name[256] = {};
    if (ttyname_r(slave, name, sizeof name) != 0) {
        ::close(master);
        ::close(slave);
        throw std::runtime_error("cannot name the pseudo-terminal");
    }
    applyRawLine(slave, hostLineOf(setup()));
    // The slave stays closed until a host opens it, so a hang-up tells that nobody listens.
    ::close(slave);
    startThread(master, true, name);
    return name;
}

void Kr8Simulator::startDevice(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    if (isatty(fd)) applyRawLine(fd, hostLineOf(setup()));
    startThread(fd, false, path);
}

void Kr8Simulator::startFd(int fd) {
    if (fd < 0) throw std::runtime_error("no descriptor to run on");
    startThread(fd, false, {});
}

void Kr8Simulator::startThread(int fd, bool isPty, const std::string& path) {
    if (m_running) {
        ::close(fd);
        throw std::runtime_error("the simulator is already running");
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    if (pipe2(m_wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot create the wake pipe");
    }
    {
        std::lock_guard lock(m_mutex);
        m_fd = fd;
        m_isPty = isPty;
        m_path = path;
        m_connected = false;
        const auto now = Clock::now();
        m_throttle.setRate(m_faults.throttleBytesPerSecond, now);
        m_nextStatus = now + 100ms;
        m_nextLineCheck = now;
    }
    m_stopRequested = false;
    m_running = true;
    m_thread = std::thread([this] { threadMain(); });
}

void Kr8Simulator::stop() {
    if (!m_thread.joinable()) return;
    m_stopRequested = true;
    const uint8_t byte = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wakePipe[1], &byte, 1);
    m_thread.join();
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) ::close(m_fd);
    for (int& fd : m_wakePipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    m_fd = -1;
    m_connected = false;
    m_running = false;
    notifyEvent();
}

bool Kr8Simulator::isRunning() const { return m_running; }

std::string Kr8Simulator::devicePath() const {
    std::lock_guard lock(m_mutex);
    return m_path;
}

bool Kr8Simulator::isConnected() const {
    std::lock_guard lock(m_mutex);
    return m_connected;
}

void Kr8Simulator::threadMain() {
    while (!m_stopRequested) {
        pollfd line{m_fd, POLLIN, 0};
        pollfd wake{m_wakePipe[0], POLLIN, 0};
        bool connected;
        bool wantOut;
        bool pacing;
        {
            std::lock_guard lock(m_mutex);
            connected = m_connected;
            // A throttled line sends on a fine tick of its own, byte-time by byte-time as a UART
            // would; waiting for room would only spin.
            pacing = m_outPos < m_out.size() && m_throttle.rate() != 0;
            wantOut = m_outPos < m_out.size() && m_throttle.rate() == 0;
        }
        if (connected) {
            if (wantOut) line.events |= POLLOUT;
            pollfd both[2] = {line, wake};
            ::poll(both, 2, pacing ? 1 : int(kLoopTick.count()));
            line = both[0];
            wake = both[1];
        } else {
            // With nobody on the line a pseudo-terminal reports a hang-up at once; look at it
            // without waiting, and rest on the wake pipe instead.
            ::poll(&wake, 1, int(kLoopTick.count()));
            ::poll(&line, 1, 0);
        }
        if (wake.revents & POLLIN) {
            uint8_t drain[64];
            while (::read(m_wakePipe[0], drain, sizeof drain) > 0) {
            }
        }
        if (m_stopRequested) break;
        const auto now = Clock::now();
        if (line.revents & POLLIN) readInput(now);
        const bool hungUp = (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;

        std::vector<std::string> logLines;
        {
            std::lock_guard lock(m_mutex);
            if (!hungUp && !m_connected) onConnected();
            // What arrived before a hang-up is still heard; only the answers are lost.
            m_parser.tick(now);
            for (const Kr8SimReceived& in : m_parser.take()) handleInput(in, now);
            periodic(now);
            flushOutput(now);
            if (hungUp && m_connected) onDisconnected(now);
            logLines.swap(m_pendingLogLines);
            notifyEvent();
        }
        if (m_options.logSink)
            for (const std::string& text : logLines) m_options.logSink(text);
    }
}

void Kr8Simulator::readInput(Clock::time_point now) {
    uint8_t buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) break;
        std::lock_guard lock(m_mutex);
        m_stats.bytesReceived += uint64_t(n);
        if (garblingLocked()) {
            // At the wrong speed the logger's UART makes nothing of the host's bytes.
            m_stats.bytesIgnored += uint64_t(n);
            continue;
        }
        m_parser.feed(buffer, size_t(n), now);
    }
}

void Kr8Simulator::onConnected() {
    m_connected = true;
    ++m_stats.connections;
}

void Kr8Simulator::onDisconnected(Clock::time_point now) {
    // Text the host wrote just before closing is still logged.
    m_parser.tick(now + std::chrono::hours(1));
    for (const Kr8SimReceived& in : m_parser.take()) handleInput(in, now);
    m_connected = false;
    m_stats.bytesDropped += m_out.size() - m_outPos;
    m_out.clear();
    m_outPos = 0;
    m_writtenTotal = m_queuedTotal;  // what was dropped counts as gone, so waits for it end
    m_parser.reset();
    if (m_isPty && !m_path.empty()) {
        // Whatever the last host left unread would greet the next one as stale news.
        const int slave = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (slave >= 0) {
            tcflush(slave, TCIFLUSH);
            ::close(slave);
        }
    }
}

bool Kr8Simulator::garblingLocked() const {
    return m_faults.baudMismatch || (m_options.checkLineSpeed && m_lineMismatch);
}

bool Kr8Simulator::queue(const uint8_t* bytes, size_t count, Traffic traffic) {
    if (!m_connected || m_faults.silent || (traffic == Traffic::Periodic && m_out.size() - m_outPos > kBacklogLimit)) {
        m_stats.bytesDropped += count;
        return false;
    }
    if (m_outPos > 0 && m_outPos == m_out.size()) {
        m_out.clear();
        m_outPos = 0;
    }
    if (garblingLocked()) {
        // Bytes sampled at the wrong speed: never two equal packet-type bytes in a row, so no
        // packet head can ever form.
        for (size_t i = 0; i < count; ++i) {
            uint8_t b = uint8_t(m_rng());
            if (b == m_lastGarbage && b >= 1 && b <= 10) b ^= 0x80;
            m_out.push_back(b);
            m_lastGarbage = b;
        }
        m_stats.garbageBytesSent += count;
    } else {
        m_out.insert(m_out.end(), bytes, bytes + count);
        m_lastGarbage = 0;
    }
    m_queuedTotal += count;
    return true;
}

void Kr8Simulator::flushOutput(Clock::time_point now) {
    if (m_outPos >= m_out.size() || m_fd < 0) return;
    const size_t pending = m_out.size() - m_outPos;
    const size_t allowed = std::min(pending, m_throttle.allowance(now));
    if (allowed == 0) return;
    const ssize_t n = ::write(m_fd, m_out.data() + m_outPos, allowed);
    if (n <= 0) return;
    m_outPos += size_t(n);
    m_writtenTotal += uint64_t(n);
    m_stats.bytesSent += uint64_t(n);
    m_throttle.consume(size_t(n));
    if (m_outPos == m_out.size()) {
        m_out.clear();
        m_outPos = 0;
    } else if (m_outPos > 64 * 1024) {
        m_out.erase(m_out.begin(), m_out.begin() + long(m_outPos));
        m_outPos = 0;
    }
}

void Kr8Simulator::notifyEvent() {
    {
        std::lock_guard lock(m_eventMutex);
        ++m_eventSeq;
    }
    m_eventCv.notify_all();
}

bool Kr8Simulator::chance(double fraction) {
    if (fraction <= 0) return false;
    if (fraction >= 1) return true;
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_rng) < fraction;
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
    case cmd::kSetTime: m_clockOffset = int64_t(in.arg32) - localWallClockNow(); break;
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

// ---------------------------------------------------------------------------------------------
// What the logger sends on its own

void Kr8Simulator::periodic(Clock::time_point now) {
    if (m_options.checkLineSpeed && now >= m_nextLineCheck) {
        m_nextLineCheck = now + kLineCheckInterval;
        checkLineSpeed();
    }
    if (m_throttle.rate() != m_faults.throttleBytesPerSecond) m_throttle.setRate(m_faults.throttleBytesPerSecond, now);
    if (m_state == st::kClearMemory && now >= m_clearMemoryUntil) m_state = st::kStandby;
    if (m_state == st::kSleeping && m_wakeTime && loggerClockLocked() >= *m_wakeTime) wakeUpLocked();

    if (now >= m_nextStatus) {
        m_nextStatus += m_options.statusInterval;
        if (m_nextStatus <= now) m_nextStatus = now + m_options.statusInterval;
        ++m_stats.statusPeriods;
        const bool asleep = m_state == st::kSleeping && !m_options.statusWhileSleeping;
        if (!asleep && !m_portTest && m_faults.falseMuxHeader && !m_falseMuxHeaderSent && m_stats.statusSent > 0) {
            // Only the 30 header bytes: the statuses behind it are what the host must not lose.
            std::array<uint8_t, 30> header{8, 8};
            header[4] = uint8_t(m_loggerId);
            putU16be(header.data() + 6, 4000);
            m_falseMuxHeaderSent = queue(header.data(), header.size(), Traffic::Periodic);
        }
        if (!asleep && !m_portTest) sendStatus();
    }
    if (m_sampling && now >= m_nextStream) {
        m_nextStream += m_options.streamInterval;
        if (m_nextStream <= now) m_nextStream = now + m_options.streamInterval;
        sendMuxInterval(now);
    }
    if (m_portTest && now >= m_nextPortTestLine) {
        m_nextPortTestLine = now + 1s;
        char line[96];
        std::snprintf(line, sizeof line, "PORT %d TEST %u,%d,%c,1 LINE %u\r\n", m_portTest->port,
                      unsigned(m_portTest->testBaud), m_portTest->testDataBits, m_portTest->testParity == 2 ? 'E' : 'N',
                      unsigned(++m_portTestLines));
        queue(reinterpret_cast<const uint8_t*>(line), std::strlen(line), Traffic::Periodic);
    }
    if (m_upload.active) {
        if (!m_upload.flushed && m_writtenTotal >= m_upload.marker) {
            m_upload.flushed = true;
            m_upload.sentAt = now;
        }
        if (m_upload.flushed && now - m_upload.sentAt >= m_options.ackTimeout) {
            if (m_upload.repeats >= m_options.maxBlockRepeats) {
                ++m_stats.uploadsAbandoned;
                finishUpload();
            } else {
                sendUploadBlock(true);
            }
        }
    }
}

void Kr8Simulator::checkLineSpeed() {
    termios tio{};
    if (m_fd < 0 || tcgetattr(m_fd, &tio) != 0) {
        m_lineMismatch = false;
        return;
    }
    const LineSetting expected = hostLineOf(m_setup);
    const int bits = (tio.c_cflag & CSIZE) == CS7 ? 7 : 8;
    const int parity = (tio.c_cflag & PARENB) ? ((tio.c_cflag & PARODD) ? 1 : 2) : 0;
    m_lineMismatch = baudOf(cfgetospeed(&tio)) != expected.baud || bits != expected.bits || parity != expected.parity;
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

int64_t Kr8Simulator::loggerClockLocked() const { return localWallClockNow() + m_clockOffset; }

int32_t Kr8Simulator::freeMemoryLocked() const {
    if (m_freeOverride) return *m_freeOverride;
    int64_t used = int64_t(m_store.usedBytes());
    if (m_sampling) used += int64_t(m_sampling->recorder.size());
    return int32_t(std::max<int64_t>(0, int64_t(m_totalMemory) - used));
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

void Kr8Simulator::beginSamplingLocked(Clock::time_point now) {
    const int16_t number = m_store.nextRunNumber();
    sim::RunContext context;
    context.deviceType = m_deviceType;
    context.loggerId = m_loggerId;
    context.serialNumber = getI16le(m_hardware.data() + 2);
    context.firmware = m_firmware;
    context.startTime = uint32_t(loggerClockLocked());
    context.startMv = m_supplyMv;
    context.totalMemory = m_totalMemory;
    context.packetIntervalMs = int16_t(std::clamp<int64_t>(m_options.streamInterval.count(), 1, 32767));
    m_sampling.emplace(Sampling{sim::RunRecorder(number, m_setup, context), sim::InstrumentSource(m_rng()), 0, now, {}});
    m_runNumber = number;
    m_startMv = m_supplyMv;
    m_endMv = 0;
    m_state = st::kSampling;
    m_nextStream = now + m_options.streamInterval;
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

void Kr8Simulator::sendMuxInterval(Clock::time_point now) {
    Sampling& s = *m_sampling;
    const int64_t clock = loggerClockLocked();
    sim::MuxFrame frame;
    frame.unit = uint8_t(m_loggerId);
    frame.sequence = m_sequence[frame.unit]++;
    frame.timeStamp = uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now - s.startedAt).count() / 100);
    frame.sections = s.source.next(m_setup, s.tick++, clock);
    for (size_t k = 0; k < 9; ++k) s.lastInterval[k] = frame.sections[k].size();
    const std::vector<uint8_t> packet = sim::buildMuxPacket(frame);
    s.recorder.addMuxRecord(packet.data() + 2, packet.size() - 4);
    if (queue(packet.data(), packet.size(), Traffic::Periodic)) ++m_stats.muxSent;
}

void Kr8Simulator::sendDirectory() {
    for (const sim::SimRun* run : m_store.runs()) {
        const sim::DirectoryRecord entry = sim::buildDirectoryEntry(run->info);
        if (queue(entry.data(), entry.size(), Traffic::Reply)) ++m_stats.directoryEntriesSent;
    }
}

// ---------------------------------------------------------------------------------------------
// Upload: one block at a time, each waiting for its acknowledgement

void Kr8Simulator::startUpload(int16_t runNumber) {
    if (m_faults.withheldFirstBlocks > 0) {
        --m_faults.withheldFirstBlocks;
        ++m_stats.firstBlocksWithheld;
        return;
    }
    const int16_t stateBefore = m_upload.active ? m_upload.stateBefore : m_state;
    m_upload = Upload{};
    m_upload.active = true;
    m_upload.runNumber = runNumber;
    if (const sim::SimRun* run = m_store.find(runNumber)) m_upload.bytes = run->bytes;  // else: an empty file
    m_upload.stateBefore = stateBefore;
    if (m_state != st::kSampling) m_state = st::kUpload;
    sendUploadBlock(false);
}

void Kr8Simulator::sendUploadBlock(bool repeat) {
    Upload& u = m_upload;
    if (repeat) {
        ++u.repeats;
        ++m_stats.uploadBlocksRepeated;
    } else {
        u.repeats = 0;
        u.count = std::min(sim::kUploadDataLength, u.bytes.size() - std::min(u.offset, u.bytes.size()));
        u.blockNumber = m_nextBlockNumber++;
        if (m_nextBlockNumber == 0) m_nextBlockNumber = 1;  // two runs in a row never share a number
    }
    sim::UploadRecord block =
        sim::buildUploadBlock(u.blockNumber, u.runNumber, u.count > 0 ? u.bytes.data() + u.offset : nullptr, u.count);
    if (chance(m_faults.corruptFraction)) {
        const size_t at = 8 + (u.count > 0 ? size_t(m_rng() % u.count) : 0);
        block[at] ^= 0xFF;  // changes the byte sum, so the host's checksum test fails
        ++m_stats.corruptedBlocks;
    }
    if (queue(block.data(), block.size(), Traffic::Reply)) ++m_stats.uploadBlocksSent;
    u.flushed = false;
    u.marker = m_queuedTotal;
}

void Kr8Simulator::handleAck(const Kr8SimReceived& in) {
    ++m_stats.acksReceived;
    Upload& u = m_upload;
    if (!u.active || in.arg16 != u.blockNumber) {
        ++m_stats.staleAcks;
        return;
    }
    const bool endBlock = u.count == 0;
    if (!endBlock && chance(m_faults.lostAckFraction)) {
        ++m_stats.acksIgnored;
        return;
    }
    if (endBlock) {
        ++m_stats.uploadsCompleted;
        finishUpload();
    } else if (in.arg32 == 2) {
        ++m_stats.uploadsCancelled;
        u.offset = u.bytes.size();  // the host still needs the end block to close its file
        sendUploadBlock(false);
    } else {
        u.offset += u.count;
        sendUploadBlock(false);
    }
}

void Kr8Simulator::finishUpload() {
    m_upload.active = false;
    if (m_state == st::kUpload) m_state = m_upload.stateBefore == st::kUpload ? st::kStandby : m_upload.stateBefore;
}

// ---------------------------------------------------------------------------------------------
// Control interface

int16_t Kr8Simulator::state() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

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

int16_t Kr8Simulator::deviceType() const {
    std::lock_guard lock(m_mutex);
    return m_deviceType;
}

void Kr8Simulator::setDeviceType(int16_t type) {
    std::lock_guard lock(m_mutex);
    m_deviceType = type;
    if (type >= 1 && type <= 3) {
        putI16le(m_hardware.data() + 4, type);
        frameBlock(m_hardware.data(), m_hardware.size(), sim::kTypeHardware);
    }
}

int16_t Kr8Simulator::loggerId() const {
    std::lock_guard lock(m_mutex);
    return m_loggerId;
}

void Kr8Simulator::setLoggerId(int16_t id) {
    std::lock_guard lock(m_mutex);
    m_loggerId = id;
}

uint32_t Kr8Simulator::firmwareWord() const {
    std::lock_guard lock(m_mutex);
    return m_firmware;
}

void Kr8Simulator::setFirmwareWord(uint32_t word) {
    std::lock_guard lock(m_mutex);
    m_firmware = word;
}

int64_t Kr8Simulator::clockOffset() const {
    std::lock_guard lock(m_mutex);
    return m_clockOffset;
}

void Kr8Simulator::setClockOffset(int64_t seconds) {
    std::lock_guard lock(m_mutex);
    m_clockOffset = seconds;
}

int64_t Kr8Simulator::loggerClock() const {
    std::lock_guard lock(m_mutex);
    return loggerClockLocked();
}

int16_t Kr8Simulator::runStopSwitch() const {
    std::lock_guard lock(m_mutex);
    return m_runStopSwitch;
}

void Kr8Simulator::setRunStopSwitch(int16_t value) {
    std::lock_guard lock(m_mutex);
    m_runStopSwitch = value;
}

int16_t Kr8Simulator::supplyMillivolts() const {
    std::lock_guard lock(m_mutex);
    return m_supplyMv;
}

void Kr8Simulator::setSupplyMillivolts(int16_t mv) {
    std::lock_guard lock(m_mutex);
    m_supplyMv = mv;
}

void Kr8Simulator::setMemory(int32_t totalBytes, std::optional<int32_t> freeBytes) {
    std::lock_guard lock(m_mutex);
    m_totalMemory = totalBytes;
    m_freeOverride = freeBytes;
}

int32_t Kr8Simulator::totalMemory() const {
    std::lock_guard lock(m_mutex);
    return m_totalMemory;
}

int32_t Kr8Simulator::freeMemory() const {
    std::lock_guard lock(m_mutex);
    return freeMemoryLocked();
}

void Kr8Simulator::setBuildMasks(std::optional<sim::BuildMasks> masks) {
    std::lock_guard lock(m_mutex);
    m_buildMasks = masks;
}

bool Kr8Simulator::isRs422() const {
    std::lock_guard lock(m_mutex);
    return m_rs422;
}

std::optional<int64_t> Kr8Simulator::wakeTime() const {
    std::lock_guard lock(m_mutex);
    return m_wakeTime;
}

Kr8SimFaults Kr8Simulator::faults() const {
    std::lock_guard lock(m_mutex);
    return m_faults;
}

void Kr8Simulator::setFaults(const Kr8SimFaults& faults) {
    std::lock_guard lock(m_mutex);
    m_faults = faults;
}

sim::SetupRecord Kr8Simulator::setup() const {
    std::lock_guard lock(m_mutex);
    return m_setup;
}

void Kr8Simulator::setSetup(const sim::SetupRecord& setup) {
    std::lock_guard lock(m_mutex);
    m_setup = setup;
}

sim::HardwareRecord Kr8Simulator::hardware() const {
    std::lock_guard lock(m_mutex);
    return m_hardware;
}

void Kr8Simulator::setHardware(const sim::HardwareRecord& hardware) {
    std::lock_guard lock(m_mutex);
    m_hardware = hardware;
}

sim::AnalogRecord Kr8Simulator::analog() const {
    std::lock_guard lock(m_mutex);
    return m_analog;
}

void Kr8Simulator::setAnalog(const sim::AnalogRecord& analog) {
    std::lock_guard lock(m_mutex);
    m_analog = analog;
}

void Kr8Simulator::addRun(int16_t runNumber, std::vector<uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    sim::RunInfo fallback = sim::runInfoFromSetup(runNumber, m_setup);
    fallback.startTime = uint32_t(loggerClockLocked());
    fallback.startMv = m_supplyMv;
    fallback.endMv = int16_t(m_supplyMv - 150);
    sim::SimRun run;
    run.info = sim::runInfoFromRunFile(runNumber, bytes, fallback);
    run.bytes = std::move(bytes);
    m_store.put(std::move(run));
}

bool Kr8Simulator::addRunFile(int16_t runNumber, const std::filesystem::path& path, std::string* error) {
    std::vector<uint8_t> bytes;
    std::string message;
    if (!sim::readRunFile(path, bytes, message)) {
        if (error) *error = message;
        return false;
    }
    addRun(runNumber, std::move(bytes));
    return true;
}

std::vector<int16_t> Kr8Simulator::generateRuns(int count, uint32_t seed) {
    std::lock_guard lock(m_mutex);
    std::mt19937 rng(seed);
    std::vector<int16_t> numbers;
    for (int i = 0; i < count; ++i) {
        const int16_t number = m_store.nextRunNumber();
        sim::RunFileOptions options;
        options.seed = rng();
        options.runNumber = number;
        options.targetSize = 4096 + rng() % (20 * 1024);
        // A logger in good order: no damaged records, no windows overfilled.
        options.inconsistentKrMuxPercent = 0;
        options.burstPercent = 0;
        std::vector<uint8_t> bytes = sim::RunFileGenerator(options).bytes();
        sim::RunInfo fallback = sim::runInfoFromSetup(number, m_setup);
        sim::SimRun run;
        run.info = sim::runInfoFromRunFile(number, bytes, fallback);
        run.bytes = std::move(bytes);
        m_store.put(std::move(run));
        numbers.push_back(number);
    }
    return numbers;
}

std::vector<int16_t> Kr8Simulator::runNumbers() const {
    std::lock_guard lock(m_mutex);
    return m_store.numbers();
}

std::optional<std::vector<uint8_t>> Kr8Simulator::runBytes(int16_t runNumber) const {
    std::lock_guard lock(m_mutex);
    if (const sim::SimRun* run = m_store.find(runNumber)) return run->bytes;
    return std::nullopt;
}

std::optional<sim::RunInfo> Kr8Simulator::runInfo(int16_t runNumber) const {
    std::lock_guard lock(m_mutex);
    if (const sim::SimRun* run = m_store.find(runNumber)) return run->info;
    return std::nullopt;
}

void Kr8Simulator::clearRuns() {
    std::lock_guard lock(m_mutex);
    m_store.clear();
}

void Kr8Simulator::beginSampling() { setState(st::kSampling); }

void Kr8Simulator::stopSampling() {
    {
        std::lock_guard lock(m_mutex);
        if (m_sampling) endSamplingLocked(true);
    }
    notifyEvent();
}

void Kr8Simulator::sendFlashErrorCount(uint16_t count) {
    {
        std::lock_guard lock(m_mutex);
        const sim::CommandRecord packet = sim::buildFlashErrorPacket(count);
        queue(packet.data(), packet.size(), Traffic::Reply);
    }
    const uint8_t byte = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wakePipe[1], &byte, 1);
}

void Kr8Simulator::injectRaw(const std::vector<uint8_t>& bytes) {
    {
        std::lock_guard lock(m_mutex);
        queue(bytes.data(), bytes.size(), Traffic::Reply);
    }
    const uint8_t byte = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wakePipe[1], &byte, 1);
}

std::vector<Kr8SimReceived> Kr8Simulator::received() const {
    std::lock_guard lock(m_mutex);
    return m_log;
}

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

std::vector<sim::SetupRecord> Kr8Simulator::receivedSetups() const {
    std::lock_guard lock(m_mutex);
    return m_setups;
}

void Kr8Simulator::clearReceived() {
    std::lock_guard lock(m_mutex);
    m_log.clear();
    m_setups.clear();
}

Kr8SimStats Kr8Simulator::stats() const {
    std::lock_guard lock(m_mutex);
    return m_stats;
}

bool Kr8Simulator::waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        uint64_t seen;
        {
            std::lock_guard lock(m_eventMutex);
            seen = m_eventSeq;
        }
        if (pred()) return true;
        std::unique_lock lock(m_eventMutex);
        if (!m_eventCv.wait_until(lock, deadline, [&] { return m_eventSeq != seen; })) {
            lock.unlock();
            return pred();
        }
    }
}

std::optional<Kr8SimReceived> Kr8Simulator::waitForCommand(uint16_t code, std::chrono::milliseconds timeout, size_t nth) {
    std::optional<Kr8SimReceived> found;
    waitUntil(
        [&] {
            const auto commands = receivedCommands(code);
            if (commands.size() < nth || nth == 0) return false;
            found = commands[nth - 1];
            return true;
        },
        timeout);
    return found;
}

std::optional<Kr8SimReceived> Kr8Simulator::waitForBlock(uint8_t type, std::chrono::milliseconds timeout, size_t nth) {
    std::optional<Kr8SimReceived> found;
    waitUntil(
        [&] {
            const auto blocks = receivedBlocks(type);
            if (blocks.size() < nth || nth == 0) return false;
            found = blocks[nth - 1];
            return true;
        },
        timeout);
    return found;
}

bool Kr8Simulator::waitForText(const std::string& part, std::chrono::milliseconds timeout) {
    return waitUntil(
        [&] {
            for (const std::string& text : receivedTexts())
                if (text.find(part) != std::string::npos) return true;
            return false;
        },
        timeout);
}

bool Kr8Simulator::waitForState(int16_t value, std::chrono::milliseconds timeout) {
    return waitUntil([&] { return state() == value; }, timeout);
}

bool Kr8Simulator::waitForConnection(std::chrono::milliseconds timeout) {
    return waitUntil([&] { return isConnected(); }, timeout);
}

} // namespace cv
