#pragma once
// The run summary: the Summary record of a run file (the logger's setup for the run with its
// start time, voltages, recorded sizes and memory figures, big-endian) as a readable report.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "base/logger_codes.h"

namespace cv {

class OutputSink;

constexpr size_t kSummaryPayloadLength = 254;

struct RunSummaryFields {
    int16_t runNumber = 0;
    int16_t mode = 0;
    int16_t loggerKind = 0;
    int16_t serialNumber = 0;
    int16_t fileFormat = 0;
    int16_t outputFormat = 0;
    std::array<int16_t, kLoggerSerialPorts + 1> portType{};  // entry 0 the host port
    int16_t powerKHz = 0;
    std::array<int32_t, kLoggerSerialPorts + 1> baud{};
    std::array<int16_t, kLoggerSerialPorts + 1> dataBits{};
    std::array<int16_t, kLoggerSerialPorts + 1> parity{};
    std::array<int16_t, kLoggerSerialPorts + 1> cutOffTenths{};
    std::array<int16_t, kAnalogChannels> analog{};
    std::array<int16_t, kPumps> pump{};
    int32_t delaySeconds = 0;
    int32_t preFlushSeconds = 0;
    int32_t warmUpSeconds = 0;
    int32_t flushSeconds = 0;
    int32_t sampleSeconds = 0;
    int32_t intervalSeconds = 0;
    int32_t startTime = 0;
    int16_t unitId = 0;
    int16_t packetIntervalMs = 0;
    int16_t startMillivolts = 0;
    int16_t finalMillivolts = 0;
    std::array<int32_t, kLoggerSerialPorts + 1> recordedBytes{};  // entry 0 analog data, 1..8 serial ports
    int32_t freeMemory = 0;
    int32_t totalMemory = 0;
    int16_t firmwareMajor = 0;
    int16_t firmwareMinor = 0;
    std::array<int16_t, 3> firmwareDate{};
};

// Reads the fields of a Summary payload; fields beyond the end of a short payload read as 0.
RunSummaryFields decodeRunSummary(const uint8_t* payload, size_t size);

// The report, with "\n" line ends.
std::string formatRunSummary(const RunSummaryFields& fields);

// Writes the report to path with CR LF line ends, replacing the file; false when it cannot be
// created or written.
bool writeRunSummaryFile(const std::filesystem::path& path, const uint8_t* payload, size_t size);
// The same into a newly created output, which it closes.
bool writeRunSummary(OutputSink& file, const uint8_t* payload, size_t size);

// Packet rate line pieces: intervals the logger uses map to a rate in Hz; any other interval
// is shown as it is, in milliseconds.
struct PacketRate {
    int value;
    const char* unit;
};
PacketRate packetRateOf(int intervalMs);

} // namespace cv
