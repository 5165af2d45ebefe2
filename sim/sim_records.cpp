#include "sim_records.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"

namespace cv::sim {

uint32_t firmwareWord(int major, int minor, int month, int day, int twoDigitYear) {
    return (uint32_t(major & 0xF) << 28) | (uint32_t(minor & 0xFF) << 20) | (uint32_t(month & 0xF) << 16) |
           (uint32_t(day & 0xFF) << 8) | uint32_t(twoDigitYear & 0xFF);
}

int firmwareMajor(uint32_t word) { return int(word >> 28); }
int firmwareMinor(uint32_t word) { return int((word >> 20) & 0xFF); }

namespace {

void putI16At(uint8_t* record, size_t offset, int index, int16_t value) { putI16le(record + offset + 2 * index, value); }
void putI32At(uint8_t* record, size_t offset, int index, int32_t value) { putI32le(record + offset + 4 * index, value); }

} // namespace

SetupRecord defaultSetup() {
    SetupRecord s{};
    uint8_t* p = s.data();
    putI16le(p + setup::kMode, 0);  // Profile Mode
    const uint8_t reserved4[] = {0x4B, 0x52, 0x08, 0x01};
    std::memcpy(p + 4, reserved4, sizeof reserved4);
    putU32le(p + setup::kHourMask, 0);
    putI32le(p + setup::kDelay, 10);
    putI32le(p + setup::kPreFlush, 30);
    putI32le(p + setup::kWarmup, 60);
    putI32le(p + setup::kFlush, 30);
    putI32le(p + setup::kSample, 300);
    putI32le(p + setup::kInterval, 3600);

    // Host port 9600 8N1; a bq5 at 19200, an mfx at 9600, a GPS at 4800, a pump switched on.
    const int32_t baud[9] = {9600, 19200, 9600, 4800, 0, 0, 0, 0, 0};
    const int16_t type[9] = {0, port::kBq5, port::kMfx, port::kGps, port::kPump, 0, 0, 0, 0};
    const int16_t bits[9] = {8, 8, 8, 8, 7, 8, 8, 8, 8};
    for (int e = 0; e < 9; ++e) {
        putI32At(p, setup::kBaud, e, baud[e]);
        putI16At(p, setup::kPortType, e, type[e]);
        putI16At(p, setup::kDataBits, e, bits[e]);
        putI16At(p, setup::kParity, e, 0);
        putI16At(p, setup::kCutOff, e, 70);
    }
    p[144] = 0x11;
    p[145] = 0x01;
    const int16_t analog[kAnalogChannels] = {1, 1, 2, 0, 0, 0, 0};
    for (int c = 0; c < kAnalogChannels; ++c) putI16At(p, setup::kAnalog, c, analog[c]);
    const int16_t pumps[kPumps] = {1, 0, 0, 3};
    for (int k = 0; k < kPumps; ++k) putI16At(p, setup::kPump, k, pumps[k]);
    p[168] = 0x5A;
    p[169] = 0x01;
    putI16le(p + setup::kAnalogRate, 4);
    putI16le(p + setup::kOutputFormat, 1);  // Real Time Data + Status
    putI16le(p + setup::kFileFormat, 1);    // archive files
    const uint8_t reserved176[] = {0x10, 0x27, 0x01, 0x02};
    std::memcpy(p + 176, reserved176, sizeof reserved176);
    putI16le(p + setup::kAutoStart, 0);
    const uint8_t reserved182[] = {0x3C, 0x01, 0x02, 0x03};
    std::memcpy(p + 182, reserved182, sizeof reserved182);
    putI16le(p + setup::kTimeSource, 1);
    p[188] = 0x7E;
    p[189] = 0x01;
    frameBlock(p, kSetupLength, kTypeSetup);
    return s;
}

int16_t setupPortType(const SetupRecord& s, int port) { return getI16le(s.data() + setup::kPortType + 2 * port); }
int32_t setupBaud(const SetupRecord& s, int entry) { return getI32le(s.data() + setup::kBaud + 4 * entry); }
int16_t setupDataBits(const SetupRecord& s, int entry) { return getI16le(s.data() + setup::kDataBits + 2 * entry); }
int16_t setupParity(const SetupRecord& s, int entry) { return getI16le(s.data() + setup::kParity + 2 * entry); }
int16_t setupAnalog(const SetupRecord& s, int channel) { return getI16le(s.data() + setup::kAnalog + 2 * (channel - 1)); }
int16_t setupPump(const SetupRecord& s, int pump) { return getI16le(s.data() + setup::kPump + 2 * (pump - 1)); }
int16_t setupMode(const SetupRecord& s) { return getI16le(s.data() + setup::kMode); }
int16_t setupAnalogRate(const SetupRecord& s) {
    return int16_t(std::clamp<int>(getI16le(s.data() + setup::kAnalogRate), 1, 20));
}

bool portDeliversData(const SetupRecord& s, int port) {
    const int16_t type = setupPortType(s, port);
    return type > 0 && type <= 13 && type != port::kPump && setupBaud(s, port) > 0;
}

HardwareRecord defaultHardware(int16_t deviceType) {
    HardwareRecord h{};
    uint8_t* p = h.data();
    putI16le(p + 2, 117);  // serial number
    putI16le(p + 4, (deviceType >= 1 && deviceType <= 3) ? deviceType : 2);
    putI16le(p + 6, 2);    // direct status LED
    putI16le(p + 8, 1);    // SX-28 switch, normal polarity
    const uint8_t reserved[] = {0x21, 0x43, 0x65, 0x07};
    std::memcpy(p + 10, reserved, sizeof reserved);
    for (int k = 0; k < kLoggerSerialPorts; ++k) putI16le(p + 16 + 2 * k, int16_t(k + 1));
    for (int k = 0; k < kAnalogChannels; ++k) putI16le(p + 34 + 2 * k, 9);  // self powered
    for (int k = 0; k < kPumps; ++k) putI16le(p + 48 + 2 * k, int16_t(5 + k));
    frameBlock(p, kHardwareLength, kTypeHardware);
    return h;
}

AnalogRecord defaultAnalog() {
    AnalogRecord a{};
    uint8_t* p = a.data();
    putI16le(p + 2, 15);
    putI32le(p + 4, 1);
    for (int k = 0; k < 8; ++k) {
        putI16le(p + 8 + 2 * k, k == 0 ? 200 : 150);
        putI16le(p + 24 + 2 * k, k == 0 ? 790 : 5325);
    }
    frameBlock(p, kAnalogLength, kTypeAnalog);
    return a;
}

BuildMasks buildMasksFor(int16_t deviceType) {
    switch (deviceType) {
    case devicekind::kBq5Plus: return {0x000F, 0x0F, 0x03};  // meter on port 1 plus three ports
    case devicekind::kVIrov: return {0x0007, 0x07, 0x01};
    default: return {0x00FF, 0x7F, 0x0F};
    }
}

StatusRecord buildStatus(const StatusFields& f) {
    StatusRecord r{};
    uint8_t* p = r.data();
    putI16le(p + 4, f.state);
    putI16le(p + 6, f.runNumber);
    putI32le(p + 8, f.clock);
    putU32le(p + 12, f.timeLeft);
    putI16le(p + 18, f.deviceType);
    putI16le(p + 20, f.loggerId);
    putU16le(p + 22, f.serialMask);
    putU16le(p + 24, f.analogMask);
    putU16le(p + 26, f.pumpMask);
    for (int e = 1; e < 9; ++e) putI16le(p + 28 + 2 * e, f.portRate[e]);
    putI16le(p + 46, f.powerStatus);
    putI16le(p + 48, f.currentMv);
    putI16le(p + 50, f.startMv);
    putI16le(p + 52, f.endMv);
    putI16le(p + 54, f.runStopSwitch);
    for (int e = 1; e <= kAnalogChannels; ++e) putI16le(p + 56 + 2 * e, f.analogMv[e]);
    for (int e = 1; e < 9; ++e) putI32le(p + 72 + 4 * e, f.portFileSize[e]);
    putI32le(p + 108, f.analogFileSize);
    putI32le(p + 112, f.otherRunBytes);
    putI32le(p + 116, f.freeMemory);
    putI32le(p + 120, f.totalMemory);
    putU32le(p + 124, f.firmware);
    frameBlock(p, kStatusLength, kTypeStatus);
    return r;
}

DirectoryRecord buildDirectoryEntry(const RunInfo& info) {
    DirectoryRecord d{};
    uint8_t* p = d.data();
    putI16le(p + 2, info.runNumber);
    putI16le(p + 4, info.mode);
    for (int k = 0; k < kLoggerSerialPorts; ++k) putI16le(p + 8 + 2 * k, info.portTypes[k]);
    for (int k = 0; k < kAnalogChannels; ++k) putI16le(p + 26 + 2 * k, info.analogUse[k]);
    for (int k = 0; k < kPumps; ++k) putI16le(p + 40 + 2 * k, info.pumps[k]);
    putU32le(p + 48, info.startTime);
    putU32le(p + 52, info.size);
    putI16le(p + 56, info.startMv);
    putI16le(p + 58, info.endMv);
    frameBlock(p, kDirectoryLength, kTypeDirectory);
    return d;
}

RunInfo runInfoFromSetup(int16_t runNumber, const SetupRecord& s) {
    RunInfo info;
    info.runNumber = runNumber;
    info.mode = setupMode(s);
    for (int k = 0; k < 8; ++k) info.portTypes[k] = setupPortType(s, k + 1);
    for (int k = 0; k < 7; ++k) info.analogUse[k] = setupAnalog(s, k + 1);
    for (int k = 0; k < 4; ++k) info.pumps[k] = setupPump(s, k + 1) > 0 ? 1 : 0;
    return info;
}

UploadRecord buildUploadBlock(uint16_t blockNumber, int16_t runNumber, const uint8_t* data, size_t count) {
    UploadRecord b{};
    uint8_t* p = b.data();
    count = std::min(count, kUploadDataLength);
    putU16le(p + 2, blockNumber);
    putI16le(p + 4, runNumber);
    putI16le(p + 6, int16_t(count));
    if (count > 0) std::memcpy(p + 8, data, count);
    frameBlock(p, kUploadLength, kTypeUpload);
    return b;
}

CommandRecord buildFlashErrorPacket(uint16_t count) {
    CommandRecord c{};
    putU16le(c.data() + 2, count);
    frameBlock(c.data(), kCommandLength, kTypeCommand);
    return c;
}

std::vector<uint8_t> buildMuxPacket(const MuxFrame& frame) {
    size_t payload = 0;
    for (const auto& section : frame.sections) payload += section.size();
    payload = std::min(payload, kMuxMaxPayload);
    std::vector<uint8_t> packet(kMuxFrameOverhead + payload, 0);
    uint8_t* p = packet.data();
    uint8_t* record = p + 2;
    record[0] = 1;
    record[1] = 0;  // time stamp in tenths of a second since sampling began
    record[2] = frame.unit;
    record[3] = frame.sequence;
    putU16be(record + 4, uint16_t(payload));
    putU32be(record + 6, frame.timeStamp);
    size_t at = kMuxHeaderLength;
    size_t left = payload;
    for (int k = 0; k < 9; ++k) {
        const size_t take = std::min(frame.sections[k].size(), left);
        putU16be(record + 10 + 2 * k, uint16_t(take));
        if (take > 0) std::memcpy(record + at, frame.sections[k].data(), take);
        at += take;
        left -= take;
    }
    std::memcpy(record + at, "####", 4);
    frameBlock(p, packet.size(), kTypeMux);
    return packet;
}

PortTestRequest parsePortTest(const uint8_t* block) {
    PortTestRequest r;
    r.port = getU16be(block + 2);
    r.testBaud = getU32be(block + 4);
    r.hostBaud = getU32be(block + 8);
    r.testParity = getU16be(block + 12);
    r.hostParity = getU16be(block + 14);
    r.testDataBits = getU16be(block + 16);
    r.hostDataBits = getU16be(block + 18);
    return r;
}

std::string stateName(int16_t s) {
    switch (s) {
    case state::kOff: return "Off";
    case state::kSampling: return "Sampling";
    case state::kClearMemory: return "Clear Memory";
    case state::kSleeping: return "Sleeping";
    case state::kStandby: return "Standby";
    case state::kUpload: return "Upload";
    case state::kEndOfRun: return "End of Run";
    default: return "state " + std::to_string(s);
    }
}

} // namespace cv::sim
