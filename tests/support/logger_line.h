#pragma once
// The host's end of the line to a simulated logger, for tests: raw bytes out, and logger packets
// framed from the bytes that come back by the receiver's rules (written here independently, so
// the simulator's framing is checked by other code than its own).
#include <termios.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cv::test {

struct LoggerPacket {
    uint8_t type = 0;
    std::vector<uint8_t> bytes;
};

// Command packet built byte by byte: 02 02, code, 32-bit and 16-bit arguments, byte sum.
std::vector<uint8_t> commandBytes(uint16_t code, uint16_t arg16 = 0, uint32_t arg32 = 0);
uint16_t le16(const std::vector<uint8_t>& b, size_t at);
int16_t le16s(const std::vector<uint8_t>& b, size_t at);
uint32_t le32(const std::vector<uint8_t>& b, size_t at);
uint16_t be16(const std::vector<uint8_t>& b, size_t at);
bool checksumHolds(const std::vector<uint8_t>& packet);
void reframe(std::vector<uint8_t>& block);  // rewrites the trailing byte sum
int64_t localWallClock();                   // the PC's local wall-clock seconds

// Frames logger packets by the receiver's rules: equal type bytes, the type's length (a mux
// packet's from its big-endian payload length), the byte sum; anything else costs one byte.
struct Framer {
    std::vector<uint8_t> buffer;
    size_t badUpload = 0;  // complete type-4 candidates whose checksum failed
    size_t dropped = 0;
    std::optional<LoggerPacket> frameOne();
};

class LoggerLine {
public:
    explicit LoggerLine(const std::string& devicePath);
    ~LoggerLine();
    LoggerLine(const LoggerLine&) = delete;
    LoggerLine& operator=(const LoggerLine&) = delete;

    void write(const std::vector<uint8_t>& bytes);
    void write(const std::string& text);
    void setLine(speed_t speed, int dataBits);

    // The next framed packet that satisfies pred; packets passed over stay in seen().
    std::optional<LoggerPacket> next(const std::function<bool(const LoggerPacket&)>& pred,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(5));
    std::optional<LoggerPacket> nextOfType(uint8_t type, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Raw bytes without framing, until at least count arrived or the time is up.
    std::vector<uint8_t> readRaw(size_t count, std::chrono::milliseconds timeout);
    // Raw bytes until they hold the text (true) or the time is up (false); consumed either way.
    bool readUntilText(const std::string& part, std::chrono::milliseconds timeout);
    size_t readAvailable();  // bytes waiting right now, consumed into the framer

    const std::vector<LoggerPacket>& seen() const { return m_seen; }
    size_t badUploadCandidates() const { return m_framer.badUpload; }
    size_t droppedBytes() const { return m_framer.dropped; }

private:
    bool pump(std::chrono::milliseconds wait);

    int m_fd = -1;
    Framer m_framer;
    std::vector<LoggerPacket> m_seen;
};

// Every packet that frames in a byte stream.
std::vector<LoggerPacket> framePackets(std::vector<uint8_t> bytes);

// The host's side of one run upload: every block acknowledged, duplicates (same number as the
// block before) not written twice.
struct UploadResult {
    bool finished = false;
    std::vector<uint8_t> bytes;
    std::vector<uint16_t> blockNumbers;  // every block received, duplicates included
    size_t duplicates = 0;
};
UploadResult uploadRun(LoggerLine& line, int16_t runNumber, bool cancelAtFirst = false);

} // namespace cv::test
