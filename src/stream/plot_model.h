#pragma once
// What the live plot shows, kept as the stream goes by: per logger ID and port, the fields its
// lines have carried with their last values (so the operator picks "3: 12.8714" rather than
// guessing a number), and for each field a trace shows the points of the last hour, thinned to a
// fixed number whatever the rate so that a plot left running for weeks holds flat memory.
//
// Each kept field holds one thinned series per window (1, 10 and 60 minutes), all fed as the data
// come, so a change of window shows at once what that window held and a shorter window never
// throws away what the longer ones show. A field stays kept while a trace is set to it, ticked
// or not, so a trace turned off and on again shows its history; the fields left behind when a
// trace is set to another stay too, the least recently shown given up first. The bound:
// kMaxKept fields x 3 series x kMaxPoints points (16 bytes each), under 1 MB.
//
// Time is the PC's at arrival, in milliseconds of the host clock's monotonic count. A logger
// counts its own time stamp units, the PC logger's stamps have no calendar behind them, and a
// replayed record carries the stamps of another day: arrival time is the one base all of them
// share, and a replay arrives at its own speed. So that a replay is never read as live data, the
// stretches of time replayed records came in are kept as bands, and a field's line breaks where
// its records switch between live and replayed.
#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <iterator>
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
constexpr size_t kWindows = std::size(kWindowMinutes);
constexpr size_t kMaxKept = 2 * kTraces;  // fields whose history is kept
constexpr size_t kMaxReplayBands = 64;
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
    bool shared = false;     // drawn on the one scale all shared traces have in common
    std::string name;        // the operator's name for it, drawn beside the trace
    bool operator==(const TraceChoice&) const = default;
};

struct SeenField {
    fields::FieldColumn column;
    std::string lastText;
    int64_t lastMs = 0;
    bool numeric = false;  // it has carried a number: a field worth plotting
};

// Arrival times within which replayed records came.
struct ReplayBand {
    int64_t fromMs = 0;
    int64_t toMs = 0;
};

class PlotModel : public StreamConsumer {
public:
    explicit PlotModel(HostClock& clock);

    void takeRecord(const mux::RecordView& record) override;
    void takeRecordFrom(Origin origin, const mux::RecordView& record) override;

    // A choice of another field shows that field's history, if it is kept.
    void setTrace(int index, const TraceChoice& choice);
    const TraceChoice& trace(int index) const { return m_traces.at(size_t(index)); }
    // 1, 10 or 60; the points shown are those of that window's series.
    void setWindowMinutes(int minutes);
    int windowMinutes() const { return m_windowMinutes; }
    int64_t windowMs() const { return int64_t(m_windowMinutes) * 60000; }

    // The trace's points, oldest first, within the window before its latest.
    const std::deque<Point>& points(int index) const;
    std::optional<double> lastValue(int index) const;
    // When the trace's last line came; -1 while none has.
    int64_t lastMs(int index) const;
    // Oldest first, within the last hour.
    const std::deque<ReplayBand>& replayBands() const { return m_bands; }
    // The logger ID whose records came last over the live road, the PC logger's (1) aside; 1
    // while only the PC logger has been heard.
    int answeringLogger() const { return m_answering; }
    // Fields the lines of logger ID `logger`'s port `port` carried, in the order first seen.
    const std::vector<SeenField>& fieldsSeen(int logger, int port) const;
    // The host clock's milliseconds, counted on past its wrap.
    int64_t nowMs();

private:
    struct Series {
        std::deque<Point> points;
        int64_t bucket = -1;  // time bucket of the last one or two points
        int bucketPoints = 0;
    };
    struct Kept {
        bool used = false;
        int logger = 0;
        fields::FieldColumn column;
        std::array<Series, kWindows> series;
        std::optional<double> last;
        int64_t lastMs = -1;      // arrival of the last line read, a gap or not; -1 before any
        int64_t lastDataMs = -1;  // of the last value
        int64_t interval = 0;
        Origin origin = Origin::Live;
        uint64_t shown = 0;       // the count of trace choices when a trace was last set to it
    };
    struct Port {
        fields::LineSplitter lines;
        std::vector<SeenField> seen;
    };

    void takeLine(int logger, int port, std::string_view text, bool cut, int64_t ms, Origin origin);
    void add(Kept& k, int64_t ms, std::optional<double> value, Origin origin);
    void addGap(Kept& k, int64_t ms);
    static void addGap(Series& s, int64_t ms, size_t window);
    static void addValue(Series& s, int64_t ms, double value, size_t window);
    static void trim(Series& s, size_t window);
    Kept* keptFor(int index);
    const Kept* keptFor(int index) const;
    void keep(int logger, const fields::FieldColumn& column);
    size_t windowIndex() const;

    HostClock& m_clock;
    uint32_t m_lastRawMs = 0;
    int64_t m_ms = 0;
    bool m_clockStarted = false;
    int m_windowMinutes = 10;
    int m_answering = 1;
    uint64_t m_choices = 0;
    std::array<TraceChoice, kTraces> m_traces;
    std::array<Kept, kMaxKept> m_kept;
    std::deque<ReplayBand> m_bands;
    std::array<Port, kLoggerIds * fields::kTextPorts> m_ports;
};

} // namespace plot
} // namespace cv
