#pragma once
// The one copy of each record the logger sends, as the receiver last framed it. Records the host
// returns to the logger (setup) are patched in place, so bytes the host does not own travel back
// exactly as received.
#include <array>
#include <cstdint>
#include <string>

#include "base/logger_codes.h"

namespace cv {

constexpr size_t kSetupLength = 192;
constexpr size_t kStatusLength = 132;
constexpr size_t kUploadBlockLength = 1036;
constexpr size_t kDirectoryEntryLength = 64;
constexpr size_t kAnalogLength = 44;
constexpr size_t kHardwareLength = 58;

struct LoggerRecords {
    std::array<uint8_t, kSetupLength> setup{};
    bool setupArrived = false;
    std::array<uint8_t, kStatusLength> status{};
    bool statusArrived = false;
    std::array<uint8_t, kUploadBlockLength> uploadBlock{};
    std::array<uint8_t, kDirectoryEntryLength> directoryEntry{};
    std::array<uint8_t, kAnalogLength> analog{};
    std::array<uint8_t, kHardwareLength> hardware{};
    std::array<uint8_t, 12> commandPacket{};  // shared with outgoing builders; type-2 packets land here
    uint16_t flashErrorCount = 0;
};

// What the status display learned about the logger, consulted by requests that need standby
// and by messages that name the device.
struct LoggerFacts {
    int16_t state = 2;        // refused-until-reported: not a standby state
    int16_t deviceType = 0;
    std::string deviceName = "???";
    // The logger was asked to pass one of its instrument ports through to the host port and has
    // not been stopped since: what arrives is the instrument's own bytes, not packets or statuses.
    bool portTestRunning = false;
    // An archive replay feeds the live road: the logger port is not read, so no status comes.
    bool replayRunning = false;
    bool hasIntegratedMeter() const { return devicekind::hasIntegratedMeter(deviceType); }
};

} // namespace cv
