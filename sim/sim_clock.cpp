// The logger's clock: local wall-clock seconds with an offset the host sets, and the wake-up
// of a logger put to sleep until a time.
#include <ctime>

#include "sim_logger.h"

namespace cv::sim {

namespace {

int64_t localWallClockNow() {
    const time_t now = std::time(nullptr);
    std::tm fields{};
    localtime_r(&now, &fields);
    return int64_t(now) + fields.tm_gmtoff;
}

} // namespace

int64_t SimLogger::loggerClockLocked() const { return localWallClockNow() + m_clockOffset; }

void SimLogger::setLoggerClock(int64_t seconds) { m_clockOffset = seconds - localWallClockNow(); }

void SimLogger::wakeIfDue() {
    if (m_state == state::kSleeping && m_wakeTime && loggerClockLocked() >= *m_wakeTime) wakeUp();
}

int64_t SimLogger::clockOffset() const { return m_core.locked(m_clockOffset); }

void SimLogger::setClockOffset(int64_t seconds) { m_core.setLocked(m_clockOffset, seconds); }

int64_t SimLogger::loggerClock() const {
    std::lock_guard lock(m_core.mutex());
    return loggerClockLocked();
}

std::optional<int64_t> SimLogger::wakeTime() const { return m_core.locked(m_wakeTime); }

} // namespace cv::sim
