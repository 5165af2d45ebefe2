#pragma once
// The speed choices every speed box of the program offers (the logger port, the PC logger
// lines, the setup screen's ports, the port test), index = speed choice. Every other list of
// speed texts is derived from this one.
#include <array>
#include <cstddef>

namespace cv {

constexpr int kSpeedChoiceOff = 0;
constexpr int kTopSpeedChoice = 11;  // "115200"

inline constexpr std::array<const char*, kTopSpeedChoice + 1> kSpeedChoiceItems = {
    "OFF", "600", "1200", "2400", "4800", "4800,7,E,1", "9600", "9600,7,E,1", "19200", "38400", "57600", "115200"};

// What each speed choice sets on a line: baud (0 for "OFF"), data bits and parity (0 none, 2
// even), index = speed choice.
struct SpeedSetting {
    int baud;
    int dataBits;
    int parity;
};
inline constexpr std::array<SpeedSetting, kTopSpeedChoice + 1> kSpeedChoiceSettings = {{{0, 8, 0},
                                                                                      {600, 8, 0},
                                                                                      {1200, 8, 0},
                                                                                      {2400, 8, 0},
                                                                                      {4800, 8, 0},
                                                                                      {4800, 7, 2},
                                                                                      {9600, 8, 0},
                                                                                      {9600, 7, 2},
                                                                                      {19200, 8, 0},
                                                                                      {38400, 8, 0},
                                                                                      {57600, 8, 0},
                                                                                      {115200, 8, 0}}};

// The speed choice (1..kTopSpeedChoice) of a line's baud and data bits: where a baud has a 7-bit
// choice too, any data bits but 8 take it; `otherwise` for a baud no choice has.
constexpr int speedChoiceOfLine(int baud, int dataBits, int otherwise) {
    int any = otherwise;
    for (int i = kTopSpeedChoice; i >= 1; --i) {
        const SpeedSetting& s = kSpeedChoiceSettings[std::size_t(i)];
        if (s.baud != baud) continue;
        if ((s.dataBits == 8) == (dataBits == 8)) return i;
        any = i;
    }
    return any;
}

} // namespace cv
