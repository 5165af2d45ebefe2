#include "hardware/hardware_config.h"

#include <algorithm>

#include "base/bytes.h"
#include "base/text_format.h"

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

const ChangedFieldsNotice kHardwareChanged{
    "Hardware Configuration Shown Changed",
    "The hardware configuration holds values these controls cannot hold. They are shown changed: Send Hardware "
    "Configuration would send a changed number as shown, and sends nothing while a box shows no choice.",
    "shown as"};

std::string relayName(int box) {
    if (box < kSerialRelays) return format("Serial port %d relay", box + 1);
    if (box < kSerialRelays + kAnalogRelays) return format("Analog port %d relay", box - kSerialRelays + 9);
    return format("Pump power port %d relay", box - kSerialRelays - kAnalogRelays + 16);
}

HardwareValues decodeHardware(const HardwareRecord& r, std::vector<ChangedField>* changed) {
    auto note = [changed](const std::string& name, int reported, const std::string& shown) {
        if (changed) changed->push_back({name, format("%d", reported), shown});
    };
    auto item = [&note](const char* name, int code, int items) {
        if (code >= 0 && code < items) return code;
        note(name, code, "no choice");
        return -1;
    };
    HardwareValues v;
    v.deviceType = item("Device/Meter Type", getI16le(r.data() + kDeviceType), int(kDeviceTypeItems.size()));
    const int serialNumber = getI16le(r.data() + kSerialNumber);
    v.serialNumber = std::clamp(serialNumber, 0, kMaxSerialNumber);
    if (v.serialNumber != serialNumber) note("Serial Number", serialNumber, format("%d", v.serialNumber));
    v.runStop = item("Run/Stop Switch", getI16le(r.data() + kRunStop), int(kRunStopItems.size()));
    v.statusLed = item("Status LED", getI16le(r.data() + kStatusLed), int(kStatusLedItems.size()));
    for (int b = 0; b < kRelayBoxes; ++b)
        v.relays[size_t(b)] = item(relayName(b).c_str(), getI16le(r.data() + relayOffset(b)), kRelayItems);
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

std::vector<std::string> missingHardwareChoices(const HardwareValues& v) {
    std::vector<std::string> missing;
    if (v.runStop < 0) missing.push_back("Run/Stop Switch");
    if (v.statusLed < 0) missing.push_back("Status LED");
    for (int b = 0; b < kRelayBoxes; ++b)
        if (v.relays[size_t(b)] < 0) missing.push_back(relayName(b));
    return missing;
}

} // namespace cv::hardware
