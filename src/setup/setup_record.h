#pragma once
// The logger setup record (192 bytes, logger packet and host block type 1) and its mapping to
// the values the setup screen holds: item indexes of the combo boxes, spinner positions and
// check states. Encoding patches only the fields the host owns into the held buffer, so the
// reserved bytes travel back to the logger exactly as it reported them.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/changed_fields.h"
#include "base/logger_codes.h"
#include "base/shade.h"
#include "protocol/logger_records.h"

namespace cv {

using SetupBytes = std::array<uint8_t, kSetupLength>;

namespace setup {

constexpr int kSerialPorts = kLoggerSerialPorts;
using cv::kAnalogChannels;
using cv::kPumps;
constexpr int kScheduleFields = 6;
constexpr int kLinkEntries = kLoggerSerialPorts + 1;  // entry 0 is the logger's own host port

// Field offsets of the record.
namespace offset {
constexpr size_t kMode = 2;
constexpr size_t kOncePerHour = 8;
constexpr size_t kSchedule = 12;   // six i32: delay, pre-flush, warm-up, flush, sample, interval
constexpr size_t kBaud = 36;       // i32[9]
constexpr size_t kPortType = 72;   // i16[9]
constexpr size_t kDataBits = 90;   // i16[9]
constexpr size_t kParity = 108;    // i16[9]
constexpr size_t kCutOff = 126;    // i16[9]
constexpr size_t kZeroWord = 144;
constexpr size_t kAnalog = 146;    // i16[7]
constexpr size_t kPump = 160;      // i16[4]
constexpr size_t kAnalogRate = 170;
constexpr size_t kOutput = 172;
constexpr size_t kFile = 174;
constexpr size_t kAutoStart = 180;
constexpr size_t kTimeSource = 186;
constexpr size_t kChecksum = 190;
} // namespace offset

// Operating modes (ModeCB), speed choices (CBPortNSetup).
constexpr int kModeProfile = loggermode::kProfile;
constexpr int kModeMoored = loggermode::kMoored;
constexpr int kModeRealTime = loggermode::kRealTime;
constexpr int kModeAnalog = loggermode::kAnalog;
constexpr int kModePolledMoored = loggermode::kPolledMoored;
constexpr int kModeCount = loggermode::kPolledMoored + 1;

constexpr int kPortTypeItems = 13;   // codes 0..12 have an item; 13 ("CV-Logger") has none

constexpr int kSpeedOff = 0;
constexpr int kSpeed9600 = 6;
constexpr int kSpeed19200 = 8;
constexpr int kSpeedOn = 12;
constexpr int kPortSpeedItems = 13;  // ports 1..8: OFF .. 115200, ON
constexpr int kHostSpeedItems = 12;  // host port: OFF .. 115200

constexpr int kOutputRealTimeData = outputformat::kRealTime;
constexpr int kFileNoStorage = fileformat::kNoStorage;

enum ScheduleField { kDelay, kPreFlush, kWarmup, kFlush, kSample, kInterval };
enum ScheduleUnit { kSeconds, kMinutes, kHours };

struct SpinnerLimits {
    int minimum;
    int maximum;
    int start;
};
constexpr std::array<SpinnerLimits, kScheduleFields> kScheduleLimits{{
    {0, 100, 5}, {0, 300, 5}, {0, 10000, 5}, {0, 300, 5}, {1, 10000, 5}, {1, 10000, 5}}};
constexpr int kScheduleStep = 5;
constexpr SpinnerLimits kCutOffLimits{65, 140, 65};
constexpr SpinnerLimits kAnalogRateLimits{1, 20, 1};

inline int clampToLimits(int value, const SpinnerLimits& l) {
    return value < l.minimum ? l.minimum : value > l.maximum ? l.maximum : value;
}

// Combo box items, index = code.
extern const std::array<const char*, kModeCount> kModeItems;
extern const std::array<const char*, 12> kOutputItems;
extern const std::array<const char*, 2> kFileItems;
extern const std::array<const char*, 4> kTimeSourceItems;
extern const std::array<const char*, kPortTypeItems> kPortTypeItemTexts;
extern const std::array<const char*, kPortSpeedItems> kSpeedItems;  // host port: first 12
extern const std::array<const char*, 3> kUnitItems;
extern const std::array<const char*, kScheduleFields> kScheduleCaptions;  // the Sample Setup rows
extern const std::array<const char*, 3> kAnalogItems;
extern const std::array<const char*, 2> kPumpItems;        // pumps 1..3
extern const std::array<const char*, 12> kPurgePumpItems;  // pump 4: off, on, purges

// The Data Status name of a port type code ("OFF" for codes without a name).
std::string dataStatusTypeName(int code);

struct SpeedTriple {
    int32_t baud;
    int16_t dataBits;
    int16_t parity;  // 0 none, 2 even
    bool operator==(const SpeedTriple&) const = default;
};
SpeedTriple speedTripleOf(int choice);
// Ports 1..8: baud 0 is "OFF" with 8 data bits and "ON" with 7.
int speedChoiceOf(int32_t baud, int dataBits);
// The logger's host port: anything unknown, 0 included, is taken as 9600.
int hostSpeedChoiceOf(int32_t baud, int dataBits);

struct ScheduleValue {
    int number;
    int unit;  // ScheduleUnit
    bool operator==(const ScheduleValue&) const = default;
};
ScheduleValue scheduleToScreen(int32_t seconds);
int32_t scheduleFromScreen(int number, int unit);  // 0 for a unit with no selection

// What the setup screen holds. -1 is a combo box with no selection; kKeepReceived is one with
// no selection that the screen hides, so the operator cannot choose there: its field goes back
// to the logger as the logger reported it.
constexpr int kKeepReceived = -2;
struct SetupControls {
    int mode = -1;
    int output = -1;
    int file = -1;
    int timeSource = 0;
    int hostSpeed = -1;
    std::array<int, kSerialPorts> portType{-1, -1, -1, -1, -1, -1, -1, -1};
    std::array<int, kSerialPorts> portSpeed{-1, -1, -1, -1, -1, -1, -1, -1};
    std::array<int, kAnalogChannels> analog{0, 0, 0, 0, 0, 0, 0};
    std::array<int, kPumps> pump{0, 0, 0, 0};
    std::array<int, kScheduleFields> scheduleNumber{5, 5, 5, 5, 5, 5};
    std::array<int, kScheduleFields> scheduleUnit{-1, -1, -1, -1, -1, -1};
    int lvCutOff = kCutOffLimits.start;
    int analogRate = kAnalogRateLimits.start;
    bool autoStart = false;
    uint32_t oncePerHour = 0;  // bits as in the record: ports 0..7, analogs 8..14, pumps 16..19
    bool operator==(const SetupControls&) const = default;
};

inline bool isMooredMode(int mode) { return mode == kModeMoored || mode == kModePolledMoored; }

// The once-per-hour bit of serial port, analog channel or pump n (0-based).
inline uint32_t serialHourBit(int n) { return 1u << n; }
inline uint32_t analogHourBit(int n) { return 1u << (8 + n); }
inline uint32_t pumpHourBit(int n) { return 1u << (16 + n); }

struct DecodedSetup {
    SetupControls controls;  // as the screen shows them, spinner limits applied
    std::array<std::string, kSerialPorts> dataStatusTypes;
    int32_t hostBaud = 0;    // what the logger reports for its host port
    int hostDataBits = 8;
    std::vector<ChangedField> changed;
};
// Reads the record onto screen values. An analog rate below 1 is corrected to 1 in the record
// itself, as the logger would otherwise be told 0 Hz back.
// The row names of the serial ports, "Port 1" .. "Port 8" unless the screen names them otherwise.
using PortNames = std::array<std::string, kSerialPorts>;
PortNames defaultPortNames();
DecodedSetup decodeSetup(SetupBytes& record, const PortNames& ports = defaultPortNames());
// One warning naming every field the screen shows changed; the next Send Setup would send the
// changed values.
extern const ChangedFieldsNotice kChangedFields;
extern const char* const kChangedFieldsCaption;
std::string changedFieldsText(const std::vector<ChangedField>& changed);
// The controls that hold no selection and block Send Setup ("Port 3 type", "Data Storage").
std::vector<std::string> missingChoices(const SetupControls& c, const PortNames& ports = defaultPortNames());
// Every combo box that feeds the record has a selection, or is hidden and keeps the logger's value.
bool selectionsComplete(const SetupControls& c);

// Fast meters need a minimum analog rate: any bq5 port with a speed needs 2 Hz, any mfx port 4 Hz.
int minimumAnalogRate(const SetupControls& c, int rate);

struct EncodeResult {
    SetupControls shown;               // the screen after encoding (values the encoding changed)
    bool realTimeWithStorage = false;  // the "memory will fill" warning applies
};
// Writes the owned fields of the screen into the record, with type word and checksum. A field
// whose control is kKeepReceived keeps the record's value.
EncodeResult encodeSetup(const SetupControls& screen, bool integratedMeter, SetupBytes& record);

// Read-outs of the setup screen.
std::string analogRateText(int rate);             // "%1d Hz  %4d ms"
Shade analogRateShade(int rate, int fileIndex);   // red/yellow when sampling fast
std::string lowVoltageText(int cutOffTenths);     // "%4.1f V"

} // namespace setup
} // namespace cv
