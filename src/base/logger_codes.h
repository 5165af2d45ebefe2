#pragma once
// Codes the logger uses in more than one record: its states (status record) and the port
// types (setup record, run directory, run Summary). Every rule that tests a code names it here.

namespace cv {

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

} // namespace cv
