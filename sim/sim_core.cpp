#include "sim_core.h"

namespace cv::sim {

SimCore::SimCore(Kr8SimOptions opts) : options(std::move(opts)), faults(options.faults), rng(options.seed) {}

bool SimCore::chance(double fraction) {
    if (fraction <= 0) return false;
    if (fraction >= 1) return true;
    return std::uniform_real_distribution<double>(0.0, 1.0)(rng) < fraction;
}

void SimCore::notifyEvent() {
    {
        std::lock_guard lock(m_eventMutex);
        ++m_eventSeq;
    }
    m_eventCv.notify_all();
}

bool SimCore::waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto deadline = SimClock::now() + timeout;
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

} // namespace cv::sim
