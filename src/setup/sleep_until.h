#pragma once
// Putting a moored logger to sleep until a wall-clock date and time: the entry checks, the
// confirmation and the sleep-until command. The wake-up time the logger gets is counted as the
// logger counts its clock: local wall-clock seconds since 1970.
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/commands.h"
#include "ports/host_clock.h"
#include "ports/operator_dialogs.h"

namespace cv::sleepuntil {

struct ClockTime {
    int hour, minute, second;
};
struct CalendarDate {
    int month, day, year;  // year as entered: 0..37 or a four-digit year after 2000
};

// "%d:%d:%d" with hour 0..23, minute and second 0..59.
std::optional<ClockTime> parseTime(const std::string& text);
// "%d/%d/%d" with month 1..12, day 1..31 and a year 0..37 or above 2000.
std::optional<CalendarDate> parseDate(const std::string& text);

// Wall-clock seconds since 1970 of the entry; a day past the end of its month rolls over.
int64_t wallSecondsOf(const CalendarDate& date, const ClockTime& time);

enum class Outcome { Sent, TimeFormatError, DateFormatError, Cancelled, TooSoon, NotSent };

// Checks the two entries, asks the operator to confirm and sends the command. Every refusal is
// one warning box; nothing is sent then.
Outcome requestSleep(const std::string& timeText, const std::string& dateText, HostClock& clock,
                     WarningBox& warnings, OperatorDialogs& dialogs, CommandSink& commands);

} // namespace cv::sleepuntil
