#include "setup/setup_record.h"

#include <algorithm>
#include <limits>

#include "base/bytes.h"
#include "base/text_format.h"
#include "protocol/speed_choices.h"

namespace cv::setup {

const std::array<const char*, kModeCount> kModeItems{
    "Profile Mode",      "Moored Mode",       "Real Time Mode",    "Analog Mode",
    "Run Logger Port 1", "Run Logger Port 2", "Run Logger Port 3", "Run Logger Port 4",
    "Run Logger Port 5", "Run Logger Port 6", "Run Logger Port 7", "Run Logger Port 8",
    "Polled Moored Mode"};

const std::array<const char*, 12> kOutputItems{
    "Status",
    "Real Time Data + Status",
    "Real Time Data",
    "Analog Data",
    "Output Logger Port 1",
    "Output Logger Port 2",
    "Output Logger Port 3",
    "Output Logger Port 4",
    "Output Logger Port 5",
    "Output Logger Port 6",
    "Output Logger Port 7",
    "Output Logger Por 8"};

const std::array<const char*, 2> kFileItems{"No Data Storage", "CV Archive Files"};

const std::array<const char*, 4> kTimeSourceItems{
    "Internal - No Time Updates", "Host PC Time", "GPS Time", "GPS Time or Host PC  "};

const std::array<const char*, kPortTypeItems> kPortTypeItemTexts{
    "OFF", "BQ5", "MFX", "ASCII", "BINARY", "SNR-G2", "GPS", "Pump", "Remote Host", "SBE-37 SM",
    "PSM-S", "CV TEST", "Wake / Binary"};

static_assert(kHostSpeedItems == int(kSpeedChoiceItems.size()) && kSpeedOn == kHostSpeedItems);
// The ports' boxes are the host port's with "ON" after them.
const std::array<const char*, kPortSpeedItems> kSpeedItems = [] {
    std::array<const char*, kPortSpeedItems> items{};
    std::copy(kSpeedChoiceItems.begin(), kSpeedChoiceItems.end(), items.begin());
    items[size_t(kSpeedOn)] = "ON";
    return items;
}();

const std::array<const char*, 3> kUnitItems{"Seconds", "Minutes", "Hours"};

const std::array<const char*, 3> kAnalogItems{"OFF", "ON", "Pump ON"};

const std::array<const char*, 2> kPumpItems{"OFF", "ON"};

const std::array<const char*, 12> kPurgePumpItems{
    "OFF",           "ON",            "Purge 500 ms",  "Purge 1000 ms",
    "Purge 1500 ms", "Purge 2000 ms", "Purge 2500 ms", "Purge 3000 ms",
    "Purge 3500 ms", "Purge 4000 ms", "Purge 4500 ms", "Purge 5000 ms"};

const std::array<const char*, kScheduleFields> kScheduleCaptions{
    "Delay Before Start", "Pre-Warmup Flush", "Meter Warm-up", "Meter Flush", "Sample", "Sample Interval"};

const ChangedFieldsNotice kChangedFields{
    "Logger Setup Shown Changed",
    "The logger reported values these controls cannot hold. They are shown changed, and Send Setup would send them "
    "changed:",
    "shown as"};
const char* const kChangedFieldsCaption = kChangedFields.caption;

namespace {

constexpr std::array<const char*, 14> kDataStatusNames{
    "Off",    "bq5",  "mfx",         "ASCII", "Binary", "SNR-G2",  "GPS",
    "Pump",   "Remote Host", "SBE16", "PSM-S", "CV-Test", "Wake-Binary", "CV-Logger"};

constexpr std::array<int, 3> kUnitMultiplier{1, 60, 3600};

int16_t i16At(const SetupBytes& r, size_t at) { return getI16le(&r[at]); }
int32_t i32At(const SetupBytes& r, size_t at) { return getI32le(&r[at]); }

int16_t saturate16(int32_t v) {
    return int16_t(std::clamp<int32_t>(v, std::numeric_limits<int16_t>::min(),
                                       std::numeric_limits<int16_t>::max()));
}

} // namespace

std::string dataStatusTypeName(int code) {
    if (code < 0 || code >= int(kDataStatusNames.size())) return "OFF";
    return kDataStatusNames[size_t(code)];
}

SpeedTriple speedTripleOf(int choice) {
    if (choice >= 0 && choice <= kTopSpeedChoice) {
        const SpeedSetting& c = kSpeedChoiceSettings[size_t(choice)];
        return {c.baud, int16_t(c.dataBits), int16_t(c.parity)};
    }
    if (choice == kSpeedOn) return {0, 7, 0};
    return {9600, 8, 0};
}

int speedChoiceOf(int32_t baud, int dataBits) {
    if (baud == 0) return dataBits == 8 ? kSpeedOff : kSpeedOn;
    // The choices 1..11 are the port settings indexes; an unknown baud reads as 9600.
    return speedChoiceOfLine(int(baud), dataBits, kSpeed9600);
}

int hostSpeedChoiceOf(int32_t baud, int dataBits) {
    return baud == 0 ? kSpeed9600 : speedChoiceOf(baud, dataBits);
}

ScheduleValue scheduleToScreen(int32_t seconds) {
    if (seconds == 0) return {0, kSeconds};
    if (seconds % 3600 == 0) return {seconds / 3600, kHours};
    if (seconds % 60 == 0) return {seconds / 60, kMinutes};
    return {seconds, kSeconds};
}

int32_t scheduleFromScreen(int number, int unit) {
    if (unit < 0 || unit > kHours) return 0;
    const int64_t seconds = int64_t(number) * kUnitMultiplier[size_t(unit)];
    return int32_t(std::clamp<int64_t>(seconds, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

PortNames defaultPortNames() {
    PortNames names;
    for (int p = 0; p < kSerialPorts; ++p) names[size_t(p)] = format("Port %d", p + 1);
    return names;
}

DecodedSetup decodeSetup(SetupBytes& record, const PortNames& ports) {
    DecodedSetup d;
    SetupControls& c = d.controls;
    auto changed = [&d](std::string name, std::string reported, std::string shown) {
        d.changed.push_back({std::move(name), std::move(reported), std::move(shown)});
    };

    for (int f = 0; f < kScheduleFields; ++f) {
        const int32_t seconds = i32At(record, offset::kSchedule + 4 * size_t(f));
        const ScheduleValue v = scheduleToScreen(seconds);
        // The spinner holds a 16-bit position within its limits; a huge count saturates
        // instead of wrapping into an unrelated number.
        c.scheduleNumber[size_t(f)] = clampToLimits(saturate16(v.number), kScheduleLimits[size_t(f)]);
        c.scheduleUnit[size_t(f)] = v.unit;
        if (c.scheduleNumber[size_t(f)] != v.number)
            changed(kScheduleCaptions[size_t(f)], format("%ld s", long(seconds)),
                    format("%d %s", c.scheduleNumber[size_t(f)], kUnitItems[size_t(v.unit)]));
    }

    c.output = i16At(record, offset::kOutput);
    c.file = i16At(record, offset::kFile);
    if (c.output < 0 || c.output >= int(kOutputItems.size())) c.output = -1;
    if (c.file < 0 || c.file >= int(kFileItems.size())) c.file = -1;

    d.hostBaud = i32At(record, offset::kBaud);
    d.hostDataBits = i16At(record, offset::kDataBits);
    c.hostSpeed = hostSpeedChoiceOf(d.hostBaud, d.hostDataBits);
    auto checkSpeed = [&](const std::string& name, int32_t baud, int choice) {
        if (speedTripleOf(choice).baud != baud)
            changed(name, format("%ld baud", long(baud)), kSpeedItems[size_t(choice)]);
    };
    checkSpeed("Host Port baud rate", d.hostBaud, c.hostSpeed);

    for (int p = 0; p < kSerialPorts; ++p) {
        const size_t e = size_t(p) + 1;
        const int code = i16At(record, offset::kPortType + 2 * e);
        c.portType[size_t(p)] = (code >= 0 && code < kPortTypeItems) ? code : -1;
        if (code >= 1 && code <= 13) {
            const int32_t baud = i32At(record, offset::kBaud + 4 * e);
            c.portSpeed[size_t(p)] = speedChoiceOf(baud, i16At(record, offset::kDataBits + 2 * e));
            checkSpeed(ports[size_t(p)] + " baud rate", baud, c.portSpeed[size_t(p)]);
        } else
            c.portSpeed[size_t(p)] = kSpeedOff;
        d.dataStatusTypes[size_t(p)] = dataStatusTypeName(code);
    }

    for (int a = 0; a < kAnalogChannels; ++a) {
        const int v = i16At(record, offset::kAnalog + 2 * size_t(a));
        c.analog[size_t(a)] = (v >= 0 && v <= 2) ? v : 0;
        if (c.analog[size_t(a)] != v) changed(format("Analog %d", a + 1), format("%d", v), kAnalogItems[0]);
    }
    for (int p = 0; p < kPumps; ++p) {
        const int v = i16At(record, offset::kPump + 2 * size_t(p));
        const int items = p == kPumps - 1 ? int(kPurgePumpItems.size()) : int(kPumpItems.size());
        c.pump[size_t(p)] = (v >= 0 && v < items) ? v : -1;
    }

    c.autoStart = i16At(record, offset::kAutoStart) != 0;

    int cutOff = kCutOffLimits.start;
    for (int p = 0; p < kSerialPorts; ++p) {
        const size_t e = size_t(p) + 1;
        if (i16At(record, offset::kPortType + 2 * e) != 0)
            cutOff = std::max<int>(cutOff, i16At(record, offset::kCutOff + 2 * e));
    }
    c.lvCutOff = clampToLimits(cutOff, kCutOffLimits);
    // Entries below the 6.5 V floor are not reported: the floor is where the reading starts.
    if (c.lvCutOff != cutOff) changed("Low Voltage Cut-Off", lowVoltageText(cutOff), lowVoltageText(c.lvCutOff));

    // A rate below 1 Hz means no rate: it is corrected in the record as well, not reported.
    if (i16At(record, offset::kAnalogRate) < 1) putI16le(&record[offset::kAnalogRate], 1);
    const int reportedRate = i16At(record, offset::kAnalogRate);
    c.analogRate = clampToLimits(reportedRate, kAnalogRateLimits);
    if (c.analogRate != reportedRate)
        changed("Analog Sample Rate", format("%d Hz", reportedRate), format("%d Hz", c.analogRate));

    c.oncePerHour = getU32le(&record[offset::kOncePerHour]) & 0x000F7FFFu;

    const int timeSource = i16At(record, offset::kTimeSource);
    c.timeSource = (timeSource >= 0 && timeSource < int(kTimeSourceItems.size())) ? timeSource : -1;
    const int mode = i16At(record, offset::kMode);
    c.mode = (mode >= 0 && mode < kModeCount) ? mode : -1;
    return d;
}

std::string changedFieldsText(const std::vector<ChangedField>& changed) {
    return cv::changedFieldsText(kChangedFields, changed);
}

std::vector<std::string> missingChoices(const SetupControls& c, const PortNames& ports) {
    std::vector<std::string> missing;
    auto check = [&missing](int v, const std::string& name) {
        if (v < 0 && v != kKeepReceived) missing.push_back(name);
    };
    check(c.mode, "Mode of Operation");
    check(c.output, "Logger Output");
    check(c.file, "Data Storage");
    check(c.hostSpeed, "Host Port baud rate");
    for (size_t p = 0; p < kSerialPorts; ++p) {
        check(c.portType[p], ports[p] + " meter type");
        check(c.portSpeed[p], ports[p] + " baud rate");
    }
    for (size_t a = 0; a < kAnalogChannels; ++a) check(c.analog[a], format("Analog %zu", a + 1));
    for (size_t p = 0; p < kPumps; ++p) check(c.pump[p], format("Pump %zu", p + 1));
    for (size_t f = 0; f < kScheduleFields; ++f)
        check(c.scheduleUnit[f], std::string(kScheduleCaptions[f]) + " units");
    return missing;
}

bool selectionsComplete(const SetupControls& c) { return missingChoices(c).empty(); }

int minimumAnalogRate(const SetupControls& c, int rate) {
    for (int p = 0; p < kSerialPorts; ++p)
        if (c.portType[size_t(p)] == porttype::kBq5 && c.portSpeed[size_t(p)] > 0) rate = std::max(rate, 2);
    for (int p = 0; p < kSerialPorts; ++p)
        if (c.portType[size_t(p)] == porttype::kMfx && c.portSpeed[size_t(p)] > 0) rate = std::max(rate, 4);
    return clampToLimits(rate, kAnalogRateLimits);
}

EncodeResult encodeSetup(const SetupControls& screen, bool integratedMeter, SetupBytes& record) {
    EncodeResult result;
    SetupControls& c = result.shown;
    c = screen;
    // A hidden control with no choice sends what the logger reported; `kept` reads that value.
    auto kept = [](int v) { return v == kKeepReceived; };
    auto orReported = [&](int v, size_t at) { return kept(v) ? int(i16At(record, at)) : v; };
    const int mode = orReported(c.mode, offset::kMode);
    const int output = orReported(c.output, offset::kOutput);
    const int file = orReported(c.file, offset::kFile);

    c.analogRate = minimumAnalogRate(c, c.analogRate);

    putU16le(&record[0], 0x0101);
    putI16le(&record[offset::kMode], int16_t(mode));

    std::array<int, kLinkEntries> types{};
    for (int p = 0; p < kSerialPorts; ++p)
        types[size_t(p) + 1] = orReported(c.portType[size_t(p)], offset::kPortType + 2 * (size_t(p) + 1));
    if (integratedMeter) {
        c.portSpeed[0] = kSpeed19200;
        const int meter = types[1];
        types[1] = meter == porttype::kOff      ? porttype::kOff
                   : meter == porttype::kBinary ? porttype::kBinary
                                                : porttype::kBq5;
    }
    for (size_t e = 0; e < kLinkEntries; ++e) putI16le(&record[offset::kPortType + 2 * e], int16_t(types[e]));

    for (size_t e = 0; e < kLinkEntries; ++e) {
        int choice = e == 0 ? c.hostSpeed : c.portSpeed[e - 1];
        if (kept(choice)) continue;
        if (types[e] == porttype::kPump && choice != 0) choice = kSpeedOn;
        SpeedTriple t = speedTripleOf(choice);
        if (choice == kSpeedOn && types[e] != porttype::kPump) t = {0, 8, 0};
        putI32le(&record[offset::kBaud + 4 * e], t.baud);
        putI16le(&record[offset::kDataBits + 2 * e], t.dataBits);
        putI16le(&record[offset::kParity + 2 * e], t.parity);
    }

    uint32_t mask = 0;
    if (isMooredMode(mode)) mask = c.oncePerHour & 0x000F7FFFu;
    putU32le(&record[offset::kOncePerHour], mask);

    c.timeSource = 0;
    putI16le(&record[offset::kTimeSource], 0);

    putI16le(&record[offset::kZeroWord], 0);
    for (size_t a = 0; a < kAnalogChannels; ++a)
        if (!kept(c.analog[a])) putI16le(&record[offset::kAnalog + 2 * a], int16_t(c.analog[a]));
    for (size_t p = 0; p < kPumps; ++p)
        if (!kept(c.pump[p])) putI16le(&record[offset::kPump + 2 * p], int16_t(c.pump[p]));

    for (size_t e = 0; e < kLinkEntries; ++e) putI16le(&record[offset::kCutOff + 2 * e], int16_t(c.lvCutOff));

    if (mode != kModeRealTime && mode != kModeAnalog && c.analogRate > 8) c.analogRate = 8;
    putI16le(&record[offset::kAnalogRate], int16_t(c.analogRate));

    putI16le(&record[offset::kOutput], int16_t(output));
    putI16le(&record[offset::kFile], int16_t(file));
    result.realTimeWithStorage = output == kOutputRealTimeData && file != kFileNoStorage;

    for (size_t f = 0; f < kScheduleFields; ++f)
        if (!kept(c.scheduleUnit[f]))
            putI32le(&record[offset::kSchedule + 4 * f], scheduleFromScreen(c.scheduleNumber[f], c.scheduleUnit[f]));

    putI16le(&record[offset::kAutoStart], c.autoStart ? 1 : 0);
    putU16le(&record[offset::kChecksum], blockChecksum(record.data(), offset::kChecksum));
    return result;
}

std::string analogRateText(int rate) {
    const int r = rate < 1 ? 1 : rate;
    return format("%1d Hz  %4d ms", r, 1000 / r);
}

Shade analogRateShade(int rate, int fileIndex) {
    if (fileIndex > 0) return rate > 6 ? Shade::Red : Shade::Silver;
    return rate > 10 ? Shade::Yellow : Shade::Silver;
}

std::string lowVoltageText(int cutOffTenths) { return format("%4.1f V", cutOffTenths * 0.1); }

} // namespace cv::setup
