#include "run_file_generator.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>

#include "base/bytes.h"
#include "run_file_format.h"

namespace cv::sim {

namespace {

using namespace runfile;

constexpr uint32_t kMarker = 0x2A200A0Du;
constexpr size_t kChunkSize = 1 << 20;

int meterType(int port) { return port <= 4 ? kMeter1 + port - 1 : kMeter5 + port - 5; }
int archiveMuxType(int port) { return port <= 4 ? kArchiveMux1 + port - 1 : kArchiveMux5 + port - 5; }

void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

} // namespace

void appendRunFileRecord(std::vector<uint8_t>& out, int type, const uint8_t* payload, size_t size) {
    uint8_t header[4];
    putU16le(header, uint16_t(size));
    putU16le(header + 2, uint16_t(type));
    out.insert(out.end(), header, header + 4);
    out.insert(out.end(), payload, payload + size);
}

void appendRunFileRecord(std::vector<uint8_t>& out, int type, const std::vector<uint8_t>& payload) {
    appendRunFileRecord(out, type, payload.data(), payload.size());
}

std::vector<uint8_t> timedRunPayload(uint32_t time, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> p(4 + data.size());
    putU32le(p.data(), time);
    std::copy(data.begin(), data.end(), p.begin() + 4);
    return p;
}

std::vector<uint8_t> krMuxRunPayload(uint8_t first, uint8_t second, uint8_t loggerId, uint8_t sequence, uint32_t time,
                                     const RunFileSections& sections, const std::array<uint16_t, 9>* statedLengths) {
    size_t total = 0;
    for (const auto& s : sections) total += s.size();
    std::vector<uint8_t> p(28 + total + 4);
    p[0] = first;
    p[1] = second;
    p[2] = loggerId;
    p[3] = sequence;
    putU16be(p.data() + 4, uint16_t(total));
    putU32be(p.data() + 6, time);
    size_t at = 28;
    for (size_t s = 0; s < 9; ++s) {
        putU16be(p.data() + 10 + 2 * s, statedLengths ? (*statedLengths)[s] : uint16_t(sections[s].size()));
        std::copy(sections[s].begin(), sections[s].end(), p.begin() + std::ptrdiff_t(at));
        at += sections[s].size();
    }
    std::copy_n("####", 4, p.begin() + std::ptrdiff_t(at));
    return p;
}

std::vector<uint8_t> archiveHeaderRunPayload(uint8_t loggerId, uint8_t sequence, uint32_t time, bool sevenBytes,
                                             uint8_t extra) {
    std::vector<uint8_t> p(sevenBytes ? 7 : 6);
    p[0] = loggerId;
    p[1] = sequence;
    putU32le(p.data() + 2, time);
    if (sevenBytes) p[6] = extra;
    return p;
}

std::vector<uint8_t> summaryRunPayload(const RunSummarySettings& s) {
    namespace at = summary;
    std::vector<uint8_t> p(at::kLength, 0);
    auto i16 = [&](size_t offset, int16_t v) { putU16be(p.data() + offset, uint16_t(v)); };
    auto i32 = [&](size_t offset, int32_t v) { putU32be(p.data() + offset, uint32_t(v)); };
    i16(at::kRunNumber, s.runNumber);
    i16(at::kMode, s.mode);
    i16(at::kLoggerKind, s.loggerKind);
    i16(at::kSerialNumber, s.serialNumber);
    i16(at::kFileFormat, s.fileFormat);
    i16(at::kOutputFormat, s.outputFormat);
    for (size_t k = 0; k < 9; ++k) {
        i16(at::kPortType + 2 * k, s.portType[k]);
        i32(at::kBaud + 4 * k, s.baud[k]);
        i16(at::kDataBits + 2 * k, s.dataBits[k]);
        i16(at::kParity + 2 * k, s.parity[k]);
        i16(at::kCutOff + 2 * k, s.cutOffTenths[k]);
        i32(at::kRecordedBytes + 4 * k, s.recordedBytes[k]);
    }
    i16(at::kPowerKHz, s.powerKHz);
    for (size_t k = 0; k < 7; ++k) i16(at::kAnalog + 2 * k, s.analog[k]);
    for (size_t k = 0; k < 4; ++k) i16(at::kPump + 2 * k, s.pump[k]);
    i32(at::kDelay, s.delaySeconds);
    i32(at::kPreFlush, s.preFlushSeconds);
    i32(at::kWarmup, s.warmUpSeconds);
    i32(at::kFlush, s.flushSeconds);
    i32(at::kSample, s.sampleSeconds);
    i32(at::kInterval, s.intervalSeconds);
    i32(at::kStartTime, s.startTime);
    i16(at::kUnitId, s.unitId);
    i16(at::kPacketIntervalMs, s.packetIntervalMs);
    i16(at::kStartMv, s.startMillivolts);
    i16(at::kFinalMv, s.finalMillivolts);
    i32(at::kFreeMemory, s.freeMemory);
    i32(at::kTotalMemory, s.totalMemory);
    i16(at::kFirmwareMajor, s.firmwareMajor);
    i16(at::kFirmwareMinor, s.firmwareMinor);
    for (size_t k = 0; k < 3; ++k) i16(at::kFirmwareDate + 2 * k, s.firmwareDate[k]);
    return p;
}

// ---- RunFileGenerator ----------------------------------------------------------------------

struct RunFileGenerator::Context {
    Context(const std::function<void(const uint8_t*, size_t)>& s, RunFileExpectation* e, size_t t)
        : sink(s), expected(e), target(t) {}
    const std::function<void(const uint8_t*, size_t)>& sink;
    RunFileExpectation* expected;
    size_t target;
    std::vector<uint8_t> chunk;
    size_t written = 0;
    uint32_t time = 0;
    uint8_t loggerId = 2;
    uint8_t krSequence = 0;
    uint8_t headerSequence = 0;
    bool archiveStarted = false;
    bool sevenByteHeadersOnly = false;
    std::vector<int> ports;  // active serial ports
    std::array<std::optional<std::vector<uint8_t>>, 9> blockLast;

