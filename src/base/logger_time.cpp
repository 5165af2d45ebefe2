#include "base/logger_time.h"

#include "base/text_format.h"

namespace cv {

bool timeSyncDue(int64_t loggerInPc, int64_t pcNow, bool autoSync, bool syncNowRequested) {
    if (syncNowRequested) return true;
    return autoSync && (loggerInPc < pcNow - 5 || loggerInPc > pcNow + 5);
}

std::optional<std::string> driftText(int64_t loggerInPc, int64_t pcNow) {
    const int64_t d = pcNow > loggerInPc ? pcNow - loggerInPc : loggerInPc - pcNow;
    if (d < 5) return std::nullopt;
    const long hours = long(d / 3600);
    const long minutes = long((d - int64_t(hours) * 3600) / 60);
    const long seconds = long(d % 60);
    if (loggerInPc > pcNow) return format("Drift:  %02ld:%02ld:%02ld Fast ", hours, minutes, seconds);
    return format("Drift:  %02ld:%02ld:%02ld Slow ", hours, minutes, seconds);
}

} // namespace cv
