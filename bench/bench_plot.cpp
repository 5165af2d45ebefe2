// The live plot's cost: the stream fed a logger's records with four instrument lines each (one
// record every 50 ms: four traces at 20 Hz) with and without the plot's model among its
// consumers, the ratio of the two, and the cost of one redraw of four full traces; then the share
// of one core the plot takes at that rate with four redraws a second.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ports/host_clock.h"
#include "ports/operator_dialogs.h"
#include "protocol/mux_record.h"
#include "stream/mux_stream.h"
#include "stream/plot_panel.h"

namespace {

constexpr double kRecordsPerSecond = 20;
constexpr double kRedrawsPerSecond = 1000.0 / cv::PlotPanel::kRedrawMs;

// Moves 50 ms on with every record, as a 20 Hz stream would.
struct StepClock : cv::HostClock {
    uint32_t ms = 0;
    int64_t now() override { return 1700000000 + ms / 1000; }
    std::tm localTime(int64_t s) override {
        std::tm t{};
        const time_t tt = time_t(s);
        gmtime_r(&tt, &t);
        return t;
    }
    int64_t fromLocalTime(std::tm) override { return 0; }
    long offsetWest() override { return 0; }
    int hundredths() override { return int(ms / 10 % 100); }
    uint32_t elapsedMs() override { return ms; }
};

// Stands for the recorder: reads every section.
struct SectionReader : cv::StreamConsumer {
    size_t bytes = 0;
    void takeRecord(const cv::mux::RecordView& record) override {
        for (int k = 1; k <= cv::mux::kSections; ++k) bytes += record.section(k).size();
    }
};

// Logger 2's record: ports 1..4 each with a line of five numbers, on the wire (big-endian).
std::vector<uint8_t> record(int n) {
    std::string payload;
    cv::mux::Header h;
    h.unit = 2;
    for (int port = 1; port <= 4; ++port) {
        char line[80];
        const int length = std::snprintf(line, sizeof line, "%d.%04d,12.8714,%d,35.01,-0.25\r\n", port * 10,
                                         n * 37 % 10000, n % 100);
        payload.append(line, size_t(length));
        h.sections[size_t(port - 1)] = uint16_t(length);
    }
    h.dataLength = uint16_t(payload.size());
    h.sequence = uint8_t(n);
    std::vector<uint8_t> r(cv::mux::kOverhead + payload.size());
    cv::mux::writeHeader(r.data(), h, cv::mux::ByteOrder::Wire);
    std::memcpy(r.data() + cv::mux::kHeaderLength, payload.data(), payload.size());
    std::memcpy(r.data() + cv::mux::kHeaderLength + payload.size(), "####", 4);
    return r;
}

void chooseFourTraces(cv::plot::PlotModel& model) {
    for (int i = 0; i < cv::plot::kTraces; ++i) {
        cv::plot::TraceChoice c;
        c.on = true;
        c.logger = 2;
        c.column = cv::fields::FieldColumn{i + 1, {}, 1};
        model.setTrace(i, c);
    }
}

// range(0): 1 with the plot's model among the consumers, 0 without.
void BM_Stream(benchmark::State& state) {
    cv::SilentDialogs dialogs;
    cv::WarningBox warnings(dialogs);
    cv::MuxStream stream(warnings);
    StepClock clock;
    cv::plot::PlotModel model(clock);
    chooseFourTraces(model);
    SectionReader recorder;
    stream.addConsumer(&recorder);
    if (state.range(0)) stream.addConsumer(&model);
    std::vector<std::vector<uint8_t>> records;
    for (int n = 0; n < 256; ++n) records.push_back(record(n));
    std::vector<uint8_t> work(records[0].size() + 64);
    size_t n = 0;
    for (auto _ : state) {
        const std::vector<uint8_t>& r = records[n++ % records.size()];
        std::memcpy(work.data(), r.data(), r.size());
        clock.ms += 50;
        benchmark::DoNotOptimize(stream.acceptMuxRecord(work.data(), r.size()));
    }
    if (stream.totalSequenceErrors() != 0) state.SkipWithError("records fell out of sequence");
}
BENCHMARK(BM_Stream)->Arg(0)->Arg(1);

// One redraw of four traces holding a full hour of 20 Hz data in a 60-minute window.
void BM_Redraw(benchmark::State& state) {
    StepClock clock;
    cv::plot::PlotModel model(clock);
    model.setWindowMinutes(60);
    chooseFourTraces(model);
    for (int n = 0; n < 72000; ++n) {
        std::vector<uint8_t> r = record(n);
        cv::mux::headerToHostOrder(r.data());
        clock.ms += 50;
        model.takeRecord(cv::mux::RecordView(r.data(), r.size()));
    }
    cv::PlotView view(model, clock, nullptr);
    view.resize(900, 260);
    view.setEndMs(model.nowMs());
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.render(&image);
        benchmark::DoNotOptimize(image.bits());
    }
    state.counters["points"] = view.pointsDrawn()[0] + view.pointsDrawn()[1] + view.pointsDrawn()[2] +
                               view.pointsDrawn()[3];
}
BENCHMARK(BM_Redraw)->Unit(benchmark::kMicrosecond);

class Collector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ns;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && r.iterations > 0)
                ns[r.benchmark_name()] = r.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(r.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    const double without = collector.ns["BM_Stream/0"], with = collector.ns["BM_Stream/1"];
    const double redraw = collector.ns["BM_Redraw"];
    if (without > 0 && with > 0 && redraw > 0) {
        const double base = without * kRecordsPerSecond * 1e-9;
        const double plotted = with * kRecordsPerSecond * 1e-9 + redraw * kRedrawsPerSecond * 1e-9;
        std::printf("\nfour traces at 20 Hz: stream %.0f ns/record without the plot, %.0f ns with its model (x%.1f);"
                    " redraw %.0f us\n",
                    without, with, with / without, redraw / 1000);
        std::printf("one core's share: %.4f%% without the plot, %.4f%% with it and %.0f redraws a second (x%.1f)\n",
                    base * 100, plotted * 100, kRedrawsPerSecond, plotted / base);
    }
    benchmark::Shutdown();
    return 0;
}