    bool full() const { return written >= target; }

    void record(int type, const std::vector<uint8_t>& payload) {
        appendRunFileRecord(chunk, type, payload);
        written += 4 + payload.size();
        if (expected) ++expected->records;
        if (chunk.size() >= kChunkSize) flush();
    }
    void flush() {
        if (!chunk.empty()) sink(chunk.data(), chunk.size());
        chunk.clear();
    }
    void commitBlock() {
        for (size_t s = 0; s < 9; ++s) {
            if (blockLast[s] && expected) append(expected->headerBlockSections[s], *blockLast[s]);
            blockLast[s].reset();
        }
    }
};

RunFileGenerator::RunFileGenerator(const RunFileOptions& options) : m_options(options), m_rng(options.seed) {}

uint32_t RunFileGenerator::below(uint32_t bound) { return bound == 0 ? 0 : uint32_t(m_rng() % bound); }

bool RunFileGenerator::chance(int percent) { return int(below(100)) < percent; }

std::vector<uint8_t> RunFileGenerator::instrumentBytes(size_t count, bool text) {
    std::vector<uint8_t> out;
    out.reserve(count);
    if (!text) {
        while (out.size() < count) out.push_back(uint8_t(m_rng()));
        return out;
    }
    // Lines as ASCII instruments send them: comma-separated readings closed by CR LF.
    while (out.size() < count) {
        char line[96];
        // One draw a statement: argument order differs between compilers, the file must not.
        unsigned v[5];
        const uint32_t bounds[5] = {1000, 10000, 40, 1000, 100000};
        for (size_t i = 0; i < 5; ++i) v[i] = unsigned(below(bounds[i]));
        int n = std::snprintf(line, sizeof line, "%3u.%04u, %2u.%03u, %5u\r\n", v[0], v[1], v[2], v[3], v[4]);
        for (int i = 0; i < n && out.size() < count; ++i) out.push_back(uint8_t(line[i]));
    }
    return out;
}

void RunFileGenerator::sideRecords(Context& c) {
    if (chance(30)) {
        char text[32];
        int n = std::snprintf(text, sizeof text, "%5.2f V\r\n", 12.0 - double(below(300)) / 100.0);
        std::vector<uint8_t> p(text, text + n);
        c.record(kBattery, p);
        if (c.expected) append(c.expected->battery, p);
    }
    if (chance(20)) {
        std::vector<uint8_t> p(8);
        putU32le(p.data(), c.time);
        putU32le(p.data() + 4, uint32_t(m_rng()));
        c.record(kTimeStamp, p);
        if (c.expected) append(c.expected->timeStamps, p);
    }
    if (chance(3)) {
        c.loggerId = uint8_t(1 + below(4));
        c.record(kSenderUnitId, {0, c.loggerId});
    }
}

void RunFileGenerator::timeWindowStretch(Context& c) {
    const int count = 20 + int(below(200));
    for (int i = 0; i < count && !c.full(); ++i) {
        c.archiveStarted = true;
        if (chance(5))
            c.time += 50 + below(500);  // a pause in sampling: the next record opens a new window
        else
            c.time += below(8);

        if (chance(m_options.burstPercent)) {
            // One port delivering more within a window than one archive record can carry.
            const int port = c.ports[below(uint32_t(c.ports.size()))];
            for (int k = 0; k < 6 && !c.full(); ++k) {
                std::vector<uint8_t> data = instrumentBytes(2000 + below(76), false);
                c.record(archiveMuxType(port), timedRunPayload(c.time, data));
                if (c.expected) append(c.expected->windowSections[size_t(port - 1)], data);
            }
            continue;
        }

        const uint32_t kind = below(100);
        if (kind < 5) {
            c.record(kArchiveTime, timedRunPayload(c.time));
            continue;
        }
        const bool analog = kind < 25;
        const int port = analog ? 9 : c.ports[below(uint32_t(c.ports.size()))];
        const size_t length = analog ? 14 * (1 + below(4)) : (chance(2) ? 0 : 1 + below(400));
        std::vector<uint8_t> data = instrumentBytes(length, !analog && port % 2 == 1);
        const int type = analog ? kAnalogTimed : archiveMuxType(port);
        if (chance(m_options.markerPercent)) {
            c.record(type, timedRunPayload(kMarker, data));
            if (c.expected) ++c.expected->markers;
            continue;
        }
        c.record(type, timedRunPayload(c.time, data));
        if (c.expected) append(c.expected->windowSections[size_t(port - 1)], data);
        if (chance(10)) sideRecords(c);
    }
}

void RunFileGenerator::headerBlockStretch(Context& c) {
    const int blocks = 5 + int(below(30));
    for (int b = 0; b < blocks && !c.full(); ++b) {
        c.time += 10 + below(50);
        const bool seven = c.sevenByteHeadersOnly || chance(50);
        c.record(kArchiveHeader, archiveHeaderRunPayload(c.loggerId, c.headerSequence++, c.time, seven, uint8_t(below(256))));
        c.commitBlock();
        c.archiveStarted = true;
        if (c.expected) {
            ++c.expected->headerBlocks;
            if (seven) ++c.expected->sevenByteHeaders;
        }
        for (int port : c.ports) {
            const int meters = int(below(4));
            for (int m = 0; m < meters && !c.full(); ++m) {
                std::vector<uint8_t> data = instrumentBytes(1 + below(600), port % 2 == 1);
                c.record(meterType(port), data);
                if (c.expected) append(c.expected->ports[size_t(port - 1)], data);
                c.blockLast[size_t(port - 1)] = std::move(data);
            }
        }
        const int analogs = int(below(3));
        for (int a = 0; a < analogs && !c.full(); ++a) {
            std::vector<uint8_t> data = instrumentBytes(14, false);
            c.record(kAnalogRaw, data);
            if (c.expected) append(c.expected->analog, data);
            c.blockLast[8] = std::move(data);
        }
        sideRecords(c);
    }
}

void RunFileGenerator::krMuxStretch(Context& c) {
    const int count = 10 + int(below(100));
    for (int i = 0; i < count && !c.full(); ++i) {
        c.archiveStarted = true;
        c.time += 1 + below(10);
        RunFileSections sections;
        for (int port : c.ports)
            if (chance(70)) sections[size_t(port - 1)] = instrumentBytes(below(300), port % 2 == 1);
        if (chance(50)) sections[8] = instrumentBytes(14, false);
        std::array<uint16_t, 9> stated{};
        for (size_t s = 0; s < 9; ++s) stated[s] = uint16_t(sections[s].size());
        const bool inconsistent = chance(m_options.inconsistentKrMuxPercent);
        if (inconsistent) stated[below(9)] += uint16_t(1 + below(20));
        std::vector<uint8_t> payload = krMuxRunPayload(2, 2, c.loggerId, c.krSequence++, c.time, sections, &stated);
        c.record(kArchiveKrMux, payload);
        if (!c.expected) continue;
        // The archive holds the record with its header fields little-endian.
        std::vector<uint8_t> stored = payload;
        putU16le(stored.data() + 4, getU16be(payload.data() + 4));
        putU32le(stored.data() + 6, getU32be(payload.data() + 6));
        for (size_t s = 0; s < 9; ++s) putU16le(stored.data() + 10 + 2 * s, stated[s]);
        c.expected->krMuxRecords.push_back(std::move(stored));
        if (inconsistent) {
            ++c.expected->inconsistentKrMux;
        } else {
            for (size_t s = 0; s < 8; ++s) append(c.expected->ports[s], sections[s]);
            append(c.expected->analog, sections[8]);
        }
        if (chance(5)) sideRecords(c);
    }
}

void RunFileGenerator::generate(const std::function<void(const uint8_t*, size_t)>& sink, RunFileExpectation* expected) {
    m_rng.seed(m_options.seed);
    if (expected) *expected = RunFileExpectation{};
    Context c(sink, expected, m_options.targetSize);
    c.time = 100000 + below(1000000);

    for (int port = 1; port <= 8; ++port)
        if (chance(45)) c.ports.push_back(port);
    if (c.ports.empty()) c.ports.push_back(1 + int(below(8)));

    RunSummarySettings summary;
    summary.runNumber = m_options.runNumber;
    summary.mode = chance(50) ? 0 : 1;
    summary.portType.fill(0);
    summary.baud.fill(0);
    summary.baud[0] = 9600;
    for (int port : c.ports) {
        summary.portType[size_t(port)] = int16_t(1 + below(13));
        summary.baud[size_t(port)] = port % 2 == 1 ? 9600 : 19200;
    }
    summary.startTime = int32_t(1100000000 + below(200000000));
    summary.recordedBytes[0] = int32_t(below(200000));
    for (int port : c.ports) summary.recordedBytes[size_t(port)] = int32_t(below(5000000));
    summary.freeMemory = int32_t(20 * 1024 + below(100u << 20));
    c.record(kSummary, summaryRunPayload(summary));
    c.record(kSenderUnitId, {0, c.loggerId});

    const RunFileStyle style = m_options.style;
    c.sevenByteHeadersOnly = style == RunFileStyle::Mixed;
    // A mixed run starts with a header so that no data gathers before the first header.
    bool first = true;
    while (!c.full()) {
        RunFileStyle stretch = style;
        if (style == RunFileStyle::Mixed) stretch = first ? RunFileStyle::HeaderBlocks : RunFileStyle(below(3));
        first = false;
        switch (stretch) {
        case RunFileStyle::TimeWindows: timeWindowStretch(c); break;
        case RunFileStyle::HeaderBlocks: headerBlockStretch(c); break;
        case RunFileStyle::KrMux: krMuxStretch(c); break;
        case RunFileStyle::Mixed: break;
        }
    }
    c.commitBlock();
    c.flush();
    if (expected) {
        expected->runNumber = m_options.runNumber;
        expected->summary = summary;
    }
}

std::vector<uint8_t> RunFileGenerator::bytes(RunFileExpectation* expected) {
    std::vector<uint8_t> out;
    out.reserve(m_options.targetSize + kMaxPayload + kRecordHeaderLength);
    generate([&](const uint8_t* data, size_t size) { out.insert(out.end(), data, data + size); }, expected);
    return out;
}

bool RunFileGenerator::writeFile(const std::filesystem::path& path, RunFileExpectation* expected) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    generate([&](const uint8_t* data, size_t size) { file.write(reinterpret_cast<const char*>(data), std::streamsize(size)); },
             expected);
    file.close();
    return bool(file);
}

} // namespace cv::sim
