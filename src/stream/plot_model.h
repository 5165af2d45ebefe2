#pragma once
// What the live plot shows, kept as the stream goes by: per logger ID and port, the fields its
// lines have carried with their last values (so the operator picks "3: 12.8714" rather than
// guessing a number), and for each of up to four traces the points of the time window, thinned
// to a fixed number whatever the rate so that a plot left running for weeks holds flat memory.
//
// Time is the PC's at arrival, in milliseconds of the host clock's monotonic count. A logger
// counts its own time stamp units, the PC logger's stamps have no calendar behind them, and a
// replayed record carries the stamps of another day: arrival time is the one base all of them
// share, and a replay arrives at its own speed.
#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "protocol/field_reader.h"
#include "stream/stream_consumer.h"

namespace cv {

class HostClock;

namespace plot {

constexpr int kTraces = 4;
constexpr int kLoggerIds = 4;
// Two points (lowest and highest) per time bucket, kMaxPoints / 2 buckets across the window.
constexpr size_t kMaxPoints = 2000;
constexpr size_t kMaxFieldsSeen = 96;   // per logger ID and port
constexpr size_t kMaxFieldText = 24;    // a last value's text is cut to this
constexpr int kWindowMinutes[] = {1, 10, 60};
// A trace breaks when nothing came for longer than this, or than four of its usual intervals.
constexpr int64_t kSilenceGapMs = 3000;

struct Point {
    int64_t ms = 0;
    double value = 0;  // NaN: the line breaks here
    bool isGap() const { return std::isnan(value); }
};

struct TraceChoice {
    bool on = false;
    int logger = 1;          // 1..4
    fields::FieldColumn column;  // its port, sentence and field; field 0 while none is chosen
    bool autoRange = true;
    double low = 0, high = 1;
    bool operator==(const TraceChoice&) const = default;
};

struct SeenField {
    fields::FieldColumn column;
    std::string lastText;
    int64_t lastMs = 0;
};

class PlotModel : public StreamConsumer {
public:
    explicit PlotModel(HostClock& clock);

    void takeRecord(const mux::RecordView& record) override;

    // A new choice starts the trace afresh.
    void setTrace(int index, const TraceChoice& choice);
    const TraceChoice& trace(int index) const { return m_traces.at(size_t(index)).choice; }
    // 1, 10 or 60; the points held are thinned again to the new window.
    void setWindowMinutes(int minutes);
    int windowMinutes() const { return m_windowMinutes; }
    int64_t windowMs() const { return int64_t(m_windowMinutes) * 60000; }

    // The trace's points, oldest first, within the window before its latest.
    const std::deque<Point>& points(int index) const { return m_traces.at(size_t(index)).points; }
    std::optional<double> lastValue(int index) const { return m_traces.at(size_t(index)).last; }
    // When the trace's last line came; -1 while none has.
    int64_t lastMs(int index) const { return m_traces.at(size_t(index)).lastMs; }
    // Fields the lines of logger ID `logger`'s port `port` carried, in the order first seen.
    const std::vector<SeenField>& fieldsSeen(int logger, int port) const;
    // The host clock's milliseconds, counted on past its wrap.
    int64_t nowMs();

private:
    struct Trace {
        TraceChoice choice;
        std::deque<Point> points;
        std::optional<double> last;
        int64_t lastMs = -1;      // arrival of the last line read, a gap or not; -1 before any
        int64_t lastDataMs = -1;  // of the last value
        int64_t interval = 0;
        int64_t bucket = -1;       // time bucket of the last one or two points
        int bucketPoints = 0;
    };
    struct Port {
        fields::LineSplitter lines;
        std::vector<SeenField> seen;
    };

    void takeLine(int logger, int port, std::string_view text, bool cut, int64_t ms);
    void add(Trace& t, int64_t ms, std::optional<double> value);
    void addGap(Trace& t, int64_t ms);
    void addValue(Trace& t, int64_t ms, double value);
    void trim(Trace& t);
    int64_t bucketMs() const { return windowMs() / int64_t(kMaxPoints / 2); }

    HostClock& m_clock;
    uint32_t m_lastRawMs = 0;
    int64_t m_ms = 0;
    bool m_clockStarted = false;
    int m_windowMinutes = 10;
    std::array<Trace, kTraces> m_traces;
    std::array<Port, kLoggerIds * fields::kTextPorts> m_ports;
};

} // namespace plot
} // namespace cv
