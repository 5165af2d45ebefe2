#pragma once
// The PC as a logger of its own: at a fixed rate the bytes each meter-input port received are
// packed into a mux record of logger ID 1 (with a PC time stamp or an operator's remark as the
// last section), and the records the stream accepts are re-sent, one section per line, on the
// logger-output ports. Nothing here waits on a port or grows: each meter input keeps a bounded
// backlog and the lines share a record fairly, an output line's queue that is full drops what
// does not fit, and what an output-only line receives is read and thrown away; every byte
// dropped is counted on its line.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/port_slots.h"
#include "stream/stream_consumer.h"

namespace cv {

class HostClock;
class PortSlotTable;
class AnnotationQueue;

namespace pclogger {

constexpr int kLines = kPcLoggerPorts;
enum Function { kInActive = 0, kMeterInput = 1, kLoggerOutput = 2 };
constexpr size_t kPayloadCapacity = 4096;
// What a record carries at most: the largest data a mux packet may hold and still fit the
// receiver's buffer whole, so that the host's own replay can read every record it recorded.
constexpr size_t kPayloadLimit = 4096 - mux::kPacketOverhead;
// Per meter input: a burst of up to two full records waits for the next ones.
constexpr size_t kBacklogCapacity = 2 * kPayloadCapacity;
constexpr int kRecordLoggerId = 1;

struct Line {
    int function = kInActive;
    int outputLoggerId = 2;  // 1..4
    int outputPort = 1;      // 1..9
    bool operator==(const Line&) const = default;
};
using Table = std::array<Line, kLines>;

// The rate up-down keeps to 1, 2, 3, 4, 5, 6, 8, 10, 12, 16 and 20: a position between them is
// moved on in the direction the operator stepped.
int rateForPosition(int position, int previousPosition);
inline int intervalOfRate(int rate) { return rate > 0 ? 1000 / rate : 1000; }
std::string rateText(int rate);          // "Deck Rate: %2d Hz"
std::string intervalText(int interval);  // "Deck Interval: %4ld ms"
// The line's traffic label for the last second, with the bytes it had to drop when there were.
std::string trafficText(int line, int function, unsigned bytes, unsigned dropped = 0);
// How much of `room` each line's record section takes: each line with bytes waiting gets up to
// an equal share, and what a line leaves unused goes to the others (the first lines take the
// remainder of an uneven split), so no line keeps another out of the records.
std::array<size_t, kLines> fairShares(const std::array<size_t, kLines>& waiting, size_t room);
// "MM/DD/YY<TAB>HH:MM:SS.mmm" of the PC's local time now.
std::string timeStampText(HostClock& clock);

// Milliseconds since the first reading, from the monotonic clock widened to 64 bits: right
// across the end of a year and long past the 24.8 days a signed 32-bit count lasts.
class ElapsedClock {
public:
    explicit ElapsedClock(HostClock& clock);
    int64_t elapsedMs();
    std::string timeStampText() { return pclogger::timeStampText(m_clock); }

private:
    HostClock& m_clock;
    uint32_t m_last;
    int64_t m_elapsed = 0;
};

// Collects one record at a time and hands it on once its interval has passed.
class PcLogger : public StreamConsumer {
public:

    PcLogger(HostClock& clock, PortSlotTable& ports);

    // Only Load New Setup changes what the lines do; it reopens the ports, so nothing waiting
    // from before carries over.
    void setActive(const Table& table);
    const Table& active() const { return m_active; }
    void setInterval(int ms) { m_interval = ms > 0 ? ms : 1000; }
    int interval() const { return m_interval; }

    // Starts a new collection; with `newSequence` the record takes the next sequence number.
    void reset(bool newSequence);
    // Every call takes what the lines received: meter inputs into their backlogs, the input of
    // output lines thrown away. Once the interval has passed: shares the record among the meter
    // inputs, adds the remark waiting in `annotations` (or the time stamp when `pcTime`) and
    // hands the finished record, in the logger's wire order, to `handOn`; then starts the next
    // one. An empty collection hands on nothing and keeps its sequence number. True when a
    // record went.
    using HandOn = std::function<void(uint8_t* record, size_t length)>;
    bool tick(bool pcTime, AnnotationQueue* annotations, const HandOn& handOn);
    // StreamConsumer: re-sends one section of each accepted record on every logger-output line
    // that follows the record's logger ID.
    void takeRecord(const mux::RecordView& record) override;

    // Per line, bytes put into records, queued for sending and dropped (a meter input's backlog
    // or an output line's queue full) since the last call; the counters restart.
    std::array<unsigned, kLines> takeReceived();
    std::array<unsigned, kLines> takeSent();
    std::array<unsigned, kLines> takeDropped();
    // Bytes a logger-output line has received and thrown away since the program started.
    uint64_t discardedInput(int line) const { return line >= 1 && line <= kLines ? m_discarded[size_t(line - 1)] : 0; }

private:
    void takeInput();

    ElapsedClock m_elapsed;
    PortSlotTable& m_ports;
    Table m_active{};
    int m_interval = 1000;
    int64_t m_start = 0;
    uint8_t m_sequence = 0;
    size_t m_payload = 0;
    std::array<uint16_t, 9> m_sections{};
    std::array<uint8_t, mux::kHeaderLength + kPayloadCapacity + mux::kTrailerLength> m_record{};
    uint8_t m_recordSequence = 0;
    std::array<unsigned, kLines> m_received{};
    std::array<unsigned, kLines> m_sent{};
    std::array<unsigned, kLines> m_dropped{};
    std::array<uint64_t, kLines> m_discarded{};
    std::vector<uint8_t> m_backlog = std::vector<uint8_t>(kLines * kBacklogCapacity);
    std::array<size_t, kLines> m_backlogFill{};
};

} // namespace pclogger
} // namespace cv
