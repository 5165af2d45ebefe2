// The logger's clock: local wall-clock seconds with an offset the host sets, and the wake-up
// of a logger put to sleep until a time.
#include "simulator.h"

#include <ctime>

namespace cv {

namespace {

int64_t localWallClockNow() {
    const time_t now = std::time(nullptr);
    std::tm fields{};
    localtime_r(&now, &fields);
    return int64_t(now) + fields.tm_gmtoff;
}

} // namespace

int64_t Kr8Simulator::loggerClockLocked() const { return localWallClockNow() + m_clockOffset; }

void Kr8Simulator::setLoggerClockLocked(int64_t seconds) { m_clockOffset = seconds - localWallClockNow(); }

void Kr8Simulator::wakeIfDueLocked() {
    if (m_state == sim::state::kSleeping && m_wakeTime && loggerClockLocked() >= *m_wakeTime) wakeUpLocked();
}

int64_t Kr8Simulator::clockOffset() const { return locked(m_clockOffset); }

void Kr8Simulator::setClockOffset(int64_t seconds) { setLocked(m_clockOffset, seconds); }

int64_t Kr8Simulator::loggerClock() const {
    std::lock_guard lock(m_mutex);
    return loggerClockLocked();
}

std::optional<int64_t> Kr8Simulator::wakeTime() const { return locked(m_wakeTime); }

} // namespace cv
