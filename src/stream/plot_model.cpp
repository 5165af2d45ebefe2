#include "stream/plot_model.h"

#include <algorithm>

#include "ports/host_clock.h"

namespace cv::plot {

namespace {
constexpr double kGap = std::numeric_limits<double>::quiet_NaN();
}

PlotModel::PlotModel(HostClock& clock) : m_clock(clock) {}

int64_t PlotModel::nowMs() {
    const uint32_t raw = m_clock.elapsedMs();
    if (m_clockStarted) m_ms += int64_t(uint32_t(raw - m_lastRawMs));
    m_clockStarted = true;
    m_lastRawMs = raw;
    return m_ms;
}

const std::vector<SeenField>& PlotModel::fieldsSeen(int logger, int port) const {
    static const std::vector<SeenField> none;
    if (logger < 1 || logger > kLoggerIds || port < 1 || port > fields::kTextPorts) return none;
    return m_ports[size_t((logger - 1) * fields::kTextPorts + port - 1)].seen;
}

void PlotModel::takeRecord(const mux::RecordView& record) {
    const int logger = record.unit();
    if (logger < 1 || logger > kLoggerIds) return;
    const int64_t ms = nowMs();
    for (int port = 1; port <= fields::kTextPorts; ++port) {
        const std::span<const uint8_t> section = record.section(port);
        if (section.empty()) continue;
        Port& p = m_ports[size_t((logger - 1) * fields::kTextPorts + port - 1)];
        p.lines.feed(section.data(), section.size(),
                     [&](std::string_view text, bool cut) { takeLine(logger, port, text, cut, ms); });
    }
}

void PlotModel::takeLine(int logger, int port, std::string_view text, bool cut, int64_t ms) {
    const fields::ParsedLine line = fields::parseLine(text, cut);
    std::vector<SeenField>& seen = m_ports[size_t((logger - 1) * fields::kTextPorts + port - 1)].seen;
    for (size_t i = 0; i < line.fields.size(); ++i) {
        const int number = int(i + 1);
        auto it = std::find_if(seen.begin(), seen.end(), [&](const SeenField& s) {
            return s.column.field == number && s.column.sentence == line.sentence;
        });
        if (it == seen.end()) {
            if (seen.size() == kMaxFieldsSeen) continue;  // the ones already listed still get their values
            seen.push_back({fields::FieldColumn{port, std::string(line.sentence), number}, {}, 0});
            it = seen.end() - 1;
        }
        const std::string_view shown = line.valid ? line.fields[i].text : std::string_view("invalid");
        it->lastText.assign(shown.substr(0, kMaxFieldText));
        it->lastMs = ms;
    }
    for (Trace& t : m_traces) {
        const TraceChoice& c = t.choice;
        if (!c.on || c.logger != logger || c.column.port != port || c.column.field < 1 || !c.column.reads(line)) continue;
        add(t, ms, c.column.valueIn(line));
    }
}

void PlotModel::add(Trace& t, int64_t ms, std::optional<double> value) {
    t.lastMs = ms;
    t.last = value;
    if (!value) {
        addGap(t, ms);
        return;
    }
    if (t.lastDataMs >= 0) {
        const int64_t since = ms - t.lastDataMs;
        // The first interval has nothing to be judged by: it becomes the trace's pace, so the
        // second line of an instrument slower than the silence limit joins its first.
        if (t.interval > 0 && since > std::max(kSilenceGapMs, 4 * t.interval)) addGap(t, t.lastDataMs + 1);
        t.interval = since;
    }
    t.lastDataMs = ms;
    addValue(t, ms, *value);
}

void PlotModel::addGap(Trace& t, int64_t ms) {
    if (!t.points.empty() && !t.points.back().isGap()) t.points.push_back({ms, kGap});
    t.bucket = -1;
    trim(t);
}

// Each bucket keeps its lowest and its highest value in the order they came, so a spike
// between two pixels still shows.
void PlotModel::addValue(Trace& t, int64_t ms, double value) {
    const int64_t bucket = ms / bucketMs();
    if (bucket != t.bucket || t.points.empty() || t.points.back().isGap()) {
        t.points.push_back({ms, value});
        t.bucket = bucket;
        t.bucketPoints = 1;
    } else if (t.bucketPoints == 1) {
        t.points.push_back({ms, value});
        t.bucketPoints = 2;
    } else {
        Point& a = t.points[t.points.size() - 2];
        Point& b = t.points.back();
        const Point c{ms, value};
        const Point lo = std::min({a, b, c}, [](const Point& x, const Point& y) { return x.value < y.value; });
        const Point hi = std::max({c, b, a}, [](const Point& x, const Point& y) { return x.value < y.value; });
        if (lo.ms <= hi.ms) {
            a = lo;
            b = hi;
        } else {
            a = hi;
            b = lo;
        }
    }
    trim(t);
}

void PlotModel::trim(Trace& t) {
    const int64_t from = t.points.empty() ? 0 : t.points.back().ms - windowMs();
    while (!t.points.empty() && (t.points.front().ms < from || t.points.size() > kMaxPoints || t.points.front().isGap()))
        t.points.pop_front();
}

void PlotModel::setTrace(int index, const TraceChoice& choice) {
    Trace& t = m_traces.at(size_t(index));
    if (t.choice == choice) return;
    const bool sameData = t.choice.on == choice.on && t.choice.logger == choice.logger && t.choice.column == choice.column;
    t.choice = choice;
    if (sameData) return;  // a new axis range keeps the points
    t = Trace{};
    t.choice = choice;
}

void PlotModel::setWindowMinutes(int minutes) {
    if (std::find(std::begin(kWindowMinutes), std::end(kWindowMinutes), minutes) == std::end(kWindowMinutes)) return;
    if (minutes == m_windowMinutes) return;
    m_windowMinutes = minutes;
    for (Trace& t : m_traces) {
        const std::deque<Point> old = std::move(t.points);
        t.points.clear();
        t.bucket = -1;
        for (const Point& p : old) {
            if (p.isGap())
                addGap(t, p.ms);
            else
                addValue(t, p.ms, p.value);
        }
    }
}

} // namespace cv::plot
