#include "link/line_load.h"

#include "base/text_format.h"
#include "link/port_slots.h"
#include "ports/serial_device.h"

namespace cv {

uint32_t lineBytesPerSecond(int speedChoice) {
    if (speedChoice <= 0) return 0;
    const LineSettings line = parseLineSettings(settingsStringOf(settingsIndexOfChoice(speedChoice, 6)));
    const int bitsPerByte = 1 + line.dataBits + (line.parity == 'N' ? 0 : 1) + line.stopBits;
    return line.baud > 0 && bitsPerByte > 0 ? uint32_t(line.baud / bitsPerByte) : 0;
}

void LineLoad::restart() {
    m_count = 0;
    m_next = 0;
    m_percent = 0;
    m_busy = false;
    m_full = false;
    m_clockOffset.reset();
    m_lastOffset.reset();
}

void LineLoad::sample(uint32_t bytesReceived, uint32_t nowMs, int comNumber, int speedChoice, bool uploading) {
    if (comNumber != m_comNumber || speedChoice != m_speedChoice) {
        restart();
        m_comNumber = comNumber;
        m_speedChoice = speedChoice;
    }
    m_samples[m_next] = Sample{nowMs, bytesReceived};
    m_next = (m_next + 1) % kSamples;
    if (m_count < kSamples) ++m_count;

    // The oldest sample within the window, or the one before the newest when the ticks came late.
    const int newest = (m_next + kSamples - 1) % kSamples;
    int oldest = newest;
    for (int back = 1; back < m_count; ++back) {
        const int i = (newest + kSamples - back) % kSamples;
        if (back > 1 && nowMs - m_samples[i].ms > kWindowMs) break;
        oldest = i;
    }
    const uint32_t spanMs = nowMs - m_samples[oldest].ms;
    const uint32_t capacity = comNumber > 0 ? lineBytesPerSecond(speedChoice) : 0;
    const bool wasBusy = m_busy;
    if (capacity == 0 || spanMs == 0) {
        m_percent = 0;
    } else {
        const uint64_t bytes = uint32_t(bytesReceived - m_samples[oldest].bytes);
        m_percent = int(bytes * 100000 / (uint64_t(spanMs) * capacity));
    }
    m_busy = m_percent >= kBusyPercent && !uploading;
    if (m_busy && !wasBusy) {
        m_busySinceMs = nowMs;
        m_lastOffset.reset();  // only statuses that came through the busy line tell the wait
    }
    m_full = m_busy && nowMs - m_busySinceMs >= kHoldMs;
}

void LineLoad::noteStatusOffset(int64_t offset) {
    if (m_busy || m_full)
        m_lastOffset = offset;
    else
        m_clockOffset = offset;
}

std::optional<int64_t> LineLoad::lateSeconds() const {
    if (!m_full || !m_clockOffset || !m_lastOffset) return std::nullopt;
    const int64_t wait = *m_clockOffset - *m_lastOffset;
    return wait > 0 ? wait : 0;
}

std::string lineFullText(const LineLoad& load) {
    if (!load.full()) return {};
    if (const std::optional<int64_t> late = load.lateSeconds())
        return format("Line full: data about %lld s late", static_cast<long long>(*late));
    return "Line full: data late";
}

} // namespace cv
