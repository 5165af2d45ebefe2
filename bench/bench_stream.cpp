// Stream throughput: mux records accepted and handed to one consumer (the raw display's
// Parsed Data tap) and to six (the tap and five that only read the record's sections, as a
// recorder, output lines, a plot and network outputs do) per second, against copying the same
// bytes in the same run, and the share of one core the stream needs at 115200 baud.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "base/bytes.h"
#include "stream/mux_stream.h"
#include "ports/operator_dialogs.h"

namespace {

constexpr double kLineBytesPerSecond = 11520;  // 115200 baud, 10 bits a byte

// Reads every section of the record, as a consumer that forwards or plots it would.
struct SectionReader : cv::StreamConsumer {
    size_t bytes = 0;
    void takeRecord(const cv::mux::RecordView& record) override {
        for (int k = 1; k <= cv::mux::kSections; ++k) bytes += record.section(k).size();
    }
};

// A record as the logger sends it: NMEA-like text on ports 1 and 2, analog data in section 9.
std::vector<uint8_t> lineRecord(size_t payload) {
    std::vector<uint8_t> r(cv::mux::kOverhead + payload, 'A');
    r[2] = 2;
    const size_t analog = payload / 8, port2 = payload / 3, port1 = payload - analog - port2;
    cv::putU16be(&r[4], uint16_t(payload));
    cv::putU16be(&r[10], uint16_t(port1));
    cv::putU16be(&r[12], uint16_t(port2));
    cv::putU16be(&r[26], uint16_t(analog));
    r[28 + port1 - 2] = '\r';
    r[28 + port1 - 1] = '\n';
    return r;
}

void BM_CopyRecord(benchmark::State& state) {
    const std::vector<uint8_t> line = lineRecord(size_t(state.range(0)));
    std::vector<uint8_t> work(line.size());
    for (auto _ : state) {
        std::memcpy(work.data(), line.data(), line.size());
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(line.size()));
}
BENCHMARK(BM_CopyRecord)->Arg(64)->Arg(256)->Arg(1024);

// Each record is copied in fresh from the line (the stream converts its header in place),
// numbered in sequence, shown as Parsed Data of port 1 and handed to range(1) - 1 readers more.
void BM_AcceptRecord(benchmark::State& state) {
    cv::SilentDialogs dialogs;
    cv::WarningBox warnings(dialogs);
    cv::MuxStream stream(warnings);
    cv::ParsedDataTap tap;
    tap.setSelection({true, 0, 0, 2});
    stream.addConsumer(&tap);
    std::vector<SectionReader> readers(size_t(state.range(1) - 1));
    for (SectionReader& r : readers) stream.addConsumer(&r);
    std::vector<uint8_t> line = lineRecord(size_t(state.range(0)));
    std::vector<uint8_t> work(line.size());
    uint8_t seq = 0;
    for (auto _ : state) {
        line[3] = seq++;
        std::memcpy(work.data(), line.data(), line.size());
        benchmark::DoNotOptimize(stream.acceptMuxRecord(work.data(), work.size()));
        tap.buffer().clear();  // the display step empties it every tick
    }
    if (stream.totalSequenceErrors() != 0) state.SkipWithError("records fell out of sequence");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(line.size()));
}
BENCHMARK(BM_AcceptRecord)->ArgsProduct({{64, 256, 1024}, {1, 6}});

// Keeps each run's time per iteration, to set the two against each other at the end.
class Collector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> nsPerRecord;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && r.iterations > 0)
                nsPerRecord[r.benchmark_name()] = r.GetAdjustedRealTime() * 1e9 /
                                                  benchmark::GetTimeUnitMultiplier(r.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    std::printf("\npayload  consumers  accept ns/record  copy ns/record  ratio  records/s accepted  one-core share at 115200 baud\n");
    for (int payload : {64, 256, 1024}) {
        for (int consumers : {1, 6}) {
            const auto accept = collector.nsPerRecord.find("BM_AcceptRecord/" + std::to_string(payload) + "/" +
                                                           std::to_string(consumers));
            const auto copy = collector.nsPerRecord.find("BM_CopyRecord/" + std::to_string(payload));
            if (accept == collector.nsPerRecord.end() || copy == collector.nsPerRecord.end()) continue;
            const double lineBytes = double(payload + cv::mux::kPacketOverhead);  // the framed packet on the line
            const double share = kLineBytesPerSecond / lineBytes * accept->second * 1e-9;
            std::printf("%7d  %9d  %16.1f  %14.1f  %5.1f  %18.0f  %.5f%%\n", payload, consumers, accept->second,
                        copy->second, accept->second / copy->second, 1e9 / accept->second, share * 100);
        }
    }
    benchmark::Shutdown();
    return 0;
}
