#pragma once
// The speed choices every speed box of the program offers (the logger port, the PC logger
// lines, the setup screen's ports, the port test), index = speed choice. Every other list of
// speed texts is derived from this one.
#include <array>

namespace cv {

constexpr int kSpeedChoiceOff = 0;
constexpr int kTopSpeedChoice = 11;  // "115200"

inline constexpr std::array<const char*, kTopSpeedChoice + 1> kSpeedChoiceItems = {
    "OFF", "600", "1200", "2400", "4800", "4800,7,E,1", "9600", "9600,7,E,1", "19200", "38400", "57600", "115200"};

} // namespace cv
