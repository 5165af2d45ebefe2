#pragma once
// The records the simulated logger keeps and sends, built byte by byte as they travel on the
// line. Only the framing helpers are shared with the host; every layout here is the logger's.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/logger_codes.h"

namespace cv::sim {

// Packet types and lengths on the line.
constexpr uint8_t kTypeSetup = 1;
constexpr uint8_t kTypeCommand = 2;  // also the logger's flash error count packet
constexpr uint8_t kTypeStatus = 3;
constexpr uint8_t kTypeUpload = 4;
constexpr uint8_t kTypeDirectory = 5;
constexpr uint8_t kTypeAnalog = 6;
constexpr uint8_t kTypeHardware = 7;
constexpr uint8_t kTypeMux = 8;
constexpr uint8_t kTypePortTest = 10;

constexpr size_t kSetupLength = 192;
constexpr size_t kCommandLength = 12;
constexpr size_t kStatusLength = 132;
constexpr size_t kUploadLength = 1036;
constexpr size_t kDirectoryLength = 64;
constexpr size_t kAnalogLength = 44;
constexpr size_t kHardwareLength = 58;
constexpr size_t kPortTestLength = 24;
constexpr size_t kMuxHeaderLength = 28;
constexpr size_t kMuxFrameOverhead = 36;   // type bytes, header, trailer, checksum
constexpr size_t kUploadDataLength = 1024;
constexpr size_t kMuxMaxPayload = 2048;    // keeps every mux record storable as one run-file record

using SetupRecord = std::array<uint8_t, kSetupLength>;
using StatusRecord = std::array<uint8_t, kStatusLength>;
using UploadRecord = std::array<uint8_t, kUploadLength>;
using DirectoryRecord = std::array<uint8_t, kDirectoryLength>;
using AnalogRecord = std::array<uint8_t, kAnalogLength>;
using HardwareRecord = std::array<uint8_t, kHardwareLength>;
using CommandRecord = std::array<uint8_t, kCommandLength>;

// Logger states as the status record reports them.
namespace state {
constexpr int16_t kOff = 0;
constexpr int16_t kSampling = 6;
constexpr int16_t kClearMemory = 7;
constexpr int16_t kSleeping = 8;
constexpr int16_t kStandby = 9;
constexpr int16_t kUpload = 10;
constexpr int16_t kEndOfRun = 30;
} // namespace state

// Port type codes of the setup record that the simulator gives meaning to.
namespace port {
constexpr int16_t kOff = 0;
constexpr int16_t kBq5 = 1;
constexpr int16_t kMfx = 2;
constexpr int16_t kAscii = 3;
constexpr int16_t kBinary = 4;
constexpr int16_t kGps = 6;
constexpr int16_t kPump = 7;
constexpr int16_t kRemoteHost = 8;
constexpr int16_t kWakeBinary = 12;
} // namespace port

// Firmware word: major in bits 28..31, minor (hundredths) in 20..27, then month, day, year.
uint32_t firmwareWord(int major, int minor, int month, int day, int twoDigitYear);
int firmwareMajor(uint32_t word);
int firmwareMinor(uint32_t word);
constexpr uint32_t kDefaultFirmwareWord = (7u << 28) | (6u << 20) | (3u << 16) | (15u << 8) | 6u;

// Field offsets of the setup record.
namespace setup {
constexpr size_t kMode = 2;
constexpr size_t kHourMask = 8;
constexpr size_t kDelay = 12;
constexpr size_t kPreFlush = 16;
constexpr size_t kWarmup = 20;
constexpr size_t kFlush = 24;
constexpr size_t kSample = 28;
constexpr size_t kInterval = 32;
constexpr size_t kBaud = 36;        // 9 x i32, entry 0 = host port
constexpr size_t kPortType = 72;    // 9 x i16
constexpr size_t kDataBits = 90;    // 9 x i16
constexpr size_t kParity = 108;     // 9 x i16
constexpr size_t kCutOff = 126;     // 9 x i16
constexpr size_t kAnalog = 146;     // 7 x i16
constexpr size_t kPump = 160;       // 4 x i16
constexpr size_t kAnalogRate = 170;
constexpr size_t kOutputFormat = 172;
constexpr size_t kFileFormat = 174;
constexpr size_t kAutoStart = 180;
constexpr size_t kTimeSource = 186;
} // namespace setup

// A plausible setup as a KR-8 leaves the factory; every reserved byte is non-zero so that a
// host which fails to return them unchanged is caught.
SetupRecord defaultSetup();
int16_t setupPortType(const SetupRecord& s, int port);   // port 1..8
int32_t setupBaud(const SetupRecord& s, int entry);      // entry 0..8
int16_t setupDataBits(const SetupRecord& s, int entry);
int16_t setupParity(const SetupRecord& s, int entry);
int16_t setupAnalog(const SetupRecord& s, int channel);  // channel 1..7
int16_t setupPump(const SetupRecord& s, int pump);       // pump 1..4
int16_t setupMode(const SetupRecord& s);
int16_t setupAnalogRate(const SetupRecord& s);           // held to 1..20
// True for a port that delivers data: a known instrument type with a line speed.
bool portDeliversData(const SetupRecord& s, int port);

HardwareRecord defaultHardware(int16_t deviceType);
AnalogRecord defaultAnalog();

// Installed ports, analog channels and pumps of each build.
struct BuildMasks {
    uint16_t serial = 0;
    uint16_t analog = 0;
    uint16_t pump = 0;
};
BuildMasks buildMasksFor(int16_t deviceType);

struct StatusFields {
    int16_t state = state::kStandby;
    int16_t runNumber = -1;
    int32_t clock = 0;
    uint32_t timeLeft = 0;
    int16_t deviceType = 2;
    int16_t loggerId = 2;
    uint16_t serialMask = 0;
    uint16_t analogMask = 0;
    uint16_t pumpMask = 0;
    std::array<int16_t, 9> portRate{};        // entries 1..8 used
    int16_t powerStatus = 0;
    int16_t currentMv = 0;
    int16_t startMv = 0;
    int16_t endMv = 0;
    int16_t runStopSwitch = 2;
    std::array<int16_t, kAnalogChannels + 1> analogMv{};  // entries 1..7 used
    std::array<int32_t, 9> portFileSize{};    // entries 1..8 used
    int32_t analogFileSize = 0;
    int32_t otherRunBytes = 0;
    int32_t freeMemory = 0;
    int32_t totalMemory = 0;
    uint32_t firmware = kDefaultFirmwareWord;
};
StatusRecord buildStatus(const StatusFields& f);

// What the directory says about one stored run.
struct RunInfo {
    int16_t runNumber = 0;
    int16_t mode = 0;
    std::array<int16_t, kLoggerSerialPorts> portTypes{};
    std::array<int16_t, kAnalogChannels> analogUse{};
    std::array<int16_t, kPumps> pumps{};
    uint32_t startTime = 0;
    uint32_t size = 0;
    int16_t startMv = 0;
    int16_t endMv = 0;
};
DirectoryRecord buildDirectoryEntry(const RunInfo& info);
RunInfo runInfoFromSetup(int16_t runNumber, const SetupRecord& s);

// One upload block; count 0 (no data) marks the end of the run file.
UploadRecord buildUploadBlock(uint16_t blockNumber, int16_t runNumber, const uint8_t* data, size_t count);

CommandRecord buildFlashErrorPacket(uint16_t count);

// A mux packet as it goes on the line: header fields big-endian, sections back to back.
struct MuxFrame {
    uint8_t unit = 2;
    uint8_t sequence = 0;
    uint32_t timeStamp = 0;
    std::array<std::vector<uint8_t>, 9> sections;  // ports 1..8, then analog data
};
std::vector<uint8_t> buildMuxPacket(const MuxFrame& frame);

// The port-test block's fields (big-endian on the line).
struct PortTestRequest {
    int port = 0;
    uint32_t testBaud = 0;
    uint32_t hostBaud = 0;
    int testParity = 0;
    int hostParity = 0;
    int testDataBits = 0;
    int hostDataBits = 0;
};
PortTestRequest parsePortTest(const uint8_t* block);

std::string stateName(int16_t state);

} // namespace cv::sim
