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
#include "protocol/commands.h"

namespace cv {

using namespace std::chrono_literals;
namespace st = sim::state;

namespace {

constexpr size_t kBacklogLimit = 16 * 1024;  // periodic packets wait no longer than this backlog
constexpr auto kLineCheckInterval = 200ms;
constexpr auto kLoopTick = 10ms;
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

} // namespace

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

std::string Kr8Simulator::devicePath() const { return locked(m_path); }

bool Kr8Simulator::isConnected() const { return locked(m_connected); }

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
        std::vector<sim::SentMuxPacket> sent;
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
            sent.swap(m_pendingSent);
            notifyEvent();
        }
        if (m_options.logSink)
            for (const std::string& text : logLines) m_options.logSink(text);
        if (m_options.sentSink)
            for (const sim::SentMuxPacket& packet : sent) m_options.sentSink(packet);
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
// What the logger sends on its own

void Kr8Simulator::periodic(Clock::time_point now) {
    if (m_options.checkLineSpeed && now >= m_nextLineCheck) {
        m_nextLineCheck = now + kLineCheckInterval;
        checkLineSpeed();
    }
    if (m_throttle.rate() != m_faults.throttleBytesPerSecond) m_throttle.setRate(m_faults.throttleBytesPerSecond, now);
    if (m_state == st::kClearMemory && now >= m_clearMemoryUntil) m_state = st::kStandby;
    wakeIfDueLocked();

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
    streamPeriodicLocked(now);
    if (m_portTest && now >= m_nextPortTestLine) {
        m_nextPortTestLine = now + 1s;
        char line[96];
        std::snprintf(line, sizeof line, "PORT %d TEST %u,%d,%c,1 LINE %u\r\n", m_portTest->port,
                      unsigned(m_portTest->testBaud), m_portTest->testDataBits, m_portTest->testParity == 2 ? 'E' : 'N',
                      unsigned(++m_portTestLines));
        queue(reinterpret_cast<const uint8_t*>(line), std::strlen(line), Traffic::Periodic);
    }
    uploadPeriodicLocked(now);
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

Kr8SimStats Kr8Simulator::stats() const { return locked(m_stats); }

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
