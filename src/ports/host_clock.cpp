#include "ports/host_clock.h"

#include <chrono>
#include <sys/time.h>

namespace cv {

int64_t SystemClock::now() { return int64_t(std::time(nullptr)); }

std::tm SystemClock::localTime(int64_t seconds) {
    std::time_t t = std::time_t(seconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

int64_t SystemClock::fromLocalTime(std::tm fields) { return int64_t(std::mktime(&fields)); }

long SystemClock::offsetWest() {
    tzset();
    return long(timezone);
}

int SystemClock::hundredths() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return int(tv.tv_usec / 10000);
}

uint32_t SystemClock::elapsedMs() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int64_t SystemClock::utcMs() {
    using namespace std::chrono;
    return int64_t(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

ZoneState zoneAt(HostClock& clock, int64_t pcNow) {
    ZoneState z;
    z.offsetWest = clock.offsetWest();
    z.dst = clock.localTime(pcNow).tm_isdst > 0;
    return z;
}

} // namespace cv
