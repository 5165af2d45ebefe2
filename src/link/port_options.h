#pragma once
// The logger port's command-line values, read alike by every program that opens the port:
// --com N=DEVICE and --speed BAUD.
#include <string>

namespace cv {

// "N=DEVICE" (or "COMN=DEVICE") with N from 1 to 12 and a device, as the port map takes it.
bool isComMapping(const std::string& text);
// "9600", "115200", "4800,7,E,1" or "9600,7,E,1" (blanks ignored) to a speed choice; 0 when unknown.
int speedChoiceOfText(std::string text);
// The speeds --speed takes, as the speed boxes list them: "600 .. 115200, 4800,7,E,1 or 9600,7,E,1".
std::string speedChoicesText();

} // namespace cv
