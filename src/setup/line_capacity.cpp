#include "setup/line_capacity.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/bytes.h"
#include "base/text_format.h"
#include "protocol/mux_record.h"

namespace cv::setup {

namespace {

// A typical line of each port type (code = index): what a meter of that kind sends per sample.
// Pumps and the remote host send no data of their own.
constexpr std::array<int, 14> kTypicalLineBytes = {
    0,   // off
    30,  // bq5
    32,  // mfx
    40,  // ASCII
    48,  // binary
    40,  // SNR-G2
    75,  // GPS
    0,   // pump
    0,   // remote host
    50,  // SBE-37
    40,  // PSM-S
    20,  // CV test
    48,  // wake / binary
    40,  // CV logger
};
constexpr int kAnalogBytesPerChannel = 2;
constexpr int kOutputStatus = 0;
constexpr int kOutputRealTimeAndStatus = 1;
constexpr int kOutputAnalog = 3;
constexpr int kOutputFirstPort = 4;
constexpr int kOutputLastPort = 11;
constexpr int kNearlyFullPercent = 90;
constexpr const char* kRemedy = ". To fit: a faster host speed, or fewer ports or a lower analog rate";

int16_t i16(const SetupBytes& r, size_t at) { return getI16le(&r[at]); }
int32_t i32(const SetupBytes& r, size_t at) { return getI32le(&r[at]); }

// Bytes a second a link entry's line carries: start, data, parity and stop bits per byte.
int entryBytesPerSecond(const SetupBytes& r, size_t entry) {
    const int baud = i32(r, offset::kBaud + 4 * entry);
    const int bits = 1 + i16(r, offset::kDataBits + 2 * entry) + (i16(r, offset::kParity + 2 * entry) ? 1 : 0) + 1;
    return baud > 0 && bits > 2 ? baud / bits : 0;
}

} // namespace

LineLoadEstimate estimateLineLoad(const SetupBytes& r) {
    LineLoadEstimate e;
    e.hostBaud = i32(r, offset::kBaud);
    e.lineBytesPerSecond = entryBytesPerSecond(r, 0);
    const int rate = std::max<int>(1, i16(r, offset::kAnalogRate));
    const int output = i16(r, offset::kOutput);

    int analogBytes = 0;
    for (size_t a = 0; a < kAnalogChannels; ++a)
        if (i16(r, offset::kAnalog + 2 * a) == 1) analogBytes += kAnalogBytesPerChannel;
    int portBytes = 0;
    for (size_t p = 1; p <= kSerialPorts; ++p) {
        const int type = i16(r, offset::kPortType + 2 * p);
        if (type < 0 || size_t(type) >= kTypicalLineBytes.size()) continue;
        // A port delivers no more between two records than its own line carries.
        portBytes += std::min(kTypicalLineBytes[size_t(type)], entryBytesPerSecond(r, p) / rate);
    }
    const int framing = int(mux::kPacketOverhead);
    if (output == kOutputRealTimeAndStatus || output == kOutputRealTimeData)
        e.bytesPerSecond = rate * (framing + analogBytes + portBytes);
    else if (output == kOutputAnalog)
        e.bytesPerSecond = rate * (framing + analogBytes);
    else if (output >= kOutputFirstPort && output <= kOutputLastPort)
        // The logger passes the port's bytes on as they come: at worst its whole line.
        e.bytesPerSecond = entryBytesPerSecond(r, size_t(output - kOutputFirstPort + 1));
    if (output == kOutputStatus || output == kOutputRealTimeAndStatus) e.bytesPerSecond += int(kStatusLength);
    return e;
}

std::string lineLoadWarning(const LineLoadEstimate& e) {
    if (e.lineBytesPerSecond <= 0) return {};
    if (e.bytesPerSecond > e.lineBytesPerSecond)
        return format("Host port too slow: this setup sends about %d B/s, %d baud carries %d B/s%s", e.bytesPerSecond,
                      e.hostBaud, e.lineBytesPerSecond, kRemedy);
    if (e.bytesPerSecond * 100 >= e.lineBytesPerSecond * kNearlyFullPercent)
        return format("Host port nearly full: this setup sends about %d of %d B/s%s", e.bytesPerSecond,
                      e.lineBytesPerSecond, kRemedy);
    return {};
}

std::string analogRateSentNote(int shownRate, int sentRate) {
    if (sentRate < shownRate)
        return format("Send Setup will send an analog rate of %d Hz, not the %d Hz shown: only Real Time and Analog "
                      "modes sample faster than 8 Hz",
                      sentRate, shownRate);
    if (sentRate > shownRate)
        return format("Send Setup will send an analog rate of %d Hz, not the %d Hz shown: bq5 ports need 2 Hz, mfx "
                      "ports 4 Hz",
                      sentRate, shownRate);
    return {};
}

bool sameOwnedFields(const SetupBytes& a, const SetupBytes& b) {
    // Every field encoding writes; the reserved bytes are the logger's and may move on their own.
    struct Range {
        size_t from, to;
    };
    static constexpr Range kOwned[] = {{0, 4},
                                       {offset::kOncePerHour, offset::kZeroWord + 2},
                                       {offset::kAnalog, offset::kPump + 8},
                                       {offset::kAnalogRate, offset::kFile + 2},
                                       {offset::kAutoStart, offset::kAutoStart + 2},
                                       {offset::kTimeSource, offset::kTimeSource + 2}};
    for (const Range& range : kOwned)
        if (std::memcmp(&a[range.from], &b[range.from], range.to - range.from) != 0) return false;
    return true;
}

} // namespace cv::setup
