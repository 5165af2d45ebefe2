#pragma once
// Paces bytes to a line speed: a token bucket that holds at most a few milliseconds of bytes, so
// output leaves as evenly as it would from a UART.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace cv::sim {

class LineThrottle {
public:
    using Clock = std::chrono::steady_clock;

    // 0 bytes per second: no limit.
    void setRate(uint32_t bytesPerSecond, Clock::time_point now) {
        m_rate = bytesPerSecond;
        m_tokens = 0;
        m_last = now;
    }
    uint32_t rate() const { return m_rate; }

    size_t allowance(Clock::time_point now) {
        if (m_rate == 0) return std::numeric_limits<size_t>::max();
        const double elapsed = std::chrono::duration<double>(now - m_last).count();
        m_last = now;
        if (elapsed > 0) m_tokens = std::min(m_tokens + elapsed * m_rate, burst());
        return size_t(m_tokens);
    }

    void consume(size_t bytes) {
        if (m_rate == 0) return;
        m_tokens = std::max(0.0, m_tokens - double(bytes));
    }

private:
    // About two milliseconds of bytes: the sending loop wakes every millisecond while it paces.
    double burst() const { return std::max(16.0, m_rate / 500.0); }

    uint32_t m_rate = 0;
    double m_tokens = 0;
    Clock::time_point m_last{};
};

} // namespace cv::sim
