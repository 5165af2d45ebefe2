#pragma once
// Seeded generator of run files as the KR-8 writes them into flash: a Summary record, then the
// records of one sampling run (METER, ARCHIVEMUX, ANALOG, ARCHIVETime, BATTERY, TIME STAMP,
// ARCHIVE KRMUX, Sender Unit ID and ARCHIVE HEADER), up to a target size. The same seed always
// gives the same bytes. Alongside the bytes it can report what each source carried, so that a
// test can hold an extraction against it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <vector>

#include "base/logger_codes.h"

namespace cv::sim {

using RunFileSections = std::array<std::vector<uint8_t>, 9>;  // ports 1..8, then analog data

// ---- Record builders -------------------------------------------------------------------

// Appends one run-file record: little-endian size and type, then the payload.
void appendRunFileRecord(std::vector<uint8_t>& out, int type, const uint8_t* payload, size_t size);
void appendRunFileRecord(std::vector<uint8_t>& out, int type, const std::vector<uint8_t>& payload);

// Payload of a time-tagged record (ARCHIVEMUX, time-tagged ANALOG, ARCHIVETime).
std::vector<uint8_t> timedRunPayload(uint32_t time, const std::vector<uint8_t>& data = {});

// Payload of an ARCHIVE KRMUX record: a complete archive record with its data length, time
// stamp and nine section lengths big-endian. The stated section lengths are the real ones
// unless statedLengths is given.
std::vector<uint8_t> krMuxRunPayload(uint8_t first, uint8_t second, uint8_t loggerId, uint8_t sequence, uint32_t time,
                                     const RunFileSections& sections, const std::array<uint16_t, 9>* statedLengths = nullptr);

// Payload of an ARCHIVE HEADER record, 6 bytes, or 7 with the extra byte.
std::vector<uint8_t> archiveHeaderRunPayload(uint8_t loggerId, uint8_t sequence, uint32_t time, bool sevenBytes,
                                             uint8_t extra = 0);

// The logger's setup and figures for a run, as the Summary record carries them.
struct RunSummarySettings {
    int16_t runNumber = 7;
    int16_t mode = 0;
    int16_t loggerKind = 2;
    int16_t serialNumber = 117;
    int16_t fileFormat = 1;
    int16_t outputFormat = 1;
    std::array<int16_t, 9> portType{0, 3, 1, 0, 0, 0, 0, 0, 0};
    int16_t powerKHz = powerlevel::kStandard;
    std::array<int32_t, 9> baud{9600, 9600, 19200, 0, 0, 0, 0, 0, 0};
    std::array<int16_t, 9> dataBits{8, 8, 8, 8, 8, 8, 8, 8, 8};
    std::array<int16_t, 9> parity{};
    std::array<int16_t, 9> cutOffTenths{65, 65, 65, 65, 65, 65, 65, 65, 65};
    std::array<int16_t, 7> analog{1, 1, 0, 0, 0, 0, 0};
    std::array<int16_t, 4> pump{};
    int32_t delaySeconds = 0;
    int32_t preFlushSeconds = 0;
    int32_t warmUpSeconds = 60;
    int32_t flushSeconds = 0;
    int32_t sampleSeconds = 300;
    int32_t intervalSeconds = 3600;
    int32_t startTime = 1139907600;  // 02/14/06 09:00:00 on the logger's clock
    int16_t unitId = 2;
    int16_t packetIntervalMs = 1000;
    int16_t startMillivolts = 12000;
    int16_t finalMillivolts = 11800;
    std::array<int32_t, 9> recordedBytes{};
    int32_t freeMemory = 100 * 1024 * 1024;
    int32_t totalMemory = 128 * 1024 * 1024;
    int16_t firmwareMajor = 7;
    int16_t firmwareMinor = 6;
    std::array<int16_t, 3> firmwareDate{3, 15, 6};
};

// The 254-byte Summary payload, every multi-byte field big-endian.
std::vector<uint8_t> summaryRunPayload(const RunSummarySettings& settings);

// ---- Whole run files ---------------------------------------------------------------------

enum class RunFileStyle {
    TimeWindows,   // ARCHIVEMUX, time-tagged ANALOG and ARCHIVETime records with rising times
    HeaderBlocks,  // ARCHIVE HEADER records, each followed by METER and raw ANALOG records
    KrMux,         // ARCHIVE KRMUX records
    Mixed,         // stretches of all three
};

struct RunFileOptions {
    uint64_t seed = 1;
    size_t targetSize = 64 * 1024;  // the file ends with the first record that reaches it
    RunFileStyle style = RunFileStyle::Mixed;
    int16_t runNumber = 7;
    int inconsistentKrMuxPercent = 10;  // KRMUX records whose section lengths do not add up
    int markerPercent = 3;              // time-tagged records carrying the marker time
    int burstPercent = 2;               // windows that gather more than one archive record can take
};

// What a run file carries, source by source, in file order.
struct RunFileExpectation {
    int16_t runNumber = 0;
    RunSummarySettings summary;
    // Raw files with raw files chosen: METER payloads and the sections of consistent KRMUX
    // records (ports), raw ANALOG payloads and KRMUX section 9 (analog).
    std::array<std::vector<uint8_t>, 8> ports;
    std::vector<uint8_t> analog;
    std::vector<uint8_t> timeStamps;
    std::vector<uint8_t> battery;
    // Data of the time-tagged records (markers excluded), per section.
    RunFileSections windowSections;
    // Per section, the last METER or raw ANALOG payload of every header block, block after
    // block: what the header-block archive records carry.
    RunFileSections headerBlockSections;
    // The KRMUX records as an archive holds them (header fields little-endian), in order.
    std::vector<std::vector<uint8_t>> krMuxRecords;
    size_t inconsistentKrMux = 0;
    size_t records = 0;
    size_t headerBlocks = 0;     // ARCHIVE HEADER records
    size_t sevenByteHeaders = 0;
    size_t markers = 0;
};

class RunFileGenerator {
public:
    explicit RunFileGenerator(const RunFileOptions& options);

    // Produces the file in chunks through sink; expected, when given, is filled as well.
    void generate(const std::function<void(const uint8_t*, size_t)>& sink, RunFileExpectation* expected = nullptr);
    std::vector<uint8_t> bytes(RunFileExpectation* expected = nullptr);
    bool writeFile(const std::filesystem::path& path, RunFileExpectation* expected = nullptr);

private:
    struct Context;
    void timeWindowStretch(Context& c);
    void headerBlockStretch(Context& c);
    void krMuxStretch(Context& c);
    void sideRecords(Context& c);
    std::vector<uint8_t> instrumentBytes(size_t count, bool text);
    uint32_t below(uint32_t bound);
    bool chance(int percent);

    RunFileOptions m_options;
    std::mt19937_64 m_rng;
};

} // namespace cv::sim
