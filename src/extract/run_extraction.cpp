#include "extract/run_extraction.h"

#include <array>
#include <memory>
#include <string>

#include "extract/archive_sections.h"
#include "extract/debug_listing.h"
#include "extract/output_store.h"
#include "extract/run_file_reader.h"
#include "extract/run_record.h"
#include "protocol/mux_record.h"
#include "extract/run_summary.h"
#include "extract/warning_sink.h"
#include "base/bytes.h"
#include "base/logger_codes.h"
#include "base/text_format.h"

namespace cv {

using namespace extract_text;

std::optional<int> runNumberFromPath(const std::filesystem::path& runFile) {
    // Only the file name counts: a dot in a folder name says nothing about the run.
    std::string name = runFile.filename().string();
    // What came of a cancelled upload (run.NNN.part) is still run NNN.
    if (name.size() > kPartSuffix.size() && name.ends_with(kPartSuffix)) name.resize(name.size() - kPartSuffix.size());
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return std::nullopt;
    int value = 0;
    size_t digits = 0;
    for (size_t i = dot + 1; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i, ++digits) {
        value = value * 10 + (name[i] - '0');
        if (value > 65535) return std::nullopt;
    }
    if (digits == 0) return std::nullopt;
    return value;
}

namespace {

// A time window closes when a record's time is this far past the window's start.
constexpr int64_t kWindowLength = 50;

enum Output : size_t { kPort1 = 0, kAnalogFile = 8, kTimeStampFile = 9, kBatteryFile = 10, kArchiveFile = 11, kOutputCount = 12 };

class Extraction {
public:
    Extraction(ExtractChoice choice, OutputStore& outputs, int runNumber, ExtractionState& state, WarningSink& warnings,
               ExtractionResult& result)
        : m_writeRaw(choice == ExtractChoice::ArchivePlusRaw), m_store(outputs), m_runNumber(runNumber), m_state(state),
          m_warnings(warnings), m_result(result) {}

    void run(RunFileReader& reader, DebugListing& listing, const std::function<void(int)>& progress);

private:
    struct Slot {
        std::unique_ptr<OutputSink> sink;
        enum { Untried, Open, Failed } state = Untried;
    };

    std::string outputName(size_t output) const;
    OutputSink* output(size_t output);
    void write(size_t out, const uint8_t* data, size_t count);
    void startArchive();

    void handle(RunRecord& record, DebugListing& listing);
    void rawSource(int section, const uint8_t* data, size_t count);
    void timeTagged(const RunRecord& record);
    void archiveKrMux(RunRecord& record, DebugListing& listing);
    void archiveHeader(const RunRecord& record);
    void summary(const RunRecord& record);
    void unknown(int type);

    void writeWindowRecord();
    void closeHeaderBlock();
    void finish();

    const bool m_writeRaw;
    OutputStore& m_store;
    const int m_runNumber;
    ExtractionState& m_state;
    WarningSink& m_warnings;
    ExtractionResult& m_result;

