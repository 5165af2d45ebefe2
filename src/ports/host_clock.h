#pragma once
// The PC clock as the host uses it: calendar seconds, local broken-down time with day of the
// year and daylight-saving flag, the zone offset west of UTC, hundredths, elapsed milliseconds.
#include <cstdint>
#include <ctime>

#include "base/logger_time.h"

namespace cv {

class HostClock {
public:
    virtual ~HostClock() = default;
    virtual int64_t now() = 0;                       // seconds since 1970 UTC
    virtual std::tm localTime(int64_t seconds) = 0;  // local calendar fields, tm_isdst set
    virtual int64_t fromLocalTime(std::tm fields) = 0;  // inverse of localTime (mktime)
    virtual long offsetWest() = 0;                   // seconds west of UTC, standard time
    virtual int hundredths() = 0;                    // hundredths of the current second
    virtual uint32_t elapsedMs() = 0;                // monotonic milliseconds, wraps
    // Milliseconds since 1970-01-01T00:00:00Z: the arrival time kept with recorded records.
    virtual int64_t utcMs() { return now() * 1000 + hundredths() * 10; }
};

// The zone state of the PC at `pcNow`.
ZoneState zoneAt(HostClock& clock, int64_t pcNow);

// Tells when a new local clock minute has begun, asked once a second: the recorder's hourly and
// daily files change with it and cvrecord's status line is due.
class MinuteWatch {
public:
    explicit MinuteWatch(HostClock& clock) : m_clock(clock), m_minute(minuteNow()) {}
    // True on the first call in a new minute.
    bool newMinute() {
        const int minute = minuteNow();
        if (minute == m_minute) return false;
        m_minute = minute;
        return true;
    }

private:
    int minuteNow() { return m_clock.localTime(m_clock.now()).tm_min; }
    HostClock& m_clock;
    int m_minute;
};

// The C runtime clock.
class SystemClock : public HostClock {
public:
    int64_t now() override;
    std::tm localTime(int64_t seconds) override;
    int64_t fromLocalTime(std::tm fields) override;
    long offsetWest() override;
    int hundredths() override;
    uint32_t elapsedMs() override;
    int64_t utcMs() override;
};

} // namespace cv
