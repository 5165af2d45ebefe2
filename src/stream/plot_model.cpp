#include "stream/plot_model.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "ports/host_clock.h"

namespace cv::plot {

namespace {
constexpr double kGap = std::numeric_limits<double>::quiet_NaN();
// Replayed records closer together than this belong to one band.
constexpr int64_t kBandJoinMs = 10000;
constexpr int64_t kHourMs = 3600000;

int64_t windowMsOf(size_t window) { return int64_t(kWindowMinutes[window]) * 60000; }
int64_t bucketMsOf(size_t window) { return windowMsOf(window) / int64_t(kMaxPoints / 2); }
const std::deque<Point> kNoPoints;
} // namespace

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

size_t PlotModel::windowIndex() const {
    return size_t(std::find(std::begin(kWindowMinutes), std::end(kWindowMinutes), m_windowMinutes) -
                  std::begin(kWindowMinutes));
}

const PlotModel::Kept* PlotModel::keptFor(int index) const {
    const TraceChoice& c = m_traces.at(size_t(index));
    if (c.column.field < 1) return nullptr;
    for (const Kept& k : m_kept)
        if (k.used && k.logger == c.logger && k.column == c.column) return &k;
    return nullptr;
}

PlotModel::Kept* PlotModel::keptFor(int index) {
    return const_cast<Kept*>(std::as_const(*this).keptFor(index));
}

const std::deque<Point>& PlotModel::points(int index) const {
    const Kept* k = keptFor(index);
    return k ? k->series[windowIndex()].points : kNoPoints;
}

std::optional<double> PlotModel::lastValue(int index) const {
    const Kept* k = keptFor(index);
    return k ? k->last : std::nullopt;
}

int64_t PlotModel::lastMs(int index) const {
    const Kept* k = keptFor(index);
    return k ? k->lastMs : -1;
}

void PlotModel::takeRecord(const mux::RecordView& record) { takeRecordFrom(Origin::Live, record); }

void PlotModel::takeRecordFrom(Origin origin, const mux::RecordView& record) {
    const int logger = record.unit();
    if (logger < 1 || logger > kLoggerIds) return;
    const int64_t ms = nowMs();
    if (origin == Origin::Replay) {
        if (!m_bands.empty() && ms - m_bands.back().toMs <= kBandJoinMs)
            m_bands.back().toMs = ms;
        else
            m_bands.push_back({ms, ms});
        while (m_bands.size() > kMaxReplayBands) m_bands.pop_front();
    } else if (logger != 1) {
        m_answering = logger;
    }
    while (!m_bands.empty() && m_bands.front().toMs < ms - kHourMs) m_bands.pop_front();
    for (int port = 1; port <= fields::kTextPorts; ++port) {
        const std::span<const uint8_t> section = record.section(port);
        if (section.empty()) continue;
        Port& p = m_ports[size_t((logger - 1) * fields::kTextPorts + port - 1)];
        p.lines.feed(section.data(), section.size(),
                     [&](std::string_view text, bool cut) { takeLine(logger, port, text, cut, ms, origin); });
    }
}

void PlotModel::takeLine(int logger, int port, std::string_view text, bool cut, int64_t ms, Origin origin) {
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
        if (!it->numeric && line.value(number)) it->numeric = true;
    }
    for (Kept& k : m_kept) {
        if (!k.used || k.logger != logger || k.column.port != port || !k.column.reads(line)) continue;
        add(k, ms, k.column.valueIn(line), origin);
    }
}

void PlotModel::add(Kept& k, int64_t ms, std::optional<double> value, Origin origin) {
    // Live and replayed data never join into one line.
    if (origin != k.origin) {
        if (k.lastMs >= 0) addGap(k, ms);
        k.origin = origin;
        k.lastDataMs = -1;
    }
    k.lastMs = ms;
    k.last = value;
    if (!value) {
        addGap(k, ms);
        return;
    }
    if (k.lastDataMs >= 0) {
        const int64_t since = ms - k.lastDataMs;
        // The first interval has nothing to be judged by: it becomes the trace's pace, so the
        // second line of an instrument slower than the silence limit joins its first.
        if (k.interval > 0 && since > std::max(kSilenceGapMs, 4 * k.interval)) addGap(k, k.lastDataMs + 1);
        k.interval = since;
    }
    k.lastDataMs = ms;
    for (size_t w = 0; w < kWindows; ++w) addValue(k.series[w], ms, *value, w);
}

void PlotModel::addGap(Kept& k, int64_t ms) {
    for (size_t w = 0; w < kWindows; ++w) addGap(k.series[w], ms, w);
}

void PlotModel::addGap(Series& s, int64_t ms, size_t window) {
    if (!s.points.empty() && !s.points.back().isGap()) s.points.push_back({ms, kGap});
    s.bucket = -1;
    trim(s, window);
}

// Each bucket keeps its lowest and its highest value in the order they came, so a spike
// between two pixels still shows.
void PlotModel::addValue(Series& s, int64_t ms, double value, size_t window) {
    const int64_t bucket = ms / bucketMsOf(window);
    if (bucket != s.bucket || s.points.empty() || s.points.back().isGap()) {
        s.points.push_back({ms, value});
        s.bucket = bucket;
        s.bucketPoints = 1;
    } else if (s.bucketPoints == 1) {
        s.points.push_back({ms, value});
        s.bucketPoints = 2;
    } else {
        Point& a = s.points[s.points.size() - 2];
        Point& b = s.points.back();
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
    trim(s, window);
}

void PlotModel::trim(Series& s, size_t window) {
    const int64_t from = s.points.empty() ? 0 : s.points.back().ms - windowMsOf(window);
    while (!s.points.empty() && (s.points.front().ms < from || s.points.size() > kMaxPoints || s.points.front().isGap()))
        s.points.pop_front();
}

// A field a trace is set to is kept from then on; when every place is taken, the one no trace
// is set to that was shown longest ago gives way.
void PlotModel::keep(int logger, const fields::FieldColumn& column) {
    if (column.field < 1) return;
    for (Kept& k : m_kept)
        if (k.used && k.logger == logger && k.column == column) {
            k.shown = ++m_choices;
            return;
        }
    Kept* place = nullptr;
    for (Kept& k : m_kept) {
        if (!k.used) {
            place = &k;
            break;
        }
        const bool onTrace = std::any_of(m_traces.begin(), m_traces.end(), [&](const TraceChoice& c) {
            return c.logger == k.logger && c.column == k.column;
        });
        if (!onTrace && (!place || k.shown < place->shown)) place = &k;
    }
    if (!place) return;  // cannot happen: there are more places than traces
    *place = Kept{};
    place->used = true;
    place->logger = logger;
    place->column = column;
    place->shown = ++m_choices;
}

void PlotModel::setTrace(int index, const TraceChoice& choice) {
    m_traces.at(size_t(index)) = choice;
    keep(choice.logger, choice.column);
}

void PlotModel::setWindowMinutes(int minutes) {
    if (std::find(std::begin(kWindowMinutes), std::end(kWindowMinutes), minutes) == std::end(kWindowMinutes)) return;
    m_windowMinutes = minutes;
}

} // namespace cv::plot
