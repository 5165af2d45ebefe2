#include "sim_line.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace cv::sim {

using namespace std::chrono_literals;

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

LineSetting hostLineOf(const SetupRecord& setup) {
    LineSetting line;
    const int32_t baud = setupBaud(setup, 0);
    if (baudOf(speedConstant(baud)) == baud && baud > 0) {
        line.baud = baud;
        line.bits = setupDataBits(setup, 0) == 7 ? 7 : 8;
        line.parity = setupParity(setup, 0) == 2 ? 2 : 0;
    }
    return line;
}

SimLine::~SimLine() { stop(); }

std::string SimLine::startPty() {
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
    LineSetting line;
    {
        std::lock_guard lock(m_core.mutex());
        line = m_client.hostLineLocked();
    }
    applyRawLine(slave, line);
    // The slave stays closed until a host opens it, so a hang-up tells that nobody listens.
    ::close(slave);
    startThread(master, true, name);
    return name;
}

void SimLine::startDevice(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    if (isatty(fd)) {
        LineSetting line;
        {
            std::lock_guard lock(m_core.mutex());
            line = m_client.hostLineLocked();
        }
        applyRawLine(fd, line);
    }
    startThread(fd, false, path);
}

void SimLine::startFd(int fd) {
    if (fd < 0) throw std::runtime_error("no descriptor to run on");
    startThread(fd, false, {});
}

void SimLine::startThread(int fd, bool isPty, const std::string& path) {
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
        std::lock_guard lock(m_core.mutex());
        m_fd = fd;
        m_isPty = isPty;
        m_path = path;
        m_connected = false;
        const auto now = SimClock::now();
        m_throttle.setRate(m_core.faults.throttleBytesPerSecond, now);
        m_client.lineStartedLocked(now);
        m_nextLineCheck = now;
    }
    m_stopRequested = false;
    m_running = true;
    m_thread = std::thread([this] { threadMain(); });
}

void SimLine::stop() {
    if (!m_thread.joinable()) return;
    m_stopRequested = true;
    wake();
    m_thread.join();
    std::lock_guard lock(m_core.mutex());
    if (m_fd >= 0) ::close(m_fd);
    for (int& fd : m_wakePipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    m_fd = -1;
    m_connected = false;
    m_running = false;
    m_core.notifyEvent();
}

void SimLine::wake() {
    const uint8_t byte = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wakePipe[1], &byte, 1);
}

bool SimLine::isRunning() const { return m_running; }

std::string SimLine::devicePath() const { return m_core.locked(m_path); }

bool SimLine::isConnected() const { return m_core.locked(m_connected); }

bool SimLine::waitForConnection(std::chrono::milliseconds timeout) {
    return m_core.waitUntil([&] { return isConnected(); }, timeout);
}

void SimLine::injectRaw(const std::vector<uint8_t>& bytes) {
    {
        std::lock_guard lock(m_core.mutex());
        queue(bytes.data(), bytes.size(), Traffic::Reply);
    }
    wake();
}

void SimLine::threadMain() {
    while (!m_stopRequested) {
        pollfd line{m_fd, POLLIN, 0};
        pollfd wakeUp{m_wakePipe[0], POLLIN, 0};
        bool connected;
        bool wantOut;
        bool pacing;
        {
            std::lock_guard lock(m_core.mutex());
            connected = m_connected;
            // A throttled line sends on a fine tick of its own, byte-time by byte-time as a UART
            // would; waiting for room would only spin.
            pacing = m_outPos < m_out.size() && m_throttle.rate() != 0;
            wantOut = m_outPos < m_out.size() && m_throttle.rate() == 0;
        }
        if (connected) {
            if (wantOut) line.events |= POLLOUT;
            pollfd both[2] = {line, wakeUp};
            ::poll(both, 2, pacing ? 1 : int(kLoopTick.count()));
            line = both[0];
            wakeUp = both[1];
        } else {
            // With nobody on the line a pseudo-terminal reports a hang-up at once; look at it
            // without waiting, and rest on the wake pipe instead.
            ::poll(&wakeUp, 1, int(kLoopTick.count()));
            ::poll(&line, 1, 0);
        }
        if (wakeUp.revents & POLLIN) {
            uint8_t drain[64];
            while (::read(m_wakePipe[0], drain, sizeof drain) > 0) {
            }
        }
        if (m_stopRequested) break;
        const auto now = SimClock::now();
        if (line.revents & POLLIN) readInput(now);
        const bool hungUp = (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;

        {
            std::lock_guard lock(m_core.mutex());
            if (!hungUp && !m_connected) onConnected();
            // What arrived before a hang-up is still heard; only the answers are lost.
            m_parser.tick(now);
            for (const HostInput& in : m_parser.take()) m_client.heardLocked(in, now);
            lineTick(now);
            m_client.tickLocked(now);
            flushOutput(now);
            if (hungUp && m_connected) onDisconnected(now);
            m_client.tickEndedLocked();
            m_core.notifyEvent();
        }
        m_client.tickEnded();
    }
}

void SimLine::readInput(SimClock::time_point now) {
    uint8_t buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) break;
        std::lock_guard lock(m_core.mutex());
        m_core.stats.bytesReceived += uint64_t(n);
        if (garbling()) {
            // At the wrong speed the logger's UART makes nothing of the host's bytes.
            m_core.stats.bytesIgnored += uint64_t(n);
            continue;
        }
        m_parser.feed(buffer, size_t(n), now);
    }
}

