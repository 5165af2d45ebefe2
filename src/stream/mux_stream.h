#pragma once
// The live road: every mux record, whether it comes from the logger, from an archive replay or
// from the PC logger, is checked (sender unit, sequence), counted and handed to the consumers
// registered with the stream (recorder, PC logger output lines, raw display, ...). Also the raw
// display's line model and the rule for text typed to the logger.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "stream/stream_consumer.h"

namespace cv {

class WarningBox;

constexpr int kMuxTableUnits = 9;   // sequence table entries, units 0..8
constexpr int kMuxCountedUnits = 5; // the time unit 0 and logger IDs 1..4

// What became of a record. Informational: no caller acts on it.
enum class MuxResult {
    Malformed = 0,  // shorter than its header says; nothing counted or passed on
    Duplicate = 1,
    Empty = 2,
    BadUnit = 3,
    Accepted = 9,  // counted and handed to every consumer
};

struct MuxUnitCounters {
    uint32_t packets = 0;
    uint32_t sequenceErrors = 0;
    uint32_t missingPackets = 0;  // skipped by the unit's last sequence gap
};

// The raw display's choices on the Real Time Data page.
enum class RawSource { ParsedData = 0, RawLoggerData = 1, RawPcLoggerData = 2 };
struct RawSelection {
    bool on = false;
    int source = 0;     // RawSource, or -1 while none is chosen
    int portIndex = 0;  // section shown with Parsed Data, minus one; -1 while none
    int unit = 2;       // logger ID shown with Parsed Data
};

// Bytes gathered for the raw display between two ticks, bounded; what does not fit is dropped.
class RawDisplayBuffer {
public:
    static constexpr size_t kCapacity = 8192;
    void add(const uint8_t* bytes, size_t count);
    const uint8_t* data() const { return m_bytes.data(); }
    size_t size() const { return m_count; }
    void clear() { m_count = 0; }

private:
    std::array<uint8_t, kCapacity> m_bytes{};
    size_t m_count = 0;
};

// The raw display's "Parsed Data" source: the chosen section of the chosen unit's records,
// gathered for the next display step.
class ParsedDataTap : public StreamConsumer {
public:
    void setSelection(const RawSelection& selection) { m_selection = selection; }
    const RawSelection& selection() const { return m_selection; }
    RawDisplayBuffer& buffer() { return m_parsed; }
    void takeRecord(const mux::RecordView& record) override;

private:
    RawSelection m_selection;
    RawDisplayBuffer m_parsed;
};

class MuxStream {
public:
    explicit MuxStream(WarningBox& warnings);

    // Checks, counts and hands on one record, converting its header to host order in place. The
    // first record of a unit after a switch between live and replayed records starts its
    // sequence afresh: the seam is no gap in either.
    MuxResult acceptMuxRecord(uint8_t* record, size_t length, Origin origin = Origin::Live);

    // Consumers get each accepted record in the order they were added.
    void addConsumer(StreamConsumer* consumer);
    void removeConsumer(StreamConsumer* consumer);

    // Reset Counters: the per-unit counts, not the total nor the sequence table.
    void resetCounters();
    const MuxUnitCounters& unit(int u) const;  // units 0..4
    uint32_t totalSequenceErrors() const { return m_totalSequenceErrors; }

    static constexpr const char* kMuxIdErrorTitle = "Mux ID Error";
    static std::string muxIdErrorText(int unit);
    // "Time Unit: %lu" and "Unit 1: ..".."Unit 4: .." for the page's counter labels.
    std::string unitCounterLine(int u) const;

private:
    WarningBox& m_warnings;
    std::vector<StreamConsumer*> m_consumers;
    std::array<uint8_t, kMuxTableUnits> m_lastSequence;
    std::array<Origin, kMuxTableUnits> m_lastOrigin{};
    std::array<MuxUnitCounters, kMuxCountedUnits> m_units{};
    uint32_t m_totalSequenceErrors = 0;
};

// The memo's line model: at most kMaxLines lines of at most kMaxLineLength characters, bytes
// shown as they are. A run of line ends (CR LF, LF CR, ...) closes one line.
class RawDisplayLines {
public:
    static constexpr size_t kMaxLines = 101;
    static constexpr size_t kMaxLineLength = 101;

    void append(const uint8_t* bytes, size_t count);
    void append(const std::string& text) { append(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }
    // Ends the pending line when it holds anything, so what follows starts a line of its own.
    void endLine();

    const std::deque<std::string>& lines() const { return m_lines; }
    const std::string& pending() const { return m_pending; }
    // Lines closed since the last call, oldest first (at most kMaxLines: older ones scrolled away).
    std::vector<std::string> takeNewLines();

private:
    void closeLine();

    std::deque<std::string> m_lines;
    std::string m_pending;
    bool m_lastWasLineEnd = true;
    size_t m_newLines = 0;
};

// Text typed for the logger travels in a 200-byte buffer with its terminator.
constexpr size_t kMaxSendText = 199;
std::string sendableText(const std::string& typed);

} // namespace cv