    std::array<Slot, kOutputCount> m_outputs;
    bool m_archiveStarted = false;
    bool m_summaryListed = false;
    uint8_t m_unitId = 2;
    std::optional<uint32_t> m_windowStart;
    SectionSet m_window;
    SectionSet m_headerBlock;
    std::vector<uint8_t> m_scratch;
    uint64_t m_damagedArchive = 0;
};

std::string Extraction::outputName(size_t output) const {
    if (output < kAnalogFile) return format("Port%d.%03d", int(output + 1), m_runNumber);
    switch (output) {
    case kAnalogFile: return format("analog.%03d", m_runNumber);
    case kTimeStampFile: return format("timestp.%03d", m_runNumber);
    case kBatteryFile: return format("Battery.%03d", m_runNumber);
    default: return format("archive.%03d", m_runNumber);
    }
}

OutputSink* Extraction::output(size_t out) {
    Slot& slot = m_outputs[out];
    if (slot.state == Slot::Open) return slot.sink.get();
    if (slot.state == Slot::Failed) return nullptr;
    const std::string name = outputName(out);
    slot.sink = m_store.create(name);
    if (slot.sink) {
        slot.state = Slot::Open;
        m_result.files.push_back(m_store.location(name));
        return slot.sink.get();
    }
    slot.state = Slot::Failed;
    ++m_result.outputFailures;
    m_warnings.warning(kFileErrorTitle, format(kCannotCreateText, name.c_str()));
    return nullptr;
}

void Extraction::write(size_t out, const uint8_t* data, size_t count) {
    if (OutputSink* sink = output(out)) sink->write(data, count);
}

void Extraction::startArchive() {
    if (m_archiveStarted) return;
    m_archiveStarted = true;
    output(kArchiveFile);
}

void Extraction::run(RunFileReader& reader, DebugListing& listing, const std::function<void(int)>& progress) {
    RunRecord record;
    int told = -1;
    while (reader.next(record)) {
        handle(record, listing);
        if (!progress) continue;
        if (const int percent = reader.percentRead(); percent > told) {
            told = percent;
            progress(percent);
        }
    }
    finish();
    if (progress && told < 100) progress(100);
}

void Extraction::handle(RunRecord& record, DebugListing& listing) {
    const int type = record.type;
    if (int section = meterSection(type)) {
        rawSource(section, record.payload, size_t(record.size));
        return;
    }
    if (isTimeTagged(type)) {
        timeTagged(record);
        return;
    }
    switch (type) {
    case kAnalogRaw: rawSource(9, record.payload, size_t(record.size)); break;
    case kTimeStamp:
        if (m_writeRaw) write(kTimeStampFile, record.payload, size_t(record.size));
        break;
    case kBattery: write(kBatteryFile, record.payload, size_t(record.size)); break;
    case kArchiveKrMux: archiveKrMux(record, listing); break;
    case kSenderUnitId:
        if (record.size >= 2)
            m_unitId = record.payload[1];
        else
            ++m_result.damagedRecords;
        break;
    case kArchiveHeader: archiveHeader(record); break;
    case kSummaryRecord: summary(record); break;
    default: unknown(type); break;
    }
}

// METER and raw ANALOG records: the bytes go to their raw file when raw files are chosen and,
// once the run has an archive, become the section's content in the current header block. The
// archive takes them whichever choice was made: "CV Archive" is the archive-only choice, and
// leaving the data out of the archive would leave it in no file at all.
void Extraction::rawSource(int section, const uint8_t* data, size_t count) {
    if (m_writeRaw) write(kPort1 + size_t(section - 1), data, count);
    if (!m_archiveStarted) return;
    m_headerBlock.replace(section, data, count);
}

void Extraction::timeTagged(const RunRecord& record) {
    startArchive();
    if (record.size < 4) {  // no complete time: nothing to place
        ++m_result.damagedRecords;
        return;
    }
    const uint32_t t = getU32le(record.payload);
    if (t == kMarkerTime) return;
    if (!m_windowStart) m_windowStart = t;
    if (int64_t(t) - int64_t(*m_windowStart) >= kWindowLength) {
        if (!m_window.empty()) writeWindowRecord();
        m_window.clear();
        m_windowStart = t;
    }
    const int section = timedSection(record.type);
    if (section == 0) return;
    const uint8_t* data = record.payload + 4;
    const size_t count = size_t(record.size) - 4;
    if (!m_window.canAppend(section, count)) {
        // The window holds more than one archive record can carry: write what is gathered now
        // and go on gathering the same window.
        writeWindowRecord();
        m_window.clear();
        ++m_result.earlyWindowRecords;
    }
    m_window.append(section, data, count);
}

void Extraction::writeWindowRecord() {
    if (m_window.empty()) return;
    m_scratch.clear();
    m_window.appendRecord(m_scratch, {.first = 1,
                                      .second = 0,
                                      .unit = m_unitId,
                                      .sequence = m_state.windowCounter++,
                                      .timeStamp = m_windowStart.value_or(0)});
    write(kArchiveFile, m_scratch.data(), m_scratch.size());
    ++m_result.archiveRecords;
}

void Extraction::closeHeaderBlock() {
    if (m_headerBlock.empty()) return;
    // The record carries the time of the ARCHIVE HEADER that opened its block, together with
    // that header's flag, unit and sequence number.
    m_scratch.clear();
    m_headerBlock.appendRecord(m_scratch, {.first = 1,
                                           .second = m_state.headerFlag,
                                           .unit = m_unitId,
                                           .sequence = m_state.headerCounter++,
                                           .timeStamp = m_state.headerTime});
    write(kArchiveFile, m_scratch.data(), m_scratch.size());
    ++m_result.archiveRecords;
    m_headerBlock.clear();
    // The time window is left alone: a header's time says nothing about when the time-tagged
    // data arrived, and moving the window start to it would stamp a pending window with that
    // time and shift its 50-tick boundary.
}

void Extraction::archiveHeader(const RunRecord& record) {
    startArchive();
    closeHeaderBlock();
    // Bytes a short header lacks read as 0 (the payload is zero-padded).
    const uint8_t* p = record.payload;
    m_unitId = p[0];
    m_state.headerCounter = p[1];
    m_state.headerFlag = record.size == 7 ? 1 : 0;
    m_state.headerTime = getU32le(p + 2);
}

void Extraction::archiveKrMux(RunRecord& record, DebugListing& listing) {
    startArchive();
    uint8_t* p = record.payload;
    const size_t size = size_t(record.size);
    const mux::RecordView wire(p, size, mux::ByteOrder::Wire);
    listing.listTime(int32_t(wire.timeStamp()));
    // Only a record whose length matches its own data length can go into the archive: replay
    // frames the file by those lengths, so one wrong record would garble all that follow it.
    if (!wire.hasHeader() || wire.wholeLength() != size) {
        ++m_result.damagedRecords;
        ++m_damagedArchive;
        return;
    }
    mux::headerToHostOrder(p);
    const mux::RecordView archive(p, size);
    if (m_writeRaw && archive.sectionsTotal() == archive.dataLength()) {
        for (int s = 1; s <= mux::kSections; ++s) {
            const std::span<const uint8_t> bytes = archive.section(s);
            if (!bytes.empty()) write(s <= kLoggerSerialPorts ? kPort1 + size_t(s - 1) : size_t(kAnalogFile), bytes.data(), bytes.size());
        }
    }
    write(kArchiveFile, p, size);
    ++m_result.archiveRecords;
}

void Extraction::summary(const RunRecord& record) {
    const std::string name = format("Summary.%03d", m_runNumber);
    const std::unique_ptr<OutputSink> sink = m_store.create(name);
    if (!sink || !writeRunSummary(*sink, record.payload, size_t(record.size))) {
        ++m_result.outputFailures;
        m_warnings.warning(kFileErrorTitle, kNoSummaryText);
        return;
    }
    if (!m_summaryListed) {
        m_result.files.push_back(m_store.location(name));
        m_summaryListed = true;
    }
}

void Extraction::unknown(int type) {
    ++m_result.unknownRecords;
    m_warnings.warning(format(kUnknownTypeTitle, type, type), kUnknownTypeText);
}

void Extraction::finish() {
    if (m_archiveStarted) {
        writeWindowRecord();
        m_window.clear();
        closeHeaderBlock();
        m_state.headerTime = 0;
        m_state.headerCounter = 0;
    }
    for (size_t out = 0; out < kOutputCount; ++out) {
        Slot& slot = m_outputs[out];
        if (slot.state != Slot::Open) continue;
        if (!slot.sink->close()) {
            ++m_result.outputFailures;
            m_warnings.warning(kFileErrorTitle, format(kCannotWriteText, outputName(out).c_str()));
        }
    }
    if (m_damagedArchive > 0)
        m_warnings.warning(kDamagedTitle, format(kDamagedArchiveText, static_cast<unsigned long long>(m_damagedArchive)));
}

// The steps every extraction shares, whatever it reads and wherever its outputs go; open
// readies the reader and says whether the run could be opened.
template <class Open>
ExtractionResult extract(const std::filesystem::path& runName, Open open, ExtractChoice choice,
                         const ExtractOptions& options, ExtractionState& state, WarningSink& warnings,
                         OutputStore& outputs) {
    ExtractionResult result;
    const std::optional<int> runNumber = runNumberFromPath(runName);
    if (!runNumber) {
        result.status = ExtractStatus::UnusableName;
        warnings.warning(format(kUnusableNameTitle, runName.string().c_str()), kUnusableNameText);
        return result;
    }
    result.runNumber = *runNumber;

    DebugListing listing;
    RunFileReader reader(warnings, &listing);
    if (!open(reader)) {
        result.status = ExtractStatus::CannotOpen;
        return result;
    }
    if (options.debugListing) listing.start(outputs);

    Extraction extraction(choice, outputs, *runNumber, state, warnings, result);
    extraction.run(reader, listing, options.progress);
    listing.finish();

    const RunFileReadStats& stats = reader.stats();
    result.records = stats.records;
    result.rejectedHeaders = stats.rejectedHeaders;
    result.cutShort = stats.cutShort;
    if (stats.refused)
        result.status = ExtractStatus::Refused;
    else if (stats.records == 0)
        result.status = ExtractStatus::Empty;
    return result;
}

} // namespace

ExtractionResult extractRunFile(const std::filesystem::path& runFile, ExtractChoice choice, const ExtractOptions& options,
                                ExtractionState& state, WarningSink& warnings) {
    std::filesystem::path outputDirectory = options.outputDirectory;
    if (outputDirectory.empty()) outputDirectory = runFile.parent_path();
    if (outputDirectory.empty()) outputDirectory = ".";
    FileOutputStore outputs(outputDirectory, runFile);
    return extract(
        runFile, [&runFile](RunFileReader& reader) { return reader.open(runFile); }, choice, options, state, warnings,
        outputs);
}

ExtractionResult extractRunBytes(const std::filesystem::path& runName, const uint8_t* data, size_t size,
                                 ExtractChoice choice, const ExtractOptions& options, ExtractionState& state,
                                 WarningSink& warnings, OutputStore& outputs) {
    return extract(
        runName,
        [data, size](RunFileReader& reader) {
            reader.open(data, size);
            return true;
        },
        choice, options, state, warnings, outputs);
}

} // namespace cv