void SimLine::onConnected() {
    m_connected = true;
    ++m_core.stats.connections;
}

void SimLine::onDisconnected(SimClock::time_point now) {
    // Text the host wrote just before closing is still logged.
    m_parser.tick(now + std::chrono::hours(1));
    for (const HostInput& in : m_parser.take()) m_client.heardLocked(in, now);
    m_connected = false;
    m_core.stats.bytesDropped += m_out.size() - m_outPos;
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

void SimLine::lineTick(SimClock::time_point now) {
    if (m_core.options.checkLineSpeed && now >= m_nextLineCheck) {
        m_nextLineCheck = now + kLineCheckInterval;
        checkLineSpeed();
    }
    const uint32_t rate = m_core.faults.throttleBytesPerSecond;
    if (m_throttle.rate() != rate) m_throttle.setRate(rate, now);
}

void SimLine::checkLineSpeed() {
    termios tio{};
    if (m_fd < 0 || tcgetattr(m_fd, &tio) != 0) {
        m_lineMismatch = false;
        return;
    }
    const LineSetting expected = m_client.hostLineLocked();
    const int bits = (tio.c_cflag & CSIZE) == CS7 ? 7 : 8;
    const int parity = (tio.c_cflag & PARENB) ? ((tio.c_cflag & PARODD) ? 1 : 2) : 0;
    m_lineMismatch = baudOf(cfgetospeed(&tio)) != expected.baud || bits != expected.bits || parity != expected.parity;
}

bool SimLine::garbling() const { return m_core.faults.baudMismatch || (m_core.options.checkLineSpeed && m_lineMismatch); }

bool SimLine::queue(const uint8_t* bytes, size_t count, Traffic traffic) {
    if (!m_connected || m_core.faults.silent ||
        (traffic == Traffic::Periodic && m_out.size() - m_outPos > kBacklogLimit)) {
        m_core.stats.bytesDropped += count;
        return false;
    }
    if (m_outPos > 0 && m_outPos == m_out.size()) {
        m_out.clear();
        m_outPos = 0;
    }
    if (garbling()) {
        // Bytes sampled at the wrong speed: never two equal packet-type bytes in a row, so no
        // packet head can ever form.
        for (size_t i = 0; i < count; ++i) {
            uint8_t b = uint8_t(m_core.rng());
            if (b == m_lastGarbage && b >= 1 && b <= 10) b ^= 0x80;
            m_out.push_back(b);
            m_lastGarbage = b;
        }
        m_core.stats.garbageBytesSent += count;
    } else {
        m_out.insert(m_out.end(), bytes, bytes + count);
        m_lastGarbage = 0;
    }
    m_queuedTotal += count;
    return true;
}

void SimLine::flushOutput(SimClock::time_point now) {
    if (m_outPos >= m_out.size() || m_fd < 0) return;
    const size_t pending = m_out.size() - m_outPos;
    const size_t allowed = std::min(pending, m_throttle.allowance(now));
    if (allowed == 0) return;
    const ssize_t n = ::write(m_fd, m_out.data() + m_outPos, allowed);
    if (n <= 0) return;
    m_outPos += size_t(n);
    m_writtenTotal += uint64_t(n);
    m_core.stats.bytesSent += uint64_t(n);
    m_throttle.consume(size_t(n));
    if (m_outPos == m_out.size()) {
        m_out.clear();
        m_outPos = 0;
    } else if (m_outPos > 64 * 1024) {
        m_out.erase(m_out.begin(), m_out.begin() + long(m_outPos));
        m_outPos = 0;
    }
}

} // namespace cv::sim
