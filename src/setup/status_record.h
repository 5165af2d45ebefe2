#pragma once
// The logger status record (132 bytes, logger packet type 3) and every text the host shows for
// it. StatusTracker keeps the few things the display remembers between records (device type of
// the row names, the run/stop value shown, the one-time firmware warning, the freshness of the
// logger time) and turns each record into a plain view the widgets copy onto the screen.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/logger_codes.h"
#include "protocol/logger_records.h"
#include "ports/host_clock.h"

namespace cv {

using StatusBytes = std::array<uint8_t, kStatusLength>;

namespace status {

struct StatusFields {
    int16_t state = 0;
    int16_t runNumber = -1;
    int32_t loggerClock = 0;
    uint32_t timeLeft = 0;
    int16_t deviceType = 0;
    int16_t loggerId = 0;
    uint16_t serialMask = 0;
    uint16_t analogMask = 0;
    uint16_t pumpMask = 0;
    std::array<int16_t, kLoggerSerialPorts> portRate{};
    int16_t power = 0;
    int16_t currentMv = 0;
    int16_t startMv = 0;
    int16_t endMv = 0;
    int16_t runStop = 0;
    std::array<int16_t, kAnalogChannels> analogMv{};
    std::array<int32_t, kLoggerSerialPorts> portFileSize{};
    int32_t analogFileSize = 0;
    int32_t otherRunBytes = 0;
    int32_t freeMemory = 0;
    int32_t totalMemory = 0;
    uint32_t firmware = 0;
};
StatusFields decodeStatusFields(const StatusBytes& record);

inline bool isStandbyState(int state) {
    return state == loggerstate::kStandby || state == loggerstate::kUpload || state == loggerstate::kEndOfRun;
}

std::string stateText(int state);
std::string timeLeftText(uint32_t seconds);
std::string voltageText(int millivolts);                 // "%4.1f V"
std::string memoryText(int32_t bytes);                   // "%ld K"
std::string runStopText(int value);
std::string runNumberText(int runNumber);
std::string runSizeText(const StatusFields& f);          // "Run File Size:  %ld K"
std::string powerText(int16_t bits);                     // "Power: 1100 0000"
std::string hostTypeText(uint16_t serialMask);           // "Host:  RS232" / "Host:  RS422"
std::string analogReadingText(int millivolts);           // "%5.3f"
std::string analogFileSizeText(int32_t bytes);
std::string currentLoggerIdText(int id);                 // "Current Logger ID:  %3d"
inline bool loggerIdValid(int id) { return id >= 1 && id <= 254; }

double firmwareVersion(uint32_t firmwareWord);
inline bool firmwareIncompatible(uint32_t firmwareWord) {
    // Compare in hundredths: 7.00 must not fail through a rounding error.
    const uint32_t major = firmwareWord >> 28, minor = (firmwareWord >> 20) & 0xFF;
    return major * 100 + minor < 700;
}
std::string firmwareWarningText(uint32_t firmwareWord);

struct PortReadout {
    std::string rateCaption;  // "Bytes/Second:" or "Bytes/Record:"
    std::string rate;
    std::string fileSize;
};
PortReadout portReadout(int16_t rate, int32_t fileSize);

// Captions of the memory buttons and the device name for a device type; nothing for a type
// the host does not know (the captions stay as they are).
struct DeviceCaptions {
    std::string clearMemory;
    std::string getDirectory;
    std::string name;
};
std::optional<DeviceCaptions> deviceCaptions(int deviceType);

// Names of the Port Setup rows LBS1..LBS8 and the Data Status rows M1Label..M8Label. A logger
// with a bq5 meter built onto port 1 (device types 1 and 3) names that row after the meter and
// numbers the others from 1; every other logger numbers its ports 1..8.
struct PortRowNames {
    std::array<std::string, kLoggerSerialPorts> portSetup;
    std::array<std::string, kLoggerSerialPorts> dataStatus;
};
PortRowNames portRowNames(int deviceType);

struct RunStopView {
    std::optional<bool> visible;  // unset: visibility stays (a negative value)
    std::string text;
};

struct HostClockView {
    bool newSecond = false;       // nothing below is set otherwise
    std::string hostDateTime;     // LBHostDandT
    std::string hostTime;         // sleep dialog HostTime
    std::string hostDate;         // sleep dialog HostDate
    bool loggerTimeStale = false; // LBDandT turns yellow
};

// What the host knows about how long a status waited on its way: a status that waited in a full
// line shows the logger clock as it was when it left, so it tells neither drift nor a clock to set.
struct StatusTiming {
    bool late = false;
    std::optional<int64_t> heldOffset;  // the logger clock less the PC's, last measured on a free line
};

// LBDrift while the status is late: the drift measured on a free line, marked as held, or a
// drift nobody can tell.
std::optional<std::string> heldDriftText(const StatusTiming& timing, int64_t pcNow);

struct StatusView {
    StatusFields fields;
    std::optional<PortRowNames> rowNames;  // only when the device type changed
    bool remoteHostOn = false;
    std::string hostType;
    std::array<bool, kLoggerSerialPorts> portInstalled{};
    std::array<bool, kAnalogChannels> analogInstalled{};
    std::array<bool, kPumps> pumpInstalled{};
    std::string currentLoggerId;
    bool askForLoggerId = false;
    std::optional<RunStopView> runStop;  // only when the value changed
    std::string runNumber;
    std::string runSize;
    std::string power;
    std::optional<std::string> firmwareWarning;  // only the first time
    std::optional<DeviceCaptions> captions;
    HostClockView clock;                 // the host clock tick run inside the decode
    int64_t loggerInPc = 0;
    int64_t clockOffset = 0;             // loggerInPc less the PC time at decoding
    std::optional<uint32_t> setTimeArgument;  // send the set-time command with this
    std::string loggerDateTime;          // LBDandT
    std::string sleepTime;               // sleep dialog SleepTime
    std::string sleepDate;               // sleep dialog SleepDate
    std::optional<std::string> drift;    // LBDrift shown with this text; hidden when unset
    std::string operation;
    std::string timeLeft;
    std::string currentV, startV, endV;
    std::string freeMemory, totalMemory;
    std::array<std::string, kAnalogChannels> analog;
    std::string analogFileSize;
    std::array<PortReadout, kLoggerSerialPorts> ports;
};

class StatusTracker {
public:
    // Decodes one record. `facts` receives the state, device type and device name; the
    // set-time decision uses the two menu marks (the one-shot request is consumed by the caller
    // when a set-time argument comes back). A late status sets the clock only when asked to.
    StatusView decode(const StatusBytes& record, HostClock& clock, LoggerFacts& facts, bool autoSync,
                      bool syncNowRequested, const StatusTiming& timing = {});

    // Reads the PC clock; texts are produced once per new second.
    HostClockView hostClockTick(HostClock& clock);

private:
    std::optional<int> m_rowNamesDeviceType;
    std::optional<int> m_runStopShown;
    bool m_firmwareWarned = false;
    int m_freshness = 0;
    int m_lastSecond = -1;
};

} // namespace status
} // namespace cv
