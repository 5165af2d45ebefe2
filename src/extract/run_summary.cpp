#include "extract/run_summary.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "extract/buffered_file.h"
#include "base/bytes.h"
#include "base/logger_codes.h"
#include "base/text_format.h"

namespace cv {

namespace {

constexpr char kTab = '\t';

int16_t be16(const uint8_t* p, size_t offset) { return int16_t(getU16be(p + offset)); }
int32_t be32(const uint8_t* p, size_t offset) { return int32_t(getU32be(p + offset)); }

template <size_t N>
void be16Array(std::array<int16_t, N>& out, const uint8_t* p, size_t offset) {
    for (size_t i = 0; i < N; ++i) out[i] = be16(p, offset + 2 * i);
}

template <size_t N>
void be32Array(std::array<int32_t, N>& out, const uint8_t* p, size_t offset) {
    for (size_t i = 0; i < N; ++i) out[i] = be32(p, offset + 4 * i);
}

const char* portTypeName(int code) {
    static constexpr const char* kNames[] = {
        "        OFF", "        bq5", "        mfx", "      ASCII", "     Binary", "     SNR-G2", "Ashteck GPS",
        "       PUMP", "Remote Host", "SBE16",       "      PSM-S", "CV-Test",     "Wake/Binary", "  CV-Logger",
    };
    if (code < 0 || code >= int(std::size(kNames))) return "Invalid Meter";
    return kNames[code];
}

char parityLetter(int code) {
    switch (code) {
    case parity::kNone: return 'N';
    case parity::kOdd: return 'O';
    case parity::kEven: return 'E';
    default: return '*';
    }
}

std::string scheduleLine(const char* label, int32_t seconds) {
    // The durations are printed unsigned, as the logger's own tools print them.
    if (seconds == 0) return format("%s:  None\n", label);
    if (seconds % 3600 == 0) return format("%s: %1lu Hours\n", label, static_cast<unsigned long>(uint32_t(seconds / 3600)));
    if (seconds % 60 == 0) return format("%s: %1lu Minutes\n", label, static_cast<unsigned long>(uint32_t(seconds / 60)));
    return format("%s: %1lu Seconds\n", label, static_cast<unsigned long>(uint32_t(seconds)));
}

std::string outputFormatText(int code) {
    if (code == outputformat::kStatus) return "Status                     ";
    if (code == outputformat::kRealTimeAndStatus) return "Real Time + Status         ";
    if (code == outputformat::kRealTime) return "Real Time                  ";
    if (code >= outputformat::kToFirstLogger && code <= outputformat::kToLastLogger)
        return format("Logger %d                   ", code - outputformat::kToFirstLogger + 1);
    return format("Invalid Output Setting %d  ", code);
}

} // namespace

PacketRate packetRateOf(int intervalMs) {
    static constexpr std::pair<int, int> kRates[] = {{100, 10}, {125, 8}, {166, 6}, {200, 5},
                                                     {250, 4},  {333, 3}, {500, 2}, {1000, 1}};
    for (auto [interval, hz] : kRates)
        if (intervalMs == interval) return {hz, "Hz"};
    return {intervalMs, "ms"};
}

RunSummaryFields decodeRunSummary(const uint8_t* payload, size_t size) {
    std::array<uint8_t, kSummaryPayloadLength> p{};
    std::memcpy(p.data(), payload, std::min(size, p.size()));
    const uint8_t* b = p.data();
    RunSummaryFields f;
    f.runNumber = be16(b, 0);
    f.mode = be16(b, 2);
    f.loggerKind = be16(b, 4);
    f.serialNumber = be16(b, 6);
    f.fileFormat = be16(b, 8);
    f.outputFormat = be16(b, 10);
    be16Array(f.portType, b, 12);
    f.powerKHz = be16(b, 30);
    be32Array(f.baud, b, 36);
    be16Array(f.dataBits, b, 72);
    be16Array(f.parity, b, 90);
    be16Array(f.cutOffTenths, b, 108);
    be16Array(f.analog, b, 130);
    be16Array(f.pump, b, 144);
    f.delaySeconds = be32(b, 152);
    f.preFlushSeconds = be32(b, 156);
    f.warmUpSeconds = be32(b, 160);
    f.flushSeconds = be32(b, 164);
    f.sampleSeconds = be32(b, 168);
    f.intervalSeconds = be32(b, 172);
    f.startTime = be32(b, 176);
    f.unitId = be16(b, 188);
    f.packetIntervalMs = be16(b, 190);
    f.startMillivolts = be16(b, 192);
    f.finalMillivolts = be16(b, 194);
    be32Array(f.recordedBytes, b, 200);
    f.freeMemory = be32(b, 236);
    f.totalMemory = be32(b, 240);
    f.firmwareMajor = be16(b, 244);
    f.firmwareMinor = be16(b, 246);
    be16Array(f.firmwareDate, b, 248);
    return f;
}

std::string formatRunSummary(const RunSummaryFields& f) {
    std::string s;
    s.reserve(1536);  // a full report, so it is not moved while it grows
    const std::string start = formatTime("%m/%d/%y at %H:%M:%S", wallClockFields(f.startTime));
    switch (f.mode) {
    case loggermode::kProfile: s += format("Run # %1d:  Profile on %s\n\n", f.runNumber, start.c_str()); break;
    case loggermode::kMoored: s += format("Run # %1d:  Moored on %s\n\n", f.runNumber, start.c_str()); break;
    case loggermode::kPolledMoored: s += format("Run # %1d:  Polled Moored on %s\n\n", f.runNumber, start.c_str()); break;
    default: s += format("Run # %1d: Unknown Mode %d  on %s\n\n", f.runNumber, f.mode, start.c_str()); break;
    }

    const int major = f.firmwareMajor, minor = f.firmwareMinor;
    const int d0 = f.firmwareDate[0], d1 = f.firmwareDate[1], d2 = f.firmwareDate[2];
    switch (f.loggerKind) {
    case devicekind::kBq5Plus:
        s += format("bq5Plus S/N-%03d\n\nFirmware Version %2d.%02d  %2d/%02d/%02d\n\n", f.serialNumber, major, minor, d0, d1, d2);
        break;
    case devicekind::kKr8:
        s += format("KR8 S/N-%03d\n\nFirmware Version %2d.%02d  %2d/%02d/%02d\n\n", f.serialNumber, major, minor, d0, d1, d2);
        break;
    case devicekind::kVIrov:
        s += format("DOD Erer S/N=%03d\n\nFirmware Version %2d.%02d  %2d/%02d/%02d\n\n", f.serialNumber, major, minor, d0, d1, d2);
        break;
    default:
        s += format("Unknown Meter Type %d S/N-%03d\n\nFirmware Version %2d.%02d  %2d/%02d/%02d\n\n", f.loggerKind,
                    f.serialNumber, major, minor, d0, d1, d2);
        break;
    }

    switch (f.powerKHz) {
    case powerlevel::kSixtyPercent: s += format("60 %% Power:  %d kHz \n\n", f.powerKHz); break;
    case powerlevel::kSeventyFivePercent: s += format("75 %% Power:  %d kHz \n\n", f.powerKHz); break;
    case powerlevel::kStandard: s += format("Standard Power:  %d kHz \n\n", f.powerKHz); break;
    case powerlevel::kTurbo: s += format("Turbo Power:  %d kHz \n\n", f.powerKHz); break;
    default: s += format("Unknown Power: %d kHz \n\n", f.powerKHz); break;
    }

    if (f.freeMemory / 1024 <= 50) s += "***Warning*** This Run may have terminated early.  Out of Memory!!!\n\n";

    if (f.fileFormat == fileformat::kNoStorage)
        s += "File Format:  No Data Recorded\n";
    else if (f.fileFormat == fileformat::kArchive)
        s += "File Format:  Corvane Archive Files\n";
    else
        s += format("File Format:  Invalid File Format: %d\n", f.fileFormat);

    s += "Output Format:  " + outputFormatText(f.outputFormat) + "\n\n";

    if (f.fileFormat == fileformat::kArchive || f.outputFormat == outputformat::kRealTimeAndStatus ||
        f.outputFormat == outputformat::kRealTime) {
        PacketRate rate = packetRateOf(f.packetIntervalMs);
        s += format("Logger:\nUnit ID: %1d\nPacket Rate: %1d %s\n\n", f.unitId, rate.value, rate.unit);
    }

    s += "Active Pump Ports: ";
    bool anyPump = false;
    for (size_t i = 0; i < f.pump.size(); ++i) {
        if (f.pump[i] > 0) {
            s += format("\t%d", int(i + 1));
            anyPump = true;
        }
    }
    if (!anyPump) s += "  None";
    s += "\n\n";

    s += "Analog Ports: ";
    for (size_t i = 0; i < f.analog.size(); ++i) {
        if (f.analog[i] == analoguse::kOn) s += format("\n%1d  On", int(i + 1));
        if (f.analog[i] == analoguse::kPumpOn) s += format("\n%1d  Pump On", int(i + 1));
    }
    s += "\n\n";

    s += "Serial Ports: Type Baud     Size  Parity Stop\n";
    s += format("Host Port: %c%c%-6ld%c%1d%c%c%c1\n", kTab, kTab, long(f.baud[0]), kTab, f.dataBits[0], kTab,
                parityLetter(f.parity[0]), kTab);
    for (int port = 1; port <= kLoggerSerialPorts; ++port) {
        if (f.portType[size_t(port)] <= 0) continue;
        s += format("Port %1d:%c%-s %-6ld%c%1d%c%c%c1\n", port, kTab, portTypeName(f.portType[size_t(port)]),
                    long(f.baud[size_t(port)]), kTab, f.dataBits[size_t(port)], kTab, parityLetter(f.parity[size_t(port)]),
                    kTab);
    }

    s += scheduleLine("\nDelay Before Start", f.delaySeconds);
    s += scheduleLine("Pre-Flush", f.preFlushSeconds);
    s += scheduleLine("Warm Up", f.warmUpSeconds);
    s += scheduleLine("Flush", f.flushSeconds);
    s += scheduleLine("Sample", f.sampleSeconds);
    if (f.mode == loggermode::kMoored || f.mode == loggermode::kPolledMoored) s += scheduleLine("Interval", f.intervalSeconds);
    s += "\n";

    s += format("Starting Voltage: %4.1f V\n", f.startMillivolts * 0.001);
    s += format("Final Voltage: %4.1f V\n", f.finalMillivolts * 0.001);
    s += format("Low Voltage Cutoff : %4.1lf\n\n", f.cutOffTenths[1] * 0.1);

    s += "Recorded File Sizes\n";
    const int32_t analogBytes = f.recordedBytes[0];
    if (analogBytes <= 1024)
        s += format("Analog: %8ld\n", long(analogBytes));
    else
        s += format("Analog: %8ld K\n", long(analogBytes / 1024));
    for (int port = 1; port <= kLoggerSerialPorts; ++port) {
        if (f.portType[size_t(port)] <= 0) continue;
        const int32_t bytes = f.recordedBytes[size_t(port)];
        if (bytes <= 1024)
            s += format("Port %1d: %8ld Bytes\n", port, long(bytes));
        else
            s += format("Port %1d: %8ld K\n", port, long(bytes / 1024));
    }

    s += format("\nTotal Disk Space: %1ld K\n", long(f.totalMemory / 1024));
    s += format("Free Disk Space: %1ld K at End of Sample\n", long(f.freeMemory / 1024));
    return s;
}

bool writeRunSummaryFile(const std::filesystem::path& path, const uint8_t* payload, size_t size) {
    OutputFile file;
    return file.create(path) && writeRunSummary(file, payload, size);
}

bool writeRunSummary(OutputSink& file, const uint8_t* payload, size_t size) {
    const std::string text = formatRunSummary(decodeRunSummary(payload, size));
    // Other tools read this file: CR LF on every platform.
    std::string out(2 * text.size(), '\0');  // room for a CR before every character
    char* to = out.data();
    const char* from = text.data();
    const char* const end = from + text.size();
    while (const void* found = std::memchr(from, '\n', size_t(end - from))) {
        const auto lineEnd = static_cast<const char*>(found);
        std::memcpy(to, from, size_t(lineEnd - from));
        to += lineEnd - from;
        *to++ = '\r';
        *to++ = '\n';
        from = lineEnd + 1;
    }
    std::memcpy(to, from, size_t(end - from));
    to += end - from;
    file.write(std::string_view(out.data(), size_t(to - out.data())));
    return file.close();
}

} // namespace cv
