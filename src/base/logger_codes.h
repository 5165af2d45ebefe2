#pragma once
// Codes the logger uses in more than one record: its states (status record), its operating
// modes (setup record, run Summary), what kind of device it is (status record, hardware
// configuration, run Summary), the port types (setup record, run directory, run Summary) and
// the meter power levels (run Summary). Every rule that tests a code names it here, and so do
// the counts of what every logger has.

namespace cv {

// Serial ports 1..8 besides the logger's own host port, analog channels 1..7, pumps 1..4.
constexpr int kLoggerSerialPorts = 8;
constexpr int kAnalogChannels = 7;
constexpr int kPumps = 4;

namespace loggerstate {
constexpr int kOff = 0;
constexpr int kDelay = 2;
constexpr int kPreFlush = 3;
constexpr int kWarmup = 4;
constexpr int kFlush = 5;
constexpr int kSampling = 6;
constexpr int kClearMemory = 7;
constexpr int kSleeping = 8;
constexpr int kStandby = 9;
constexpr int kUpload = 10;
constexpr int kLowVoltage = 13;
constexpr int kEightVoltLimit = 14;
constexpr int kManualSwitch = 16;
constexpr int kLowPower = 17;
constexpr int kZeroVoltCutoff = 27;
constexpr int kEndOfRun = 30;
} // namespace loggerstate

namespace porttype {
constexpr int kOff = 0;
constexpr int kBq5 = 1;
constexpr int kMfx = 2;
constexpr int kBinary = 4;
constexpr int kPump = 7;
} // namespace porttype

namespace loggermode {
constexpr int kProfile = 0;
constexpr int kMoored = 1;
constexpr int kRealTime = 2;
constexpr int kAnalog = 3;
constexpr int kDirectToFirstPort = 4;  // 4..11: everything on port 1..8 passed to the host port
constexpr int kDirectToLastPort = 11;
constexpr int kPolledMoored = 12;
} // namespace loggermode

namespace devicekind {
constexpr int kNone = 0;
constexpr int kBq5Plus = 1;
constexpr int kKr8 = 2;
constexpr int kVIrov = 3;  // "DOD Erer" on the hardware page and in a run Summary
// These carry their meter on port 1, so the host numbers their other ports from 1 after it.
constexpr bool hasIntegratedMeter(int kind) { return kind == kBq5Plus || kind == kVIrov; }
} // namespace devicekind

namespace outputformat {
constexpr int kStatus = 0;
constexpr int kRealTimeAndStatus = 1;
constexpr int kRealTime = 2;
constexpr int kToFirstLogger = 4;  // 4..11: output to logger 1..8
constexpr int kToLastLogger = 11;
} // namespace outputformat

namespace fileformat {
constexpr int kNoStorage = 0;
constexpr int kArchive = 1;
} // namespace fileformat

namespace analoguse {
constexpr int kOff = 0;
constexpr int kOn = 1;
constexpr int kPumpOn = 2;
} // namespace analoguse

namespace parity {
constexpr int kNone = 0;
constexpr int kOdd = 1;
constexpr int kEven = 2;
} // namespace parity

// The meter's transmit frequency in kHz, as a run Summary names it.
namespace powerlevel {
constexpr int kSixtyPercent = 3860;
constexpr int kSeventyFivePercent = 7860;
constexpr int kStandard = 14720;
constexpr int kTurbo = 16000;
} // namespace powerlevel

} // namespace cv
