#pragma once
// Cuts what the host writes to the logger into command packets, typed blocks and raw text.
// Write boundaries do not survive a serial line, so framing goes by the block heads and their
// checksums, and text is closed by a line end or a quiet gap.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cv::sim {

struct HostInput {
    enum class Kind { Command, Block, Text };
    Kind kind = Kind::Text;
    uint8_t blockType = 0;  // 2 for commands; 1, 6, 7, 10 for blocks
    uint16_t code = 0;      // commands only
    uint32_t arg32 = 0;
    uint16_t arg16 = 0;
    std::vector<uint8_t> bytes;  // the whole packet, block or text as received
    std::string text() const { return std::string(bytes.begin(), bytes.end()); }
};

// Length of the host-to-logger block of a type, 0 for a type the host never sends.
size_t hostBlockLength(uint8_t type);

class HostInputParser {
public:
    using Clock = std::chrono::steady_clock;

    // textGap: quiet time that closes a text; headWait: quiet time after which an incomplete
    // block head is taken for text after all.
    explicit HostInputParser(std::chrono::milliseconds textGap = std::chrono::milliseconds(50),
                             std::chrono::milliseconds headWait = std::chrono::milliseconds(500));

    void feed(const uint8_t* data, size_t count, Clock::time_point now);
    void tick(Clock::time_point now);
    std::vector<HostInput> take();
    void reset();
    size_t pendingBytes() const { return m_buffer.size() + m_text.size(); }

private:
    void parse(Clock::time_point now);
    void flushText();

    static constexpr size_t kMaxText = 4096;
    std::chrono::milliseconds m_textGap;
    std::chrono::milliseconds m_headWait;
    std::vector<uint8_t> m_buffer;
    std::vector<uint8_t> m_text;
    std::vector<HostInput> m_out;
    Clock::time_point m_lastByte{};
};

} // namespace cv::sim
