#pragma once
// The PC as a logger of its own: at a fixed rate the bytes each meter-input port received are
// packed into a mux record of logger ID 1 (with a PC time stamp or an operator's remark as the
// last section), and the records the stream accepts are re-sent, one section per line, on the
// logger-output ports.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "stream/stream_consumer.h"

namespace cv {

class HostClock;
class PortSlotTable;
class AnnotationQueue;

namespace pclogger {

constexpr int kLines = 8;  // port slots 1..8
enum Function { kInActive = 0, kMeterInput = 1, kLoggerOutput = 2 };
constexpr size_t kPayloadCapacity = 4096;
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
// The line's traffic label for the last second.
std::string trafficText(int line, int function, unsigned bytes);
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
    static constexpr size_t kHeader = 28;
    static constexpr size_t kTrailer = 4;

    PcLogger(HostClock& clock, PortSlotTable& ports);

    // Only Load New Setup changes what the lines do.
    void setActive(const Table& table) { m_active = table; }
    const Table& active() const { return m_active; }
    void setInterval(int ms) { m_interval = ms > 0 ? ms : 1000; }
    int interval() const { return m_interval; }

    // Starts a new collection; with `newSequence` the record takes the next sequence number.
    void reset(bool newSequence);
    // Once the interval has passed: reads the meter inputs, adds the remark waiting in
    // `annotations` (or the time stamp when `pcTime`) and hands the finished record, in the
    // logger's wire order, to `handOn`; then starts the next one. An empty collection hands on
    // nothing and keeps its sequence number. True when a record went.
    using HandOn = std::function<void(uint8_t* record, size_t length)>;
    bool tick(bool pcTime, AnnotationQueue* annotations, const HandOn& handOn);
    // StreamConsumer: re-sends one section of each accepted record on every logger-output line
    // that follows the record's logger ID.
    void takeRecord(const mux::RecordView& record) override;

    // Per line, bytes read in and sent out since the last call; the counters restart.
    std::array<unsigned, kLines> takeReceived();
    std::array<unsigned, kLines> takeSent();

private:
    ElapsedClock m_elapsed;
    PortSlotTable& m_ports;
    Table m_active{};
    int m_interval = 1000;
    int64_t m_start = 0;
    uint8_t m_sequence = 0;
    size_t m_payload = 0;
    std::array<uint16_t, 9> m_sections{};
    std::array<uint8_t, kHeader + kPayloadCapacity + kTrailer> m_record{};
    std::array<unsigned, kLines> m_received{};
    std::array<unsigned, kLines> m_sent{};
};

} // namespace pclogger
} // namespace cv
