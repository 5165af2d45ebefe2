#pragma once
// The run file as the KR-8 writes it into flash: records of a little-endian size and type
// followed by the payload, the Summary record first. The simulator's generator, its recorder
// and its directory all read and write files through these numbers.
#include <cstddef>

namespace cv::sim::runfile {

// Record types. METER and ARCHIVEMUX records number ports 1..4 from the first type of each
// pair and ports 5..8 from the second.
constexpr int kMeter1 = 1;
constexpr int kArchiveMux1 = 5;
constexpr int kBattery = 9;
constexpr int kTimeStamp = 10;
constexpr int kSummary = 11;
constexpr int kAnalogRaw = 12;
constexpr int kAnalogTimed = 13;
constexpr int kArchiveTime = 14;
constexpr int kMeter5 = 15;
constexpr int kArchiveMux5 = 19;
constexpr int kArchiveKrMux = 23;
constexpr int kSenderUnitId = 24;
constexpr int kArchiveHeader = 25;
constexpr int kHighestType = 26;

constexpr size_t kRecordHeaderLength = 4;  // size, type
constexpr size_t kMaxPayload = 2080;

// Summary payload: every multi-byte field big-endian; arrays of nine cover the host port
// (entry 0) and ports 1..8.
namespace summary {
constexpr size_t kLength = 254;
constexpr size_t kRunNumber = 0;
constexpr size_t kMode = 2;
constexpr size_t kLoggerKind = 4;
constexpr size_t kSerialNumber = 6;
constexpr size_t kFileFormat = 8;
constexpr size_t kOutputFormat = 10;
constexpr size_t kPortType = 12;       // 9 x i16
constexpr size_t kPowerKHz = 30;
constexpr size_t kBaud = 36;           // 9 x i32
constexpr size_t kDataBits = 72;       // 9 x i16
constexpr size_t kParity = 90;         // 9 x i16
constexpr size_t kCutOff = 108;        // 9 x i16
constexpr size_t kAnalog = 130;        // 7 x i16
constexpr size_t kPump = 144;          // 4 x i16
constexpr size_t kDelay = 152;         // six i32: delay, pre-flush, warm-up, flush, sample, interval
constexpr size_t kPreFlush = 156;
constexpr size_t kWarmup = 160;
constexpr size_t kFlush = 164;
constexpr size_t kSample = 168;
constexpr size_t kInterval = 172;
constexpr size_t kStartTime = 176;
constexpr size_t kUnitId = 188;
constexpr size_t kPacketIntervalMs = 190;
constexpr size_t kStartMv = 192;
constexpr size_t kFinalMv = 194;
constexpr size_t kRecordedBytes = 200;  // 9 x i32
constexpr size_t kFreeMemory = 236;
constexpr size_t kTotalMemory = 240;
constexpr size_t kFirmwareMajor = 244;
constexpr size_t kFirmwareMinor = 246;
constexpr size_t kFirmwareDate = 248;   // 3 x i16: month, day, year
} // namespace summary

} // namespace cv::sim::runfile
