#pragma once
// The logger's hardware configuration record (58 bytes, type 7) and how the hardware page's
// controls map onto it.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/changed_fields.h"
#include "protocol/logger_records.h"

namespace cv::hardware {

constexpr uint8_t kHardwareType = 7;
constexpr int kSerialRelays = 8;
constexpr int kAnalogRelays = 7;
constexpr int kPumpRelays = 4;
constexpr int kRelayBoxes = kSerialRelays + kAnalogRelays + kPumpRelays;
constexpr int kMaxSerialNumber = 1000;

using HardwareRecord = std::array<uint8_t, kHardwareLength>;

// The items of the page's combo boxes; a record's code is the item's index.
inline constexpr std::array<const char*, 4> kDeviceTypeItems{"None Selected", "bq5Plus", "KR8", "DOD Erer"};
inline constexpr std::array<const char*, 4> kRunStopItems{"No Switch", "SX-28 Normal Polarity",
                                                          "SX-28 Reverse Polarity", "Direct Input Switch"};
inline constexpr std::array<const char*, 3> kStatusLedItems{"No Status LED", "SX-28 Status LED", "Direct Status LED"};
constexpr int kRelayItems = 10;  // "None", "Relay 1".."Relay 8", "Self Powered"

// How the page names a relay box: "Serial port 3 relay", "Analog port 9 relay", "Pump power port 16 relay".
std::string relayName(int box);

// What the page shows; combo values are item indexes (-1 = none chosen).
struct HardwareValues {
    int serialNumber = 0;
    int deviceType = -1;
    int statusLed = -1;
    int runStop = -1;
    std::array<int, kRelayBoxes> relays{};  // serial ports 1..8, analog channels 1..7, pumps 1..4
    bool operator==(const HardwareValues&) const = default;
};

// The record as the page can show it: a serial number held within 0..kMaxSerialNumber, a code
// with no item as no choice (-1). Each value shown otherwise than it came is added to `changed`.
HardwareValues decodeHardware(const HardwareRecord& record, std::vector<ChangedField>* changed = nullptr);
extern const ChangedFieldsNotice kHardwareChanged;
// Patches the page's values into the held record: bytes the host does not own (10..13) stay.
void encodeHardware(HardwareRecord& record, const HardwareValues& values);
// The logger needs to know what it is and which unit: no kind chosen or no serial number refuses.
bool hardwareSendable(const HardwareValues& values);
// The switch, LED and relay boxes that hold no choice: a Send would give the logger a code nobody
// saw (0xFFFF), so it is refused naming them.
std::vector<std::string> missingHardwareChoices(const HardwareValues& values);
inline constexpr const char* kMissingChoicesText = "Nothing was sent. Choose a value for: ";

inline constexpr const char* kHardwareErrorTitle = "Hardware Configuration Error";
inline constexpr const char* kHardwareErrorText = "A meter type and Non-zero SN MUST be selected";
inline constexpr const char* kNotCurrentText = "Hardware Setup is Not Current";
// What a screen reader hears while the panel above is hidden.
inline constexpr const char* kCurrentText = "Hardware Setup is Current";
inline constexpr const char* kMayNotMatchText =
    "The Hardware Configuration shown on the Host Program may not match the Hardware Configuration in the Data "
    "Logger.\n\nDo you still want to save the displayed Hardware Configuration?";
inline constexpr const char* kSaveTitle = "Save Hardware Configuration File";
inline constexpr const char* kLoadTitle = "Load Hardare Configuration File";
inline constexpr const char* kFilter = "Hardware Configuration (*.hdw)|*.hdw|All Files (*.*)|*.*";
inline constexpr const char* kExtension = ".hdw";
inline constexpr const char* kDamagedText =
    " holds a hardware configuration whose type bytes or checksum do not hold: it was loaded, but the file may be "
    "damaged or of another kind.";

} // namespace cv::hardware
