#include "host_input.h"

#include "base/bytes.h"

namespace cv::sim {

size_t hostBlockLength(uint8_t type) {
    switch (type) {
    case 1: return 192;
    case 2: return 12;
    case 6: return 44;
    case 7: return 58;
    case 10: return 24;
    default: return 0;
    }
}

HostInputParser::HostInputParser(std::chrono::milliseconds textGap, std::chrono::milliseconds headWait)
    : m_textGap(textGap), m_headWait(headWait) {}

void HostInputParser::feed(const uint8_t* data, size_t count, Clock::time_point now) {
    if (count == 0) return;
    m_buffer.insert(m_buffer.end(), data, data + count);
    m_lastByte = now;
    parse(now);
}

void HostInputParser::tick(Clock::time_point now) { parse(now); }

std::vector<HostInput> HostInputParser::take() {
    std::vector<HostInput> out;
    out.swap(m_out);
    return out;
}

void HostInputParser::reset() {
    m_buffer.clear();
    m_text.clear();
    m_out.clear();
}

void HostInputParser::flushText() {
    if (m_text.empty()) return;
    HostInput in;
    in.kind = HostInput::Kind::Text;
    in.bytes.swap(m_text);
    m_out.push_back(std::move(in));
}

void HostInputParser::parse(Clock::time_point now) {
    const bool headStalled = now - m_lastByte >= m_headWait;
    size_t pos = 0;
    while (pos < m_buffer.size()) {
        const uint8_t b0 = m_buffer[pos];
        const size_t length = hostBlockLength(b0);
        const size_t held = m_buffer.size() - pos;
        if (length > 0 && held >= 2 && m_buffer[pos + 1] == b0) {
            if (held < length) {
                if (!headStalled) break;  // wait for the rest of the block
            } else if (packetChecksumOk(&m_buffer[pos], length)) {
                flushText();
                HostInput in;
                in.kind = length == 12 ? HostInput::Kind::Command : HostInput::Kind::Block;
                in.blockType = b0;
                in.bytes.assign(m_buffer.begin() + long(pos), m_buffer.begin() + long(pos + length));
                if (in.kind == HostInput::Kind::Command) {
                    in.code = getU16le(&in.bytes[2]);
                    in.arg32 = getU32le(&in.bytes[4]);
                    in.arg16 = getU16le(&in.bytes[8]);
                }
                m_out.push_back(std::move(in));
                pos += length;
                continue;
            }
        } else if (length > 0 && held == 1 && !headStalled) {
            // May be the first byte of a block head, unless it is the LF of a CR LF line end.
            const bool lineEnd = b0 == '\n' && !m_text.empty() && m_text.back() == '\r';
            if (!lineEnd) break;
        }
        m_text.push_back(b0);
        ++pos;
        if (b0 == '\n' || m_text.size() >= kMaxText) flushText();
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + long(pos));
    if (now - m_lastByte >= m_textGap) flushText();
}

} // namespace cv::sim
