#pragma once
// The logger counts local wall-clock seconds since 1970-01-01 00:00; the PC counts UTC seconds.
// The two are converted with the PC's zone offset (seconds west of UTC, standard time) and the
// PC's daylight-saving state right now, the same way in both directions. Every conversion the
// host makes goes through here.
#include <cstdint>
#include <optional>
#include <string>

namespace cv {

struct ZoneState {
    long offsetWest = 0;  // seconds west of UTC
    bool dst = false;     // daylight saving in effect now
};

inline int64_t pcTimeOfLoggerClock(int64_t loggerClock, ZoneState z) {
    return loggerClock + z.offsetWest - (z.dst ? 3600 : 0);
}
inline int64_t loggerClockOfPcTime(int64_t pcTime, ZoneState z) {
    return pcTime - z.offsetWest + (z.dst ? 3600 : 0);
}

// A set-time command is due when asked for once, or when automatic sync is on and the
// logger's clock (in PC terms) is more than five seconds away from the PC's.
bool timeSyncDue(int64_t loggerInPc, int64_t pcNow, bool autoSync, bool syncNowRequested);

// "Drift:  hh:mm:ss Fast " / "... Slow ", or nothing when the clocks are within 5 seconds.
std::optional<std::string> driftText(int64_t loggerInPc, int64_t pcNow);

} // namespace cv
