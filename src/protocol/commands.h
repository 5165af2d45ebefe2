#pragma once
// What the host sends to the logger: 12-byte command packets, framed typed blocks and raw texts.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace cv {

namespace cmd {
constexpr uint16_t kStop = 0xA1A1;
constexpr uint16_t kBegin = 0xA2A2;
constexpr uint16_t kLoadHardwareDefaults = 0xA4A4;
constexpr uint16_t kSetMuxId = 0xA6A6;
constexpr uint16_t kSleepUntil = 0xA7A7;
constexpr uint16_t kGetHardware = 0xA8A8;
constexpr uint16_t kBlockAck = 0xA9A9;
constexpr uint16_t kGetSetup = 0xACAC;
constexpr uint16_t kGetAnalog = 0xADAD;
constexpr uint16_t kSetTime = 0xAEAE;
constexpr uint16_t kLoadDefaultSetup = 0xAFAF;
constexpr uint16_t kSwitchToRs232 = 0xB4B4;
constexpr uint16_t kSwitchToRs422 = 0xB5B5;
constexpr uint16_t kResetToMonitor = 0xB6B6;
constexpr uint16_t kGetDirectory = 0xB8B8;
constexpr uint16_t kUploadRequest = 0xBABA;
constexpr uint16_t kClearMemory = 0xBDBD;
} // namespace cmd

constexpr size_t kCommandPacketLength = 12;
using CommandPacket = std::array<uint8_t, kCommandPacketLength>;

// Lead word 0x0202, code, 32-bit argument, 16-bit argument, checksum; all little-endian.
CommandPacket buildCommandPacket(uint16_t code, uint16_t arg16 = 0, uint32_t arg32 = 0);

// Raw texts, sent as they stand.
inline constexpr const char* kBreakText = "    BREAKBREAKBREAK";
inline constexpr const char* kStop7E1Text = "    STOP7E1STOP7E1";
inline constexpr const char* kWakeText = " WAKE";
inline constexpr const char* kSleepText = "SLEEP";

// Where outgoing packets go: the logger port. Each call tells whether the bytes went out; a
// closed or lost port takes nothing, and saying so to the operator is the caller's business.
class CommandSink {
public:
    virtual ~CommandSink() = default;
    virtual bool sendCommand(uint16_t code, uint16_t arg16 = 0, uint32_t arg32 = 0) = 0;
    virtual bool sendBlock(const uint8_t* bytes, size_t length) = 0;  // already framed
    virtual bool sendRaw(const std::string& text) = 0;
};

} // namespace cv
