#pragma once
// printf- and strftime-style texts: every text the program shows or writes with a C format
// goes through here, so widths, rounding and padding are those of the C library.
#include <cstdarg>
#include <ctime>
#include <string>

namespace cv {

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char* fmt, va_list args);

// strftime of a broken-down time; an empty result for a format that yields nothing.
std::string formatTime(const char* fmt, const std::tm& tm);

// Broken-down calendar fields of a second count taken as UTC, with no zone or daylight
// correction: the logger's clock is already local wall-clock time.
std::tm wallClockFields(int64_t seconds);

} // namespace cv
