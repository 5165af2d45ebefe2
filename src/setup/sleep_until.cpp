#include "setup/sleep_until.h"

#include <cctype>
#include <limits>

#include "ports/host_clock.h"
#include "base/logger_time.h"
#include "base/text_format.h"

namespace cv::sleepuntil {

namespace {

// Reads three integers separated by `sep` the way "%d<sep>%d<sep>%d" does (blanks before each
// number, an optional sign, trailing text ignored), but never overflows on a long digit run.
std::optional<std::array<long long, 3>> scanThree(const std::string& text, char sep) {
    std::array<long long, 3> out{};
    size_t i = 0;
    for (int n = 0; n < 3; ++n) {
        if (n > 0) {
            if (i >= text.size() || text[i] != sep) return std::nullopt;
            ++i;
        }
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
        const size_t first = i;
        long long value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            if (value < 1000000000LL) value = value * 10 + (text[i] - '0');
            ++i;
        }
        if (i == first) return std::nullopt;
        out[size_t(n)] = negative ? -value : value;
    }
    return out;
}

int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

} // namespace

std::optional<ClockTime> parseTime(const std::string& text) {
    const auto v = scanThree(text, ':');
    if (!v) return std::nullopt;
    const auto [h, m, s] = *v;
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) return std::nullopt;
    return ClockTime{int(h), int(m), int(s)};
}

std::optional<CalendarDate> parseDate(const std::string& text) {
    const auto v = scanThree(text, '/');
    if (!v) return std::nullopt;
    const auto [month, day, year] = *v;
    if (day < 1 || day > 31 || month < 1 || month > 12) return std::nullopt;
    if (!((year >= 0 && year <= 37) || year > 2000)) return std::nullopt;
    return CalendarDate{int(month), int(day), int(year)};
}

int64_t wallSecondsOf(const CalendarDate& date, const ClockTime& time) {
    const int64_t year = date.year <= 37 ? 2000 + date.year : date.year;
    const int64_t days = daysFromCivil(year, date.month, 1) + (date.day - 1);
    return days * 86400 + time.hour * 3600 + time.minute * 60 + time.second;
}

Outcome requestSleep(const std::string& timeText, const std::string& dateText, HostClock& clock,
                     WarningBox& warnings, OperatorDialogs& dialogs, CommandSink& commands) {
    const auto time = parseTime(timeText);
    if (!time) {
        warnings.show("Time Format Error", "Time format is HH:MM:SS");
        return Outcome::TimeFormatError;
    }
    const auto date = parseDate(dateText);
    // The logger's clock is a signed 32-bit count: a wake-up time past it would wrap.
    const int64_t wall = date ? wallSecondsOf(*date, *time) : 0;
    if (!date || wall > std::numeric_limits<int32_t>::max()) {
        warnings.show("Date Format Error",
                      format("Date %s is Invalid\n\nDate Format is MM/DD/YY", dateText.c_str()));
        return Outcome::DateFormatError;
    }

    // One zone snapshot for both directions, so the logger gets exactly the wall time entered
    // even if daylight saving changes while the question is open.
    const ZoneState zone = zoneAt(clock, clock.now());
    const int64_t calendar = pcTimeOfLoggerClock(wall, zone);

    std::string question = "Sleep Until " + formatTime("%H:%M:%S on %m/%d/%y ?", clock.localTime(calendar));
    if (question.size() > 79) question.resize(79);
    dialogs.beep(Icon::Exclamation);
    if (dialogs.ask("KR-8 Sleep Option", question, Buttons::OkCancel, Icon::Exclamation) != Answer::Ok)
        return Outcome::Cancelled;

    if (calendar < clock.now() + 30) {
        warnings.show("Sleep Error", "You must specify a time at least 30 seconds later than the current time");
        return Outcome::TooSoon;
    }
    if (!commands.sendCommand(cmd::kSleepUntil, 0, uint32_t(loggerClockOfPcTime(calendar, zone))))
        return Outcome::NotSent;
    return Outcome::Sent;
}

} // namespace cv::sleepuntil
