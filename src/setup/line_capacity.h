#pragma once
// Whether a setup's stream fits the logger's host port: a rough count of the bytes the logger
// will send each second against what the line carries. A record goes out per analog scan and
// carries the mux framing, two bytes per analog channel and what each instrument port delivered
// since the last record (a typical line of its kind, no more than its own line can carry in that
// time); the status adds its record once a second. Good enough to warn before Send, not a promise.
#include <string>

#include "setup/setup_record.h"

namespace cv::setup {

struct LineLoadEstimate {
    int bytesPerSecond = 0;      // what the setup sends
    int lineBytesPerSecond = 0;  // what the host port carries
    int hostBaud = 0;
};

// From the record as Send would send it (the rules of encoding applied).
LineLoadEstimate estimateLineLoad(const SetupBytes& record);

// "Host port too slow: this setup sends about 1398 B/s, 9600 baud carries 960 B/s", "Host port
// nearly full: this setup sends about 900 of 960 B/s", each with what gives room; empty when it fits.
std::string lineLoadWarning(const LineLoadEstimate& estimate);

// What Send will do to the analog rate the screen shows, said before Send does it: the modes that
// do not stream cap it at 8 Hz, and fast meters raise it. Empty when the rate goes out as shown.
std::string analogRateSentNote(int shownRate, int sentRate);

// The fields the host owns are the same in both records: the logger holds what was sent.
bool sameOwnedFields(const SetupBytes& a, const SetupBytes& b);

} // namespace cv::setup
