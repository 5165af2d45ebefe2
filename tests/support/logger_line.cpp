#include "support/logger_line.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <sstream>
#include <stdexcept>

namespace cv::test {

std::vector<uint8_t> commandBytes(uint16_t code, uint16_t arg16, uint32_t arg32) {
    std::vector<uint8_t> p = {2,
                              2,
                              uint8_t(code),
                              uint8_t(code >> 8),
                              uint8_t(arg32),
                              uint8_t(arg32 >> 8),
                              uint8_t(arg32 >> 16),
                              uint8_t(arg32 >> 24),
                              uint8_t(arg16),
                              uint8_t(arg16 >> 8),
                              0,
                              0};
    reframe(p);
    return p;
}

uint16_t le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b.at(at) | (b.at(at + 1) << 8)); }
int16_t le16s(const std::vector<uint8_t>& b, size_t at) { return int16_t(le16(b, at)); }
uint32_t le32(const std::vector<uint8_t>& b, size_t at) { return uint32_t(le16(b, at)) | (uint32_t(le16(b, at + 2)) << 16); }
uint16_t be16(const std::vector<uint8_t>& b, size_t at) { return uint16_t((b.at(at) << 8) | b.at(at + 1)); }

bool checksumHolds(const std::vector<uint8_t>& packet) {
    if (packet.size() < 4) return false;
    unsigned sum = 0;
    for (size_t i = 0; i + 2 < packet.size(); ++i) sum += packet[i];
    return uint16_t(sum) == le16(packet, packet.size() - 2);
}

void reframe(std::vector<uint8_t>& block) {
    unsigned sum = 0;
    for (size_t i = 0; i + 2 < block.size(); ++i) sum += block[i];
    block[block.size() - 2] = uint8_t(sum);
    block[block.size() - 1] = uint8_t(sum >> 8);
}

int64_t localWallClock() {
    const time_t now = std::time(nullptr);
    std::tm fields{};
    localtime_r(&now, &fields);
    return int64_t(now) + fields.tm_gmtoff;
}

LoggerLine::LoggerLine(const std::string& devicePath) {
    m_fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) throw std::runtime_error("cannot open " + devicePath);
    setLine(B9600, 8);
}

LoggerLine::~LoggerLine() {
    if (m_fd >= 0) ::close(m_fd);
}

void LoggerLine::setLine(speed_t speed, int dataBits) {
    termios tio{};
    tcgetattr(m_fd, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tio.c_cflag &= ~tcflag_t(CSIZE | PARENB);
    tio.c_cflag |= (dataBits == 7 ? CS7 : CS8) | CLOCAL | CREAD;
    tcsetattr(m_fd, TCSANOW, &tio);
}

void LoggerLine::write(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
        } else {
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
    }
}

void LoggerLine::write(const std::string& text) { write(std::vector<uint8_t>(text.begin(), text.end())); }

bool LoggerLine::pump(std::chrono::milliseconds wait) {
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, int(wait.count())) <= 0) return false;
    return readAvailable() > 0;
}

size_t LoggerLine::readAvailable() {
    size_t total = 0;
    uint8_t chunk[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n <= 0) break;
        m_framer.buffer.insert(m_framer.buffer.end(), chunk, chunk + n);
        total += size_t(n);
    }
    return total;
}

std::optional<LoggerPacket> Framer::frameOne() {
    static const size_t fixedLength[8] = {192, 12, 132, 1036, 64, 44, 58, 0};
    while (buffer.size() >= 2) {
        const uint8_t t = buffer[0];
        if (t >= 1 && t <= 8 && buffer[1] == t) {
            size_t length = fixedLength[t - 1];
            if (t == 8) {
                if (buffer.size() < 8) return std::nullopt;
                length = 36 + size_t(be16(buffer, 6));
            }
            if (buffer.size() < length) return std::nullopt;
            std::vector<uint8_t> candidate(buffer.begin(), buffer.begin() + long(length));
            if (checksumHolds(candidate)) {
                buffer.erase(buffer.begin(), buffer.begin() + long(length));
                return LoggerPacket{t, std::move(candidate)};
            }
            if (t == 4) ++badUpload;
        }
        buffer.erase(buffer.begin());
        ++dropped;
    }
    return std::nullopt;
}

std::optional<LoggerPacket> LoggerLine::next(const std::function<bool(const LoggerPacket&)>& pred,
                                             std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        while (auto packet = m_framer.frameOne()) {
            m_seen.push_back(*packet);
            if (pred(*packet)) return packet;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return std::nullopt;
        pump(std::min(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now), std::chrono::milliseconds(50)));
    }
}

std::optional<LoggerPacket> LoggerLine::nextOfType(uint8_t type, std::chrono::milliseconds timeout) {
    return next([type](const LoggerPacket& p) { return p.type == type; }, timeout);
}

std::vector<uint8_t> LoggerLine::readRaw(size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_framer.buffer.size() < count) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) break;
        pump(std::min(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now), std::chrono::milliseconds(50)));
    }
    std::vector<uint8_t> out;
    out.swap(m_framer.buffer);
    return out;
}

bool LoggerLine::readUntilText(const std::string& part, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const std::string text(m_framer.buffer.begin(), m_framer.buffer.end());
        if (text.find(part) != std::string::npos) {
            m_framer.buffer.clear();
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            m_framer.buffer.clear();
            return false;
        }
        pump(std::min(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now), std::chrono::milliseconds(50)));
    }
}

std::vector<LoggerPacket> framePackets(std::vector<uint8_t> bytes) {
    Framer framer;
    framer.buffer = std::move(bytes);
    std::vector<LoggerPacket> out;
    while (auto packet = framer.frameOne()) out.push_back(*packet);
    return out;
}

UploadResult uploadRun(LoggerLine& line, int16_t runNumber, bool cancelAtFirst) {
    UploadResult result;
    line.write(commandBytes(0xBABA, uint16_t(runNumber)));
    std::optional<uint16_t> last;
    for (;;) {
        auto block = line.nextOfType(4);
        if (!block) return result;
        const uint16_t number = le16(block->bytes, 2);
        const int16_t count = le16s(block->bytes, 6);
        result.blockNumbers.push_back(number);
        line.write(commandBytes(0xA9A9, number, cancelAtFirst ? 2 : 1));
        if (count > 0 && last && *last == number) {
            ++result.duplicates;
        } else if (count > 0) {
            result.bytes.insert(result.bytes.end(), block->bytes.begin() + 8, block->bytes.begin() + 8 + std::min<int>(count, 1024));
        } else if (count == 0) {
            result.finished = true;
            return result;
        }
        last = number;
    }
}

} // namespace cv::test
