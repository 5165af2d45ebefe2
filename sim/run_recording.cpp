#include "run_recording.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/bytes.h"
#include "base/logger_codes.h"
#include "run_file_format.h"

namespace cv::sim {

namespace {

void appendText(std::vector<uint8_t>& out, const char* text) {
    out.insert(out.end(), text, text + std::strlen(text));
}

std::tm calendarOf(int64_t clock) {
    const time_t t = time_t(clock);
    std::tm fields{};
    gmtime_r(&t, &fields);  // the logger clock already counts local wall-clock seconds
    return fields;
}

constexpr double kTwoPi = 6.283185307179586;
constexpr double kSwingTicks = 1200;  // one slow swing of the water's values: 5 minutes at 4 Hz
constexpr double kTrackTicks = 2400;  // one turn of the mooring about its anchor

} // namespace

std::vector<uint8_t> nmeaSentence(const char* body, bool garbled) {
    uint8_t sum = 0;
    for (const char* c = body; *c; ++c) sum ^= uint8_t(*c);
    if (garbled) sum ^= 0x20;
    std::vector<uint8_t> out{'$'};
    appendText(out, body);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    appendText(out, tail);
    return out;
}

InstrumentSource::InstrumentSource(uint32_t seed) : m_rng(seed) { m_phase = kTwoPi * (noise() + 1) / 2; }

double InstrumentSource::noise() { return double(m_rng()) / 2147483647.5 - 1.0; }

double InstrumentSource::wander(double& walk, double step) {
    const double n = noise();
    walk = 0.98 * walk + step * n;
    return walk;
}

Sections InstrumentSource::next(const SetupRecord& setup, uint32_t tick, int64_t clock, int analogScans) {
    Sections sections;
    const std::tm t = calendarOf(clock);
    char line[160];
    // Each value is drawn in a statement of its own: the order in which a call's arguments are
    // evaluated differs between compilers, and the same seed must give the same lines.
    const auto draw = [&](int count) {
        std::array<double, 3> v{};
        for (int i = 0; i < count; ++i) v[size_t(i)] = noise();
        return v;
    };
    const double swing = kTwoPi * double(tick) / kSwingTicks + m_phase;
    const double track = kTwoPi * double(tick) / kTrackTicks + m_phase;
    for (int port = 1; port <= 8; ++port) {
        if (!portDeliversData(setup, port)) continue;
        std::vector<uint8_t>& out = sections[port - 1];
        std::array<double, 4>& walk = m_walks[size_t(port - 1)];
        switch (setupPortType(setup, port)) {
        case port::kBq5: {
            const double temperature = 12.5 + 1.2 * std::sin(swing) + wander(walk[0], 0.01);
            const double salinity = 35.03 + 0.02 * std::cos(swing) + wander(walk[1], 0.0005);
            const double pressure = 100.0 + 3.0 * std::sin(0.5 * swing) + wander(walk[2], 0.02);
            const double sensorNoise = 0.00005 * noise();
            // Sea water near 15 degrees and 35 of salinity conducts about 4.29 S/m.
            const double conductivity = 4.2914 + 0.09 * (temperature - 15.0) + 0.11 * (salinity - 35.0) + sensorNoise;
            std::snprintf(line, sizeof line, "%7.4f,%7.5f,%7.3f,%7.4f\r\n", temperature, conductivity, pressure,
                          salinity);
            appendText(out, line);
            break;
        }
        case port::kMfx: {
            const auto v = draw(3);
            std::snprintf(line, sizeof line, "MFX %05u %6.2f %6.2f %6.2f\r\n", tick % 100000u, 31.0 + v[0],
                          4.5 + 0.1 * v[1], 101.3 + v[2]);
            appendText(out, line);
            break;
        }
        case port::kGps: {
            // Minutes of 48 N and 11 E, a few tens of metres about the anchor.
            const double north = 7.0 + 0.02 * std::sin(track) + wander(walk[0], 0.0002);
            const double east = 31.0 + 0.03 * std::cos(track) + wander(walk[1], 0.0002);
            const double height = 2.0 + 0.5 * std::sin(0.5 * swing) + wander(walk[2], 0.02);
            const bool garbled = m_rng() % kBadChecksumOneIn == 0;
            char body[120];
            std::snprintf(body, sizeof body, "GPGGA,%02d%02d%02d.00,48%07.4f,N,011%07.4f,E,1,08,0.9,%.1f,M,46.9,M,,",
                          t.tm_hour, t.tm_min, t.tm_sec, north, east, height);
            const std::vector<uint8_t> sentence = nmeaSentence(body, garbled);
            out.insert(out.end(), sentence.begin(), sentence.end());
            break;
        }
        case port::kBinary:
        case port::kWakeBinary: {
            uint8_t record[48];
            record[0] = 0xA5;
            record[1] = 0x5A;
            putU16be(record + 2, uint16_t(tick));
            for (size_t i = 4; i < sizeof record; ++i) record[i] = uint8_t(m_rng());
            out.insert(out.end(), record, record + sizeof record);
            break;
        }
        default:
            std::snprintf(line, sizeof line, "P%d,%05u,%8.3f\r\n", port, tick % 100000u, 20.0 + noise());
            appendText(out, line);
            break;
        }
    }
    const int scans = analogScans > 0 ? analogScans : setupAnalogRate(setup);
    std::vector<uint8_t>& analog = sections[8];
    for (int sample = 0; sample < scans; ++sample) {
        for (int channel = 1; channel <= 7; ++channel) {
            if (setupAnalog(setup, channel) != 1) continue;
            const int counts = 2000 + 300 * channel + int(std::lround(20.0 * noise()));
            analog.push_back(uint8_t(counts >> 8));
            analog.push_back(uint8_t(counts));
        }
    }
    return sections;
}

int16_t statusPortRate(const SetupRecord& setup, int port, size_t bytes) {
    const int16_t type = setupPortType(setup, port);
    const int16_t value = int16_t(std::min<size_t>(bytes, 32767));
    return (type == port::kBinary || type == port::kWakeBinary) ? int16_t(-value) : value;
}

namespace {

constexpr size_t kSummaryPayloadAt = runfile::kRecordHeaderLength;  // the Summary is the first record
static_assert(kMuxHeaderLength + kMuxMaxPayload + 4 <= runfile::kMaxPayload,
              "a full mux record must fit one run-file record");

} // namespace

RunRecorder::RunRecorder(int16_t runNumber, const SetupRecord& setup, const RunContext& context) {
    m_info = runInfoFromSetup(runNumber, setup);
    m_info.startTime = context.startTime;
    m_info.startMv = context.startMv;

    RunSummarySettings& s = m_summary;
    s.runNumber = runNumber;
    s.mode = setupMode(setup);
    s.loggerKind = context.deviceType;
    s.serialNumber = context.serialNumber;
    s.fileFormat = getI16le(setup.data() + setup::kFileFormat);
    s.outputFormat = getI16le(setup.data() + setup::kOutputFormat);
    for (int e = 0; e < 9; ++e) {
        const size_t k = size_t(e);
        s.portType[k] = e == 0 ? 0 : setupPortType(setup, e);
        s.baud[k] = setupBaud(setup, e);
        s.dataBits[k] = setupDataBits(setup, e);
        s.parity[k] = setupParity(setup, e);
        s.cutOffTenths[k] = getI16le(setup.data() + setup::kCutOff + 2 * e);
    }
    s.powerKHz = powerlevel::kStandard;
    for (int c = 0; c < kAnalogChannels; ++c) s.analog[size_t(c)] = setupAnalog(setup, c + 1);
    for (int k = 0; k < kPumps; ++k) s.pump[size_t(k)] = setupPump(setup, k + 1);
    s.delaySeconds = getI32le(setup.data() + setup::kDelay);
    s.preFlushSeconds = getI32le(setup.data() + setup::kPreFlush);
    s.warmUpSeconds = getI32le(setup.data() + setup::kWarmup);
    s.flushSeconds = getI32le(setup.data() + setup::kFlush);
    s.sampleSeconds = getI32le(setup.data() + setup::kSample);
    s.intervalSeconds = getI32le(setup.data() + setup::kInterval);
    s.startTime = int32_t(context.startTime);
    s.unitId = context.loggerId;
    s.packetIntervalMs = context.packetIntervalMs;
    s.startMillivolts = context.startMv;
    s.finalMillivolts = context.startMv;
    s.recordedBytes.fill(0);
    s.freeMemory = context.totalMemory;
    s.totalMemory = context.totalMemory;
    s.firmwareMajor = int16_t(firmwareMajor(context.firmware));
    s.firmwareMinor = int16_t(firmwareMinor(context.firmware));
    s.firmwareDate = {int16_t((context.firmware >> 16) & 0xF), int16_t((context.firmware >> 8) & 0xFF),
                      int16_t(context.firmware & 0xFF)};
    appendRunFileRecord(m_bytes, runfile::kSummary, summaryRunPayload(s));
    appendRunFileRecord(m_bytes, runfile::kSenderUnitId, std::vector<uint8_t>{0, uint8_t(context.loggerId)});
}

void RunRecorder::addMuxRecord(const uint8_t* record, size_t length) {
    if (length < kMuxHeaderLength + 4 || length > runfile::kMaxPayload) return;
    for (int k = 0; k < 9; ++k) {
        const int32_t sectionLength = getU16be(record + 10 + 2 * k);
        m_recorded[k == 8 ? 0 : size_t(k + 1)] += sectionLength;
    }
    appendRunFileRecord(m_bytes, runfile::kArchiveKrMux, record, length);
}

SimRun RunRecorder::finish(int16_t endMv, int32_t freeMemory) {
    // The Summary leads the file but only now knows how the run ended.
    m_summary.finalMillivolts = endMv;
    m_summary.recordedBytes = m_recorded;
    m_summary.freeMemory = freeMemory;
    const std::vector<uint8_t> summary = summaryRunPayload(m_summary);
    std::copy(summary.begin(), summary.end(), m_bytes.begin() + long(kSummaryPayloadAt));
    SimRun run;
    run.info = m_info;
    run.info.endMv = endMv;
    run.bytes = m_bytes;
    run.info.size = uint32_t(run.bytes.size());
    return run;
}

} // namespace cv::sim
