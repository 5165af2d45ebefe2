#include "hardware/hardware_config.h"

#include <algorithm>

#include "base/bytes.h"

namespace cv::hardware {

namespace {
constexpr size_t kSerialNumber = 2;
constexpr size_t kDeviceType = 4;
constexpr size_t kStatusLed = 6;
constexpr size_t kRunStop = 8;
constexpr size_t kSerialSlot0 = 14;
constexpr size_t kSerialRelay = 16;
constexpr size_t kAnalogSlot0 = 32;
constexpr size_t kAnalogRelay = 34;
constexpr size_t kPumpRelay = 48;

size_t relayOffset(int box) {
    if (box < kSerialRelays) return kSerialRelay + 2 * size_t(box);
    if (box < kSerialRelays + kAnalogRelays) return kAnalogRelay + 2 * size_t(box - kSerialRelays);
    return kPumpRelay + 2 * size_t(box - kSerialRelays - kAnalogRelays);
}
} // namespace

HardwareValues decodeHardware(const HardwareRecord& r) {
    HardwareValues v;
    v.serialNumber = std::max(0, int(getI16le(r.data() + kSerialNumber)));
    v.deviceType = getI16le(r.data() + kDeviceType);
    v.statusLed = getI16le(r.data() + kStatusLed);
    v.runStop = getI16le(r.data() + kRunStop);
    for (int b = 0; b < kRelayBoxes; ++b) v.relays[size_t(b)] = getI16le(r.data() + relayOffset(b));
    return v;
}

void encodeHardware(HardwareRecord& r, const HardwareValues& v) {
    uint8_t* p = r.data();
    putI16le(p + kSerialNumber, int16_t(v.serialNumber));
    putI16le(p + kDeviceType, int16_t(v.deviceType));
    putI16le(p + kStatusLed, int16_t(v.statusLed));
    putI16le(p + kRunStop, int16_t(v.runStop));
    putI16le(p + kSerialSlot0, 0);
    putI16le(p + kAnalogSlot0, 0);
    for (int b = 0; b < kRelayBoxes; ++b) putI16le(p + relayOffset(b), int16_t(v.relays[size_t(b)]));
    frameBlock(p, r.size(), kHardwareType);
}

bool hardwareSendable(const HardwareValues& v) { return v.deviceType >= 0 && v.serialNumber > 0; }

} // namespace cv::hardware
