#include "setup/status_record.h"

#include "ports/host_clock.h"
#include "base/bytes.h"
#include "base/logger_time.h"
#include "base/text_format.h"

namespace cv::status {

namespace {

int16_t i16(const StatusBytes& r, size_t at) { return getI16le(&r[at]); }
uint16_t u16(const StatusBytes& r, size_t at) { return getU16le(&r[at]); }

// The host shows dates with a two-digit year.
int twoDigitYear(const std::tm& tm) { return ((tm.tm_year % 100) + 100) % 100; }
int32_t i32(const StatusBytes& r, size_t at) { return getI32le(&r[at]); }

} // namespace

StatusFields decodeStatusFields(const StatusBytes& r) {
    StatusFields f;
    f.state = i16(r, 4);
    f.runNumber = i16(r, 6);
    f.loggerClock = i32(r, 8);
    f.timeLeft = getU32le(&r[12]);
    f.deviceType = i16(r, 18);
    f.loggerId = i16(r, 20);
    f.serialMask = u16(r, 22);
    f.analogMask = u16(r, 24);
    f.pumpMask = u16(r, 26);
    for (size_t p = 0; p < size_t(kLoggerSerialPorts); ++p) f.portRate[p] = i16(r, 30 + 2 * p);
    f.power = i16(r, 46);
    f.currentMv = i16(r, 48);
    f.startMv = i16(r, 50);
    f.endMv = i16(r, 52);
    f.runStop = i16(r, 54);
    for (size_t a = 0; a < size_t(kAnalogChannels); ++a) f.analogMv[a] = i16(r, 58 + 2 * a);
    for (size_t p = 0; p < size_t(kLoggerSerialPorts); ++p) f.portFileSize[p] = i32(r, 76 + 4 * p);
    f.analogFileSize = i32(r, 108);
    f.otherRunBytes = i32(r, 112);
    f.freeMemory = i32(r, 116);
    f.totalMemory = i32(r, 120);
    f.firmware = getU32le(&r[124]);
    return f;
}

std::string stateText(int state) {
    switch (state) {
    case loggerstate::kOff: return "OFF";
    case loggerstate::kDelay: return "Delay";
    case loggerstate::kPreFlush: return "Pre-Flush";
    case loggerstate::kWarmup: return "Warmup";
    case loggerstate::kFlush: return "Flush";
    case loggerstate::kSampling: return "Sampling";
    case loggerstate::kClearMemory: return "Clear Memory";
    case loggerstate::kSleeping: return "Sleeping";
    case loggerstate::kStandby: return "Standby";
    case loggerstate::kUpload: return "Upload";
    case loggerstate::kLowVoltage: return "Low Voltage";
    case loggerstate::kEightVoltLimit: return "8 volt Limit";
    case loggerstate::kManualSwitch: return "Manual Switch";
    case loggerstate::kLowPower: return "Low Power";
    case loggerstate::kZeroVoltCutoff: return "Zero Volt Cutoff";
    case loggerstate::kEndOfRun: return "End of Run";
    default: return format("Invalid Status %02x", unsigned(state));
    }
}

std::string timeLeftText(uint32_t seconds) {
    const long h = long(seconds / 3600);
    const long m = long((seconds - uint32_t(h) * 3600) / 60);
    const long s = long(seconds % 60);
    if (h > 0) return format("%2ld:%02ld:%02ld", h, m, s);
    return format("%2ld:%02ld", m, s);
}

std::string voltageText(int millivolts) { return format("%4.1f V", millivolts * 0.001); }

std::string memoryText(int32_t bytes) { return format("%ld K", long(bytes / 1024)); }

std::string runStopText(int value) {
    switch (value) {
    case 1: return "Run/Stop Switch: STOP";
    case 2: return "Run/Stop Switch: RUN";
    case 4: return "Run/Stop Switch: Disabled";
    default: return "Run/Stop Switch:  Error";
    }
}

std::string runNumberText(int runNumber) {
    if (runNumber < 0) return "Run Number:";
    return format("Run Number:  %03d", runNumber);
}

std::string runSizeText(const StatusFields& f) {
    // Ten 32-bit counts can exceed 32 bits together.
    int64_t total = int64_t(f.analogFileSize) + f.otherRunBytes;
    for (int32_t size : f.portFileSize) total += size;
    return format("Run File Size:  %lld K", static_cast<long long>(total / 1024));
}

std::string powerText(int16_t bits) {
    std::string s = "Power: ";
    for (int b = 0; b < 8; ++b) {
        if (b == 4) s += ' ';
        s += (uint16_t(bits) >> b) & 1 ? '1' : '0';
    }
    return s;
}

std::string hostTypeText(uint16_t serialMask) {
    return (serialMask & 0x100) ? "Host:  RS422" : "Host:  RS232";
}

std::string analogReadingText(int millivolts) { return format("%5.3f", millivolts * 0.001); }

std::string analogFileSizeText(int32_t bytes) {
    if (bytes > 1023) return format("%ld k", long(bytes / 1024));
    return format("%ld", long(bytes));
}

std::string currentLoggerIdText(int id) { return format("Current Logger ID:  %3d", id); }

double firmwareVersion(uint32_t firmwareWord) {
    const uint32_t major = firmwareWord >> 28, minor = (firmwareWord >> 20) & 0xFF;
    return double(major) + double(minor) * 0.01;
}

std::string firmwareWarningText(uint32_t firmwareWord) {
    return format("This Host Program is incompatible with Firmware Version %4.2f", firmwareVersion(firmwareWord));
}

PortReadout portReadout(int16_t rate, int32_t fileSize) {
    PortReadout r;
    int value = rate;
    if (value < 0) {
        r.rateCaption = "Bytes/Record:";
        value = -value;
    } else {
        r.rateCaption = "Bytes/Second:";
    }
    r.rate = format("%d", value);
    r.fileSize = fileSize < 1024 ? format("%d", int(fileSize)) : format("%d K", int(fileSize / 1024));
    return r;
}

std::optional<DeviceCaptions> deviceCaptions(int deviceType) {
    switch (deviceType) {
    case devicekind::kBq5Plus: return DeviceCaptions{"Clear BQ5+ Memory", "Get BQ5+ Directory", "BQ5+"};
    case devicekind::kKr8: return DeviceCaptions{"Clear KR-8 Memory", "Get KR-8 Directory", "KR-8"};
    case devicekind::kVIrov: return DeviceCaptions{"Clear V-Irov Memory", "Get V-Irov Directory", "V-Irov"};
    default: return std::nullopt;
    }
}

PortRowNames portRowNames(int deviceType) {
    PortRowNames names;
    const bool meter = devicekind::hasIntegratedMeter(deviceType);
    for (int p = 0; p < kLoggerSerialPorts; ++p) {
        std::string name;
        if (meter)
            name = p == 0 ? "bq5:" : format("Port %d:", p);
        else
            name = format("Port %d:", p + 1);
        names.portSetup[size_t(p)] = name;
        names.dataStatus[size_t(p)] = name;
    }
    return names;
}

HostClockView StatusTracker::hostClockTick(HostClock& clock) {
    HostClockView v;
    const std::tm tm = clock.localTime(clock.now());
    if (tm.tm_sec == m_lastSecond) return v;
    m_lastSecond = tm.tm_sec;
    v.newSecond = true;
    const int yy = twoDigitYear(tm);
    v.hostDateTime = format("%02d/%02d/%02d  %02d:%02d:%02d", tm.tm_mon + 1, tm.tm_mday, yy, tm.tm_hour,
                            tm.tm_min, tm.tm_sec);
    v.hostTime = format("%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    v.hostDate = format("%02d/%02d/%02d", tm.tm_mon + 1, tm.tm_mday, yy);
    if (m_freshness > 0)
        --m_freshness;
    else
        v.loggerTimeStale = true;
    return v;
}

std::optional<std::string> heldDriftText(const StatusTiming& timing, int64_t pcNow) {
    if (!timing.heldOffset) return std::string("Drift:  --:--:-- (line full)");
    const std::optional<std::string> held = driftText(pcNow + *timing.heldOffset, pcNow);
    if (!held) return std::nullopt;
    return *held + "(held)";
}

StatusView StatusTracker::decode(const StatusBytes& record, HostClock& clock, LoggerFacts& facts, bool autoSync,
                                 bool syncNowRequested, const StatusTiming& timing) {
    StatusView v;
    const StatusFields& f = v.fields = decodeStatusFields(record);
    m_freshness = 2;

    if (!m_rowNamesDeviceType || *m_rowNamesDeviceType != f.deviceType) v.rowNames = portRowNames(f.deviceType);
    m_rowNamesDeviceType = f.deviceType;
    v.remoteHostOn = (f.serialMask & 0x200) != 0;
    v.hostType = hostTypeText(f.serialMask);
    for (size_t p = 0; p < size_t(kLoggerSerialPorts); ++p) v.portInstalled[p] = (f.serialMask >> p) & 1;
    for (size_t a = 0; a < size_t(kAnalogChannels); ++a) v.analogInstalled[a] = (f.analogMask >> a) & 1;
    for (size_t p = 0; p < size_t(kPumps); ++p) v.pumpInstalled[p] = (f.pumpMask >> p) & 1;

    v.currentLoggerId = currentLoggerIdText(f.loggerId);
    v.askForLoggerId = !loggerIdValid(f.loggerId);

    if (!m_runStopShown || *m_runStopShown != f.runStop) {
        RunStopView rs;
        if (f.runStop == 0) rs.visible = false;
        else if (f.runStop > 0) rs.visible = true;
        rs.text = runStopText(f.runStop);
        v.runStop = rs;
        m_runStopShown = f.runStop;
    }
    v.runNumber = runNumberText(f.runNumber);
    v.runSize = runSizeText(f);
    v.power = powerText(f.power);

    facts.state = f.state;
    facts.deviceType = f.deviceType;
    if (firmwareIncompatible(f.firmware) && !m_firmwareWarned) {
        m_firmwareWarned = true;
        v.firmwareWarning = firmwareWarningText(f.firmware);
    }
    v.captions = deviceCaptions(f.deviceType);
    if (v.captions) facts.deviceName = v.captions->name;

    v.clock = hostClockTick(clock);
    const int64_t pcNow = clock.now();
    const ZoneState zone = zoneAt(clock, pcNow);
    v.loggerInPc = pcTimeOfLoggerClock(f.loggerClock, zone);
    v.clockOffset = v.loggerInPc - pcNow;
    // The set-time argument is the PC's time, so an asked-for set is sound even now; only the
    // automatic one judges the logger clock by this status.
    if (timeSyncDue(v.loggerInPc, pcNow, autoSync && !timing.late, syncNowRequested))
        v.setTimeArgument = uint32_t(loggerClockOfPcTime(pcNow, zone));

    const std::tm loggerFields = clock.localTime(v.loggerInPc);
    v.loggerDateTime = formatTime("%m/%d/%y   %H:%M:%S", loggerFields);
    v.sleepTime = formatTime("%H:%M:%S", loggerFields);
    v.sleepDate = formatTime("%m/%d/%y", loggerFields);
    v.drift = timing.late ? heldDriftText(timing, pcNow) : driftText(v.loggerInPc, pcNow);

    v.operation = stateText(f.state);
    v.timeLeft = timeLeftText(f.timeLeft);
    v.currentV = voltageText(f.currentMv);
    v.startV = voltageText(f.startMv);
    v.endV = voltageText(f.endMv);
    v.freeMemory = memoryText(f.freeMemory);
    v.totalMemory = memoryText(f.totalMemory);
    for (size_t a = 0; a < size_t(kAnalogChannels); ++a) v.analog[a] = analogReadingText(f.analogMv[a]);
    v.analogFileSize = analogFileSizeText(f.analogFileSize);
    for (size_t p = 0; p < size_t(kLoggerSerialPorts); ++p) v.ports[p] = portReadout(f.portRate[p], f.portFileSize[p]);
    return v;
}

} // namespace cv::status
