#pragma once
// The port-test block: asks the logger to run one of its instrument ports (or its analog
// inputs) at a given line setting and to pass what arrives to the host port.
#include <array>
#include <cstddef>
#include <cstdint>

#include "base/logger_codes.h"

namespace cv::porttest {

constexpr uint8_t kBlockType = 10;
constexpr size_t kBlockLength = 24;
constexpr int kAnalogPortsItem = kLoggerSerialPorts;  // "Analog Ports", after "Port 1".."Port 8"
constexpr int kInitialSpeedChoice = 6;  // "9600"

struct LineSetting {
    uint32_t baud = 0;  // 0: "OFF", no setting
    uint16_t dataBits = 8;
    uint16_t parity = 0;  // 0 none, 2 even
};

// The line setting a speed choice (0..11) stands for; unknown choices mean 9600,8,N.
LineSetting lineSettingFor(int speedChoice);

using Block = std::array<uint8_t, kBlockLength>;
// `testPortItem` is the item index of the port choice (0..7 = port 1..8, 8 = analog ports).
Block buildPortTestBlock(int testPortItem, const LineSetting& test, const LineSetting& host);

inline constexpr const char* kCaption = "Test One Logger  Port";
inline constexpr const char* kErrorTitle = "Test Port Error";
inline constexpr const char* kNoTestSetupText = "Please a Test Port Setup";
inline constexpr const char* kNoHostSetupText = "Please a Host Port Setup";

} // namespace cv::porttest
